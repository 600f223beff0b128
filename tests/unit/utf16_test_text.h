// UTF-16 texts in tests that build both for Windows, where Utf16Unit is
// wchar_t, and natively for the sanitizer build, where it is char16_t:
// U16("...") literals, a comparison that prints both sides, a length, and
// the ANSI code page the conversion seam reads encoding-0 text in.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "parsers/text_convert.h"

#ifdef _WIN32
#include <windows.h>
#define U16(text) L##text
inline unsigned TestAnsiCodePage() { return GetACP(); }
#else
#define U16(text) u##text
// The portable seam reads ANSI text as Windows-1252.
inline unsigned TestAnsiCodePage() { return 1252; }
#endif

typedef std::basic_string<Utf16Unit> Utf16String;

inline size_t Utf16Length(const Utf16Unit *text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// EXPECT_STREQ for Utf16Unit strings, on both builds.
#define EXPECT_TEXT_EQ(actual, expected) EXPECT_EQ(Utf16String(actual), Utf16String(expected))
