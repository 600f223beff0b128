// One JSON line for the test tools (windriver, initcost): built in a buffer,
// then written to stdout at once.
#pragma once
#include <windows.h>
#include <stdio.h>
#include <string.h>

static char g_out[1 << 20];
static size_t g_out_len = 0;

static inline void OutBytes(const char *s, size_t n) {
  if (n > sizeof(g_out) - 1 - g_out_len) n = sizeof(g_out) - 1 - g_out_len;
  memcpy(g_out + g_out_len, s, n);
  g_out_len += n;
  g_out[g_out_len] = 0;
}

static inline void Out(const char *s) { OutBytes(s, strlen(s)); }

static inline void OutInt(long long v) {
  char buf[32];
  snprintf(buf, sizeof(buf), "%lld", v);
  Out(buf);
}

static inline void OutFlush(void) {
  fwrite(g_out, 1, g_out_len, stdout);
  fflush(stdout);
  g_out_len = 0;
  g_out[0] = 0;
}

// A JSON string from UTF-16 text, escaped.
static inline void OutJsonString(const wchar_t *text) {
  Out("\"");
  for (const wchar_t *p = text; *p; ++p) {
    wchar_t c = *p;
    if (c == L'"') {
      Out("\\\"");
    } else if (c == L'\\') {
      Out("\\\\");
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      snprintf(buf, sizeof(buf), "\\u%04x", (unsigned)c);
      Out(buf);
    } else {
      // One unit, or a surrogate pair, to UTF-8.
      int units = (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) ? 2 : 1;
      char buf[8];
      int n = WideCharToMultiByte(CP_UTF8, 0, p, units, buf, sizeof(buf), NULL, NULL);
      if (n > 0) OutBytes(buf, (size_t)n);
      p += units - 1;
    }
  }
  Out("\"");
}
