// What the stand-in parser tests build beyond tests/unit/test_bytes.h (Vorbis
// comments, APE tags, WavPack blocks), and how they open and check bytes.
#pragma once
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "standin/byte_source.h"
#include "standin/iff_chunks.h"
#include "standin/stream_facts.h"
#include "tests/unit/test_bytes.h"

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

// What an opener reports of one file: its shape and the one tag kind it hands
// out (kTagKinds: none), with that list's entries (none: a binary block).
struct Opened {
  Bytes bytes;
  StreamFormat format;
  uint32_t freq, chans, origres;
  bool length_known;
  uint64_t frames;
  TagKind tag = kTagKinds;
  std::vector<std::string> entries = {};
};

// A format test as a row of the one table (StandinFormat): the files its
// opener opens and what it reports of each, the files it refuses, and a file
// every prefix of which it must survive.
struct FormatCase {
  const char *name;
  FormatOpenFn open;
  std::vector<Opened> opens;
  std::vector<Bytes> refused = {};
  Bytes every_prefix = {};
};

class StandinFormat : public ::testing::TestWithParam<FormatCase> {};

inline std::string FormatCaseName(const ::testing::TestParamInfo<FormatCase> &info) { return info.param.name; }
inline void PrintTo(const FormatCase &c, std::ostream *os) { *os << c.name; }
