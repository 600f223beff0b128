// Text conversion seam. The Windows build implements it with the platform's
// conversions (media/text_convert_win.cpp); the native sanitizer build has a
// portable implementation of its own. Parsers call only these.
#pragma once
#include <stddef.h>

#ifdef _WIN32
typedef wchar_t Utf16Unit;
#else
typedef char16_t Utf16Unit;
#endif
static_assert(sizeof(Utf16Unit) == 2, "UTF-16 code units");

// (Declarations of the conversion functions follow in the text-conversion work.)
