// Byte-vector builders for the stand-in parser tests.
#pragma once
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "standin/byte_source.h"
#include "standin/iff_chunks.h"
#include "standin/stream_facts.h"

typedef std::vector<uint8_t> Bytes;

inline void Put(Bytes &b, const std::string &s) { b.insert(b.end(), s.begin(), s.end()); }
inline void Put(Bytes &b, const Bytes &more) { b.insert(b.end(), more.begin(), more.end()); }
inline void Le(Bytes &b, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back((uint8_t)(v >> (8 * i)));
}
inline void Be(Bytes &b, uint64_t v, int n) {
  for (int i = n - 1; i >= 0; --i) b.push_back((uint8_t)(v >> (8 * i)));
}
inline void Zeros(Bytes &b, size_t n) { b.insert(b.end(), n, 0); }

// The 16-byte body of a "fmt " chunk (tag 1: PCM); align 0 stands for the
// frame size the channels and bits give.
inline Bytes Fmt(uint16_t tag, uint16_t chans, uint32_t rate, uint16_t bits, uint16_t align = 0) {
  Bytes f;
  if (align == 0) align = (uint16_t)(chans * ((bits + 7) / 8));
  Le(f, tag, 2);
  Le(f, chans, 2);
  Le(f, rate, 4);
  Le(f, (uint64_t)rate * align, 4);
  Le(f, align, 2);
  Le(f, bits, 2);
  return f;
}

// A chunk as the layout writes it: id, size (RIFF: 32-bit little-endian,
// AIFF: 32-bit big-endian, DSDIFF: 64-bit big-endian; `declared` in its
// place when given), body, pad byte after an odd body.
inline Bytes IffChunk(const char *id, const Bytes &body, ChunkOrder order = kRiffChunks, uint64_t declared = ~0ull) {
  Bytes c;
  Put(c, std::string(id, 4));
  uint64_t size = declared != ~0ull ? declared : body.size();
  if (order == kRiffChunks) Le(c, size, 4); else Be(c, size, order == kDsdiffChunks ? 8 : 4);
  Put(c, body);
  if (body.size() & 1) c.push_back(0);
  return c;
}

// A RIFF/WAVE file of the chunks.
inline Bytes Riff(const std::vector<Bytes> &chunks) {
  Bytes body;
  Put(body, "WAVE");
  for (const Bytes &c : chunks) Put(body, c);
  return IffChunk("RIFF", body);
}

// A syncsafe ID3v2.3 tag with one TIT2 frame (encoding 3), then an APIC
// frame of picture_bytes when not 0 (a large tag, as a cover makes it).
inline Bytes Id3v2Title(const std::string &title, int version = 3, uint32_t picture_bytes = 0) {
  Bytes frame;
  Put(frame, "TIT2");
  Be(frame, title.size() + 1, 4);
  Zeros(frame, 2);
  frame.push_back(3);
  Put(frame, title);
  if (picture_bytes != 0) {
    Put(frame, "APIC");
    Be(frame, picture_bytes, 4);
    Zeros(frame, 2);
    Put(frame, Bytes(picture_bytes, 0x5A));
  }
  Bytes tag;
  Put(tag, "ID3");
  tag.push_back((uint8_t)version);
  tag.push_back(0);
  tag.push_back(0);
  uint32_t n = (uint32_t)frame.size();
  for (int s : {21, 14, 7, 0}) tag.push_back((uint8_t)((n >> s) & 0x7F));
  Put(tag, frame);
  return tag;
}

// Vorbis comment body: vendor, count, length-prefixed entries.
inline Bytes VorbisComments(const std::vector<std::string> &entries, const std::string &vendor = "vendor",
                            int64_t count = -1) {
  Bytes b;
  Le(b, vendor.size(), 4);
  Put(b, vendor);
  Le(b, count >= 0 ? (uint64_t)count : entries.size(), 4);
  for (const std::string &e : entries) {
    Le(b, e.size(), 4);
    Put(b, e);
  }
  return b;
}

// An APEv2 tag with header and footer holding text items.
inline Bytes ApeTag(const std::vector<std::pair<std::string, std::string>> &items, uint32_t item_flags = 0) {
  Bytes body;
  for (const auto &it : items) {
    Le(body, it.second.size(), 4);
    Le(body, item_flags, 4);
    Put(body, it.first);
    body.push_back(0);
    Put(body, it.second);
  }
  auto header = [&](bool is_header) {
    Bytes h;
    Put(h, "APETAGEX");
    Le(h, 2000, 4);
    Le(h, body.size() + 32, 4);
    Le(h, items.size(), 4);
    Le(h, 0x80000000u | (is_header ? 0x20000000u : 0), 4);
    Zeros(h, 8);
    return h;
  };
  Bytes tag = header(true);
  Put(tag, body);
  Put(tag, header(false));
  return tag;
}

// Lacing values of one packet of len bytes on one page.
inline std::vector<uint8_t> Lacing(size_t len) {
  std::vector<uint8_t> l(len / 255, 255);
  l.push_back((uint8_t)(len % 255));
  return l;
}

// An Ogg page: header type, granule, serial, lacing values and body.
inline Bytes OggPage(uint8_t type, uint64_t granule, uint32_t serial, const std::vector<uint8_t> &lacing,
                     const Bytes &body) {
  Bytes p;
  Put(p, "OggS");
  p.push_back(0);
  p.push_back(type);
  Le(p, granule, 8);
  Le(p, serial, 4);
  Le(p, 0, 4);  // sequence
  Le(p, 0, 4);  // checksum (not checked)
  p.push_back((uint8_t)lacing.size());
  Put(p, lacing);
  Put(p, body);
  return p;
}

// A WavPack block (version 0x410): flags, total samples, block index, block
// samples, then the metadata sub-blocks.
inline Bytes WavPackBlock(uint32_t flags, uint32_t total, uint32_t index, uint32_t samples, const Bytes &meta) {
  Bytes b;
  Put(b, "wvpk");
  Le(b, 24 + meta.size(), 4);
  Le(b, 0x410, 2);
  Zeros(b, 2);
  Le(b, total, 4);
  Le(b, index, 4);
  Le(b, samples, 4);
  Le(b, flags, 4);
  Le(b, 0, 4);
  Put(b, meta);
  return b;
}

// Runs an opener over a byte vector; the facts stay for the caller to check
// and release.
inline bool OpenBytes(FormatOpenFn open, const Bytes &b, StreamFacts *facts) {
  MemorySource mem = {b.data(), b.size()};
  ByteSource src = MakeMemorySource(&mem);
  return open(&src, facts);
}

// The list form of a tag block as strings, up to its empty entry.
inline std::vector<std::string> ListEntries(const TagBlock &tag) {
  std::vector<std::string> out;
  if (tag.data == NULL) return out;
  const char *p = (const char *)tag.data;
  const char *end = p + tag.size;
  while (p < end && *p) {
    out.push_back(p);
    p += strlen(p) + 1;
  }
  return out;
}

// Opens every prefix of b (a file cut at each length): none may crash, and
// whatever opens must report a valid shape and release cleanly.
inline void OpenEveryPrefix(FormatOpenFn open, const Bytes &b) {
  for (size_t n = 0; n < b.size(); ++n) {
    Bytes cut(b.begin(), b.begin() + n);
    StreamFacts f;
    if (OpenBytes(open, cut, &f)) {
      if (!StreamShapeValid(&f)) ADD_FAILURE() << "opened a shapeless stream at prefix " << n;
      ReleaseStreamFacts(&f);
    }
  }
}
