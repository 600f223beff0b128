// The chunks of RIFF/WAVE, AIFF and DSDIFF files: after the form header (a
// chunk header and the form type) a run of chunks, each an id, a size, the
// body and a pad byte after an odd body. The three differ in the size field
// only: RIFF's is 32-bit little-endian, AIFF's 32-bit big-endian, DSDIFF's
// 64-bit big-endian.
#pragma once
#include <stdint.h>

#include "standin/byte_source.h"
#include "standin/stream_facts.h"

static const uint32_t kMaxChunks = 4096;  // bounds a walk over a file of tiny chunks

enum ChunkOrder { kRiffChunks, kAiffChunks, kDsdiffChunks };

struct Chunk {
  uint8_t id[4];
  uint64_t size;  // body bytes as the header gives them
  uint64_t body;  // offset of the first byte after the header
};

struct ChunkWalk {
  const ByteSource *src;
  ChunkOrder order;
  uint64_t pos;    // the next chunk's header
  uint32_t count;  // chunks passed, ID3 chunks included
  TagBlock *id3;   // where an ID3 chunk's tag goes
};

// A walk from the first chunk after the form header.
ChunkWalk StartChunkWalk(const ByteSource *src, ChunkOrder order, TagBlock *id3);

// The next chunk; false ends the walk: at the end of the bytes, after
// kMaxChunks chunks, at a size that wraps the position, or on a download once
// the caller has all it needs (`enough`), since a download cannot walk past
// the audio. ID3 chunks ("ID3 ", and "id3 " in RIFF) are not handed out: the
// first one that holds its whole tag is loaded into the walk's id3 block.
bool NextChunk(ChunkWalk *walk, bool enough, Chunk *chunk);
