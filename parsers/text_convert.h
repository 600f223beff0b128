// Text conversions. UTF-8 <-> UTF-16 are the parsers' own (utf_convert.cpp);
// the ANSI code page is the one platform seam: the platform's conversion on
// Windows (platform/ansi_text_win.cpp), a fixed Windows-1252 table in the native
// sanitizer build (tests/native/ansi_text_portable.cpp). Parsers call only these.
//
// Contracts shared by every implementation:
// - Inputs are counted; a zero byte or unit inside the input converts like any
//   other character (to a zero unit or byte), which ends the string there.
// - Invalid input converts as the platform's UTF-8 conversion without flags does
//   it: each maximal invalid subsequence of UTF-8 and each unpaired surrogate
//   becomes U+FFFD.
// - No function writes outside the capacity it is given.
#pragma once
#include <stddef.h>

#ifdef _WIN32
typedef wchar_t Utf16Unit;
#else
typedef char16_t Utf16Unit;
#endif
static_assert(sizeof(Utf16Unit) == 2, "UTF-16 code units");

// Longer inputs are cut to this many bytes or units, which keeps every count
// well inside the platform calls' int arguments.
static const size_t kTextConvertMaxInput = 0x3FFFFFFF;

// UTF-8 -> UTF-16. Converts the `bytes` bytes at `text` into `out`, which holds
// `out_units` units, and always terminates it (when out_units > 0). A text whose
// UTF-16 form does not fit beside the terminator is cut to the longest prefix of
// whole characters that fits (a surrogate pair is never split). Only a bounded
// prefix of the input is examined, so a megabyte input costs no more than a
// short one. Returns the units written, terminator excluded.
size_t ConvertUtf8ToUtf16(Utf16Unit *out, size_t out_units, const char *text, size_t bytes);

// The process's ANSI code page -> UTF-16, with the same contract as above
// (a double-byte character is never split).
size_t ConvertAnsiToUtf16(Utf16Unit *out, size_t out_units, const char *text, size_t bytes);

// UTF-16 -> UTF-8. Returns the number of bytes the UTF-8 form of the `units`
// units needs (no terminator counted; 0 for no units; SIZE_MAX for a text too
// long to measure). When that is at most
// `out_size` the bytes are written to `out`, without a terminator; otherwise
// nothing is written. The caller decides what a result that does not fit means.
size_t ConvertUtf16ToUtf8(char *out, size_t out_size, const Utf16Unit *text, size_t units);
