// Each query starts from sentinels in the length and the title, so the report
// can tell a value the plug-in wrote from one it left alone.
#include "host/query.h"

#include <io.h>
#include <stdio.h>
#include <wchar.h>

#include "host/process_stats.h"
#include "host/report.h"

static const int kLengthSentinel = -1234567;  // a value no query writes
static const wchar_t kTitleSentinel[] = L"\x1<untouched>";

void QueryItem(const In_Module *module, const wchar_t *item, bool json) {
  static wchar_t title[kHostTitleBufferUnits];
  wcscpy(title, kTitleSentinel);
  int length = kLengthSentinel;
  module->GetFileInfo(item, title, &length);

  ItemAnswer answer;
  answer.item = item;
  answer.length = length;
  answer.length_set = length != kLengthSentinel;
  answer.title_set = wcscmp(title, kTitleSentinel) != 0;
  title[kHostTitleBufferUnits - 1] = 0;
  answer.title = title;
  answer.artist = answer.album = answer.year = L"";
  // is_seekable is read right after the call: the plug-in publishes its block there.
  answer.block = module->is_seekable != 1;
  if (answer.block) {
    // Three strings back to back: artist, album, year.
    answer.artist = (const wchar_t *)module->is_seekable;
    answer.album = answer.artist + wcslen(answer.artist) + 1;
    answer.year = answer.album + wcslen(answer.album) + 1;
  }
  PrintItemAnswer(answer, json);
}

void RunQueries(const In_Module *module, const std::vector<std::wstring> &items, int passes, bool stats, bool json) {
  // A count on a console only: redirected stderr stays empty for scripts.
  bool progress = _isatty(_fileno(stderr)) && items.size() > 50;
  for (int pass = 1; pass <= passes; ++pass) {
    for (size_t i = 0; i < items.size(); ++i) {
      if (progress && i % 25 == 0) fprintf(stderr, "\r[%u/%u]", (unsigned)i, (unsigned)items.size());
      QueryItem(module, items[i].c_str(), json);
    }
    if (progress) fprintf(stderr, "\r[%u/%u]\n", (unsigned)items.size(), (unsigned)items.size());
    if (stats) PrintPassStats(pass, items.size());
    fflush(stdout);
  }
}
