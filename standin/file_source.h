// Local files as a ByteSource (Windows edge of the library).
#pragma once
#include <windows.h>

#include "standin/byte_source.h"

struct FileSource {
  HANDLE file;
  uint64_t base;  // offset of the stream's first byte in the file
};

// Opens path (UTF-16 when wide, else the 8-bit code page) for reading and
// describes the range [offset, offset + length) of it (length 0: to the
// end). False, with nothing open, when the file cannot be read.
bool OpenFileSource(FileSource *fs, const void *path, bool wide, uint64_t offset, uint64_t length, ByteSource *src);
void CloseFileSource(FileSource *fs);
