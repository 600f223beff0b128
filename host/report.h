// What talhost prints: an item's answer and the module record, as JSON lines
// (--json) or as text, and its one-line errors on stderr.
#pragma once
#include <wchar.h>

#include "plugin/in_module.h"

enum { kHostTitleBufferUnits = 32768 };  // the title buffer a query hands the plug-in, in UTF-16 units

// One query's answer. The flags say whether the plug-in wrote the length and
// the title; artist/album/year point into its block, or at "" without one.
struct ItemAnswer {
  const wchar_t *item;
  int length;
  bool length_set;
  const wchar_t *title;
  bool title_set;
  const wchar_t *artist, *album, *year;
  bool block;
};

void PrintUtf8(const wchar_t *text);
void PrintJsonString(const wchar_t *text);
// "talhost: what: detail" on stderr, after what stdout holds so far.
void Error(const wchar_t *what, const wchar_t *detail);
void PrintItemAnswer(const ItemAnswer &answer, bool json);
void PrintModule(const In_Module *m, bool json);
