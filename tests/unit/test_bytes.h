// Byte builders the unit tests share: integers in either byte order, chunks
// of RIFF/WAVE, AIFF and DSDIFF files, WAV format blocks, ID3v2 tags and
// frames, Ogg pages. One home each, so that a layout is written once.
#pragma once
#include <stdint.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "standin/iff_chunks.h"

typedef std::vector<uint8_t> Bytes;

inline Bytes Str(const std::string &s) { return Bytes(s.begin(), s.end()); }
inline void Put(Bytes &b, const std::string &s) { b.insert(b.end(), s.begin(), s.end()); }
inline void Put(Bytes &b, const Bytes &more) { b.insert(b.end(), more.begin(), more.end()); }
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes &p : parts) Put(all, p);
  return all;
}
inline void Le(Bytes &b, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back((uint8_t)(v >> (8 * i)));
}
inline void Be(Bytes &b, uint64_t v, int n) {
  for (int i = n - 1; i >= 0; --i) b.push_back((uint8_t)(v >> (8 * i)));
}
inline void Zeros(Bytes &b, size_t n) { b.insert(b.end(), n, 0); }
inline Bytes BigEndian(uint32_t v) {
  Bytes b;
  Be(b, v, 4);
  return b;
}
// Seven bits a byte, as ID3v2 writes its sizes.
inline Bytes Syncsafe(uint32_t v) {
  return {(uint8_t)((v >> 21) & 0x7F), (uint8_t)((v >> 14) & 0x7F), (uint8_t)((v >> 7) & 0x7F), (uint8_t)(v & 0x7F)};
}

// The 16-byte body of a "fmt " chunk (tag 1: PCM); the block align is the
// frame size the channels and bits give unless `align` says otherwise.
inline Bytes Fmt(uint16_t tag, uint16_t chans, uint32_t rate, uint16_t bits, int align = -1) {
  Bytes f;
  if (align < 0) align = chans * ((bits + 7) / 8);
  Le(f, tag, 2);
  Le(f, chans, 2);
  Le(f, rate, 4);
  Le(f, (uint64_t)rate * align, 4);
  Le(f, (uint16_t)align, 2);
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

// An ID3v2 frame with its size field written the version's way (or `size` as
// given). Version 2 (2.2): a 3-character identifier, a 3-byte size and no
// flags. A version 3 frame is also a version 4 frame whose size was written plain.
inline Bytes Id3Frame(int version, const char *id, const Bytes &data, uint8_t flags2 = 0, int64_t size = -1) {
  uint32_t n = size < 0 ? (uint32_t)data.size() : (uint32_t)size;
  if (version == 2) return Cat({Str(std::string(id, 3)), {(uint8_t)(n >> 16), (uint8_t)(n >> 8), (uint8_t)n}, data});
  return Cat({Str(std::string(id, 4)), version >= 4 ? Syncsafe(n) : BigEndian(n), {0, flags2}, data});
}

// An ID3v2 tag: header (version, revision 0, flags, syncsafe size), body.
inline Bytes Id3Tag(int version, uint8_t flags, const Bytes &body) {
  return Cat({Str("ID3"), {(uint8_t)version, 0, flags}, Syncsafe((uint32_t)body.size()), body});
}

// ID3v2 unsynchronisation: every 0xFF followed by 0x00 or a byte >= 0xE0 (or
// ending the data) gets a 0x00 after it.
inline Bytes Unsynchronise(const Bytes &in) {
  Bytes out;
  for (size_t i = 0; i < in.size(); ++i) {
    out.push_back(in[i]);
    if (in[i] == 0xFF && (i + 1 == in.size() || in[i + 1] == 0 || in[i + 1] >= 0xE0)) out.push_back(0);
  }
  return out;
}

// An ID3v2 tag with one TIT2 frame (encoding 3), then an APIC frame of
// picture_bytes when not 0 (a large tag, as a cover makes it). The frame
// sizes are written plain whatever the version.
inline Bytes Id3v2Title(const std::string &title, int version = 3, uint32_t picture_bytes = 0) {
  Bytes frames = Id3Frame(3, "TIT2", Cat({{3}, Str(title)}));
  if (picture_bytes != 0) Put(frames, Id3Frame(3, "APIC", Bytes(picture_bytes, 0x5A)));
  return Id3Tag(version, 0, frames);
}

// Lacing values of one packet of len bytes on one page.
inline Bytes Lacing(size_t len) {
  Bytes l(len / 255, 255);
  l.push_back((uint8_t)(len % 255));
  return l;
}

// An Ogg page: header type, granule, serial, lacing values and body.
inline Bytes OggPage(uint8_t type, uint64_t granule, uint32_t serial, const Bytes &lacing, const Bytes &body) {
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
