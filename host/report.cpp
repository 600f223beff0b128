// talhost's output. Scripts read the --json lines: one object per line, UTF-8,
// and nothing else on stdout.
#include "host/report.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

void PrintUtf8(const wchar_t *text) {
  char buffer[4 * kHostTitleBufferUnits];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer), NULL, NULL);
  if (n > 0) fputs(buffer, stdout);
}

void PrintJsonString(const wchar_t *text) {
  std::wstring escaped = L"\"";
  for (const wchar_t *p = text; *p; ++p) {
    wchar_t c = *p;
    if (c == L'"' || c == L'\\') {
      escaped += L'\\';
      escaped += c;
    } else if (c < 0x20) {
      wchar_t hex[8];
      swprintf(hex, 8, L"\\u%04x", (unsigned)c);
      escaped += hex;
    } else {
      escaped += c;
    }
  }
  escaped += L'"';
  PrintUtf8(escaped.c_str());
}

void Error(const wchar_t *what, const wchar_t *detail) {
  fflush(stdout);
  char a[2048], b[2048];
  WideCharToMultiByte(CP_UTF8, 0, what, -1, a, sizeof(a), NULL, NULL);
  WideCharToMultiByte(CP_UTF8, 0, detail ? detail : L"", -1, b, sizeof(b), NULL, NULL);
  fprintf(stderr, "talhost: %s%s%s\n", a, detail ? ": " : "", b);
}

static void PrintItemJson(const ItemAnswer &r) {
  fputs("{\"item\": ", stdout);
  PrintJsonString(r.item);
  if (r.length_set)
    printf(", \"length_ms\": %d", r.length);
  else
    fputs(", \"length_ms\": null", stdout);
  fputs(", \"title\": ", stdout);
  if (r.title_set)
    PrintJsonString(r.title);
  else
    fputs("null", stdout);
  fputs(", \"artist\": ", stdout);
  PrintJsonString(r.artist);
  fputs(", \"album\": ", stdout);
  PrintJsonString(r.album);
  fputs(", \"year\": ", stdout);
  PrintJsonString(r.year);
  printf(", \"block\": %s}\n", r.block ? "true" : "false");
}

static void PrintItemText(const ItemAnswer &r) {
  PrintUtf8(r.item);
  if (r.length_set)
    printf("\n  length: %d ms\n", r.length);
  else
    fputs("\n  length: (untouched)\n", stdout);
  fputs("  title:  ", stdout);
  if (r.title_set)
    PrintUtf8(r.title);
  else
    fputs("(untouched)", stdout);
  fputs("\n", stdout);
  if (r.block) {
    fputs("  artist: ", stdout);
    PrintUtf8(r.artist);
    fputs("\n  album:  ", stdout);
    PrintUtf8(r.album);
    fputs("\n  year:   ", stdout);
    PrintUtf8(r.year);
    fputs("\n", stdout);
  }
}

void PrintItemAnswer(const ItemAnswer &answer, bool json) {
  if (json)
    PrintItemJson(answer);
  else
    PrintItemText(answer);
}

// The first part of each pair of the module record's list (extensions, description),
// up to a "|" if it holds one.
static std::vector<std::string> ExtensionEntries(const In_Module *m) {
  std::vector<std::string> entries;
  const char *p = m->FileExtensions;
  for (int guard = 0; p && *p && guard < 64; ++guard) {
    std::string ext = p;
    entries.push_back(ext.substr(0, ext.find('|')));
    p += strlen(p) + 1;
    if (!*p) break;
    p += strlen(p) + 1;
  }
  return entries;
}

void PrintModule(const In_Module *m, bool json) {
  std::vector<std::string> extensions = ExtensionEntries(m);
  if (json) {
    printf("{\"description\": \"%s\", \"version\": %d, \"uses_output_plug\": %d, \"is_seekable\": %lld, "
           "\"extensions\": [",
           m->description, m->version, m->UsesOutputPlug, (long long)m->is_seekable);
    for (size_t i = 0; i < extensions.size(); ++i) printf("%s\"%s\"", i ? ", " : "", extensions[i].c_str());
    printf("]}\n");
  } else {
    printf("description: %s\nversion: 0x%08X\nuses output plug-in: %d\nis_seekable: %lld\nextensions:", m->description,
           (unsigned)m->version, m->UsesOutputPlug, (long long)m->is_seekable);
    for (size_t i = 0; i < extensions.size(); ++i) printf(" %s", extensions[i].c_str());
    printf("\n");
  }
}
