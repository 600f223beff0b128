#include "parsers/title_rules.h"

#include <stddef.h>

const Utf16Unit *FileNamePart(const Utf16Unit *path) {
  const Utf16Unit *name = path;
  for (const Utf16Unit *p = path; *p; ++p) {
    if (*p == 0x5C) name = p + 1;
  }
  return name;
}

static size_t CopyName(const Utf16Unit *name, Utf16Unit *title) {
  size_t n = 0;
  while (name[n] != 0) {
    title[n] = name[n];
    ++n;
  }
  title[n] = 0;
  return n;
}

void FileNameTitle(const Utf16Unit *path, Utf16Unit *title) {
  size_t length = CopyName(FileNamePart(path), title);
  // The search stops at the first unit: a dot there is part of the name.
  for (size_t i = length; i > 1; --i) {
    if (title[i - 1] == 0x2E) {
      title[i - 1] = 0;
      return;
    }
  }
}

void WaveFileTitle(const Utf16Unit *path, Utf16Unit *title) {
  size_t length = CopyName(FileNamePart(path), title);
  title[length >= 4 ? length - 4 : 0] = 0;
}
