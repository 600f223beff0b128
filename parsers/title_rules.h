// The display titles derived from a path when no tag gives one.
#pragma once
#include "parsers/text_convert.h"

// The part of `path` after its last backslash (only "\" separates), or all of it.
const Utf16Unit *FileNamePart(const Utf16Unit *path);

// Library mode: the file-name part without its last extension ("archive.tar.gz"
// gives "archive.tar"). A name with no "." after its first unit keeps its whole
// name: an empty title is no use to a player. `title` must hold the file-name part.
void FileNameTitle(const Utf16Unit *path, Utf16Unit *title);

// WAV-only mode: the file-name part less its last four units ("Track 01.wav"
// gives "Track 01"); a name shorter than four units gives an empty title.
void WaveFileTitle(const Utf16Unit *path, Utf16Unit *title);
