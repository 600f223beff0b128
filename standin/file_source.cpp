#include "standin/file_source.h"

#include <string.h>

// Moves the file position and reads there. (An OVERLAPPED offset on this
// synchronous handle would do the same, but Wine then makes a round trip to
// its server for every read.)
static uint32_t ReadFileAt(HANDLE file, uint64_t at, uint8_t *buf, uint32_t len) {
  LARGE_INTEGER where;
  where.QuadPart = (LONGLONG)at;
  if (!SetFilePointerEx(file, where, NULL, FILE_BEGIN)) return 0;
  DWORD got = 0;
  if (!ReadFile(file, buf, len, &got, NULL)) return 0;
  return got <= len ? got : len;
}

// The cached page with the given index, read in when absent into an empty
// slot or else the least recently used one (empty slots have used 0); null
// when the read fails.
static FileCachedPage *PageAt(FileSource *fs, uint64_t index) {
  FileCachedPage *oldest = &fs->pages[0];
  for (FileCachedPage &page : fs->pages) {
    if (page.bytes != 0 && page.index == index) {
      page.used = ++fs->clock;
      return &page;
    }
    if (page.used < oldest->used) oldest = &page;
  }
  uint32_t got = ReadFileAt(fs->file, index * kFilePageBytes, oldest->data, kFilePageBytes);
  oldest->index = index;
  oldest->bytes = got;
  oldest->used = got != 0 ? ++fs->clock : 0;
  return got != 0 ? oldest : NULL;
}

static uint32_t FileReadAt(void *ctx, uint64_t offset, uint8_t *buf, uint32_t len) {
  FileSource *fs = (FileSource *)ctx;
  uint64_t at = fs->base + offset;
  if (len == 0) return 0;
  uint64_t index = at / kFilePageBytes;
  uint32_t in_page = (uint32_t)(at % kFilePageBytes);
  // Reads that span pages (a whole tag, a search window) go to the file as asked.
  if (len > kFilePageBytes - in_page) return ReadFileAt(fs->file, at, buf, len);
  FileCachedPage *page = PageAt(fs, index);
  if (page == NULL || in_page >= page->bytes) return 0;
  uint32_t n = page->bytes - in_page < len ? page->bytes - in_page : len;
  memcpy(buf, page->data + in_page, n);
  return n;
}

bool OpenFileSource(FileSource *fs, const void *path, bool wide, uint64_t offset, uint64_t length, ByteSource *src) {
  fs->file = INVALID_HANDLE_VALUE;
  fs->base = 0;
  fs->clock = 0;
  for (FileCachedPage &page : fs->pages) {
    page.bytes = 0;
    page.used = 0;
  }
  if (path == NULL) return false;
  HANDLE file = wide ? CreateFileW((const wchar_t *)path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL)
                     : CreateFileA((const char *)path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 || offset > (uint64_t)size.QuadPart) {
    CloseHandle(file);
    return false;
  }
  uint64_t available = (uint64_t)size.QuadPart - offset;
  fs->file = file;
  fs->base = offset;
  src->ctx = fs;
  src->read_at = FileReadAt;
  src->size = (length != 0 && length < available) ? length : available;
  return true;
}

void CloseFileSource(FileSource *fs) {
  if (fs->file != INVALID_HANDLE_VALUE) CloseHandle(fs->file);
  fs->file = INVALID_HANDLE_VALUE;
}
