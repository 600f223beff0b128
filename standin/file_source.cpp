#include "standin/file_source.h"

static uint32_t FileReadAt(void *ctx, uint64_t offset, uint8_t *buf, uint32_t len) {
  FileSource *fs = (FileSource *)ctx;
  uint64_t at = fs->base + offset;
  OVERLAPPED where;
  ZeroMemory(&where, sizeof(where));
  where.Offset = (DWORD)at;
  where.OffsetHigh = (DWORD)(at >> 32);
  DWORD got = 0;
  if (!ReadFile(fs->file, buf, len, &got, &where)) return 0;
  return got;
}

bool OpenFileSource(FileSource *fs, const void *path, bool wide, uint64_t offset, uint64_t length, ByteSource *src) {
  fs->file = INVALID_HANDLE_VALUE;
  fs->base = 0;
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
