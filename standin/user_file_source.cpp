#include "standin/user_file_source.h"

#include <stdlib.h>
#include <string.h>

static const uint32_t kMostKept = 16u * 1024 * 1024;  // as a download: the most an opener may read from the start
static const uint32_t kReadAhead = 64u * 1024;        // read beyond what the openers asked for
static const uint32_t kReadPiece = 64u * 1024;        // asked of the read procedure at a time

struct UserFileSource {
  BASS_FILEPROCS procs;
  void *user;
  CRITICAL_SECTION lock;
  CONDITION_VARIABLE changed;  // more bytes, the end, a wish or a stop
  uint8_t *data;
  uint32_t used;
  uint32_t cap;
  uint64_t wanted;  // the furthest byte an opener asked for
  bool ended;       // the read procedure gave 0, or the buffer is full
  bool stopping;
  HANDLE thread;
  uint8_t piece[kReadPiece];
};

// The thread: reads while the openers want more (and a little more), never
// holding the lock while the caller's procedure runs.
static DWORD WINAPI ReadThread(void *context) {
  UserFileSource *file = static_cast<UserFileSource *>(context);
  EnterCriticalSection(&file->lock);
  for (;;) {
    while (!file->stopping && !file->ended && file->used >= file->wanted + kReadAhead) {
      SleepConditionVariableCS(&file->changed, &file->lock, INFINITE);
    }
    if (file->stopping || file->ended) break;
    LeaveCriticalSection(&file->lock);
    DWORD got = file->procs.read != NULL ? file->procs.read(file->piece, kReadPiece, file->user) : 0;
    if (got > kReadPiece) got = kReadPiece;
    EnterCriticalSection(&file->lock);
    if (got == 0) {
      file->ended = true;
    } else {
      if (got > file->cap - file->used) {
        uint32_t cap = file->cap;
        while (cap - file->used < got && cap < kMostKept) cap = cap < kMostKept / 2 ? cap * 2 : kMostKept;
        uint8_t *grown = cap - file->used >= got ? static_cast<uint8_t *>(realloc(file->data, cap)) : NULL;
        if (grown != NULL) {
          file->data = grown;
          file->cap = cap;
        }
      }
      if (got <= file->cap - file->used) {
        memcpy(file->data + file->used, file->piece, got);
        file->used += got;
      } else {
        file->ended = true;  // no room for more: the openers see the end here
      }
    }
    WakeAllConditionVariable(&file->changed);
  }
  WakeAllConditionVariable(&file->changed);
  LeaveCriticalSection(&file->lock);
  return 0;
}

static uint32_t UserFileReadAt(void *ctx, uint64_t offset, uint8_t *buf, uint32_t len) {
  UserFileSource *file = static_cast<UserFileSource *>(ctx);
  if (offset >= kMostKept) return 0;  // never kept, as a download's far end
  if (len > kMostKept - offset) len = (uint32_t)(kMostKept - offset);
  EnterCriticalSection(&file->lock);
  const uint64_t want = offset + len;
  if (want > file->wanted) {
    file->wanted = want;
    WakeAllConditionVariable(&file->changed);
  }
  while (!file->ended && file->used < want) SleepConditionVariableCS(&file->changed, &file->lock, INFINITE);
  uint32_t n = 0;
  if (offset < file->used) {
    n = file->used - (uint32_t)offset < len ? file->used - (uint32_t)offset : len;
    memcpy(buf, file->data + offset, n);
  }
  LeaveCriticalSection(&file->lock);
  return n;
}

UserFileSource *OpenUserFileSource(const BASS_FILEPROCS *procs, void *user, ByteSource *src) {
  UserFileSource *file = static_cast<UserFileSource *>(calloc(1, sizeof(UserFileSource)));
  if (file == NULL) return NULL;
  file->procs = *procs;
  file->user = user;
  file->cap = 65536;
  file->data = static_cast<uint8_t *>(malloc(file->cap));
  if (file->data == NULL) {
    free(file);
    return NULL;
  }
  InitializeCriticalSection(&file->lock);
  InitializeConditionVariable(&file->changed);
  const QWORD length = procs->length != NULL ? procs->length(user) : 0;
  file->thread = CreateThread(NULL, 0, ReadThread, file, 0, NULL);
  if (file->thread == NULL) {
    DeleteCriticalSection(&file->lock);
    free(file->data);
    free(file);
    return NULL;
  }
  src->ctx = file;
  src->read_at = UserFileReadAt;
  src->size = length != 0 ? length : kSourceSizeUnknown;
  return file;
}

void CloseUserFileSource(UserFileSource *file) {
  if (file == NULL) return;
  EnterCriticalSection(&file->lock);
  file->stopping = true;
  WakeAllConditionVariable(&file->changed);
  LeaveCriticalSection(&file->lock);
  WaitForSingleObject(file->thread, INFINITE);
  CloseHandle(file->thread);
  if (file->procs.close != NULL) file->procs.close(file->user);
  DeleteCriticalSection(&file->lock);
  free(file->data);
  free(file);
}
