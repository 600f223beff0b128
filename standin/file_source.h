// Local files as a ByteSource (Windows edge of the library).
#pragma once
#include <windows.h>

#include "standin/byte_source.h"

// The format openers probe the same few header bytes one after another (each
// format checks its magic, every tag search reads the tail), and under Wine
// every ReadFile costs several system calls. Reads that fall within one
// 4 KiB page of the file are therefore served from a few cached pages; a
// page is read only when a read needs bytes in it, so no page is read that
// the openers would not have touched anyway.
enum { kFilePageBytes = 4096, kFileCachedPages = 4 };

struct FileCachedPage {
  uint64_t index;  // file offset / kFilePageBytes
  uint32_t bytes;  // bytes held (fewer in the file's last page); 0: empty slot
  uint32_t used;   // when it last served a read, for replacing the oldest
  uint8_t data[kFilePageBytes];
};

struct FileSource {
  HANDLE file;
  uint64_t base;  // offset of the stream's first byte in the file
  uint32_t clock;
  FileCachedPage pages[kFileCachedPages];
};

// Opens path (UTF-16 when wide, else the 8-bit code page) for reading and
// describes the range [offset, offset + length) of it (length 0: to the
// end). False, with nothing open, when the file cannot be read.
bool OpenFileSource(FileSource *fs, const void *path, bool wide, uint64_t offset, uint64_t length, ByteSource *src);
void CloseFileSource(FileSource *fs);
