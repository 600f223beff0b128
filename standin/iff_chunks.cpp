#include "standin/iff_chunks.h"

#include <string.h>

#include "standin/tag_blocks.h"

static uint32_t HeaderSize(ChunkOrder order) { return order == kDsdiffChunks ? 12 : 8; }

static uint64_t ChunkSize(ChunkOrder order, const uint8_t *head) {
  if (order == kRiffChunks) return Le32(head + 4);
  if (order == kAiffChunks) return Be32(head + 4);
  return Be64(head + 4);
}

static bool IsId3Chunk(ChunkOrder order, const uint8_t id[4]) {
  return memcmp(id, "ID3 ", 4) == 0 || (order == kRiffChunks && memcmp(id, "id3 ", 4) == 0);
}

// The chunk's tag, when none is loaded yet and the chunk holds all of it.
static void LoadChunkId3(const ByteSource *src, const Chunk *chunk, TagBlock *id3) {
  if (id3->data != NULL) return;
  uint8_t tag_head[10];
  if (chunk->size < 10 || !ReadExact(src, chunk->body, tag_head, 10)) return;
  const uint32_t span = Id3v2TagSpan(tag_head);
  if (span != 0 && span <= chunk->size) LoadId3v2Tag(src, chunk->body, id3);
}

ChunkWalk StartChunkWalk(const ByteSource *src, ChunkOrder order, TagBlock *id3) {
  ChunkWalk walk;
  walk.src = src;
  walk.order = order;
  walk.pos = HeaderSize(order) + 4;  // the form header: a chunk header and the form type
  walk.count = 0;
  walk.id3 = id3;
  return walk;
}

bool NextChunk(ChunkWalk *walk, bool enough, Chunk *chunk) {
  if (enough && walk->src->size == kSourceSizeUnknown) return false;
  const uint32_t head_size = HeaderSize(walk->order);
  while (walk->count < kMaxChunks) {
    ++walk->count;
    uint8_t head[12];
    if (!ReadExact(walk->src, walk->pos, head, head_size)) return false;
    memcpy(chunk->id, head, 4);
    chunk->size = ChunkSize(walk->order, head);
    chunk->body = walk->pos + head_size;
    if (chunk->size > ~(uint64_t)0 - chunk->body - 1) return false;  // a size that wraps the position
    walk->pos = chunk->body + chunk->size + (chunk->size & 1);     // odd chunks carry a pad byte
    if (!IsId3Chunk(walk->order, chunk->id)) return true;
    LoadChunkId3(walk->src, chunk, walk->id3);
  }
  return false;
}
