// Tag blocks of the stand-in library: the ID3v2 block handed out whole, the
// ID3v1 block, and the key=value lists built from Vorbis comments, APEv2
// items and RIFF INFO chunks.
#include <gtest/gtest.h>

#include "standin/tag_blocks.h"
#include "tests/unit/standin_test_bytes.h"

namespace {

TEST(StandinId3v2, SpanCountsHeaderSizeAndFooter) {
  Bytes tag = Id3v2Title("Song");
  EXPECT_EQ(Id3v2TagSpan(tag.data()), tag.size());
  tag[3] = 4;
  tag[5] = 0x10;  // version 4 footer
  EXPECT_EQ(Id3v2TagSpan(tag.data()), tag.size() + 10);
  uint8_t big[10] = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
  EXPECT_EQ(Id3v2TagSpan(big), 10u + 0x0FFFFFFFu);
  uint8_t not_syncsafe[10] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x80, 0};
  EXPECT_EQ(Id3v2TagSpan(not_syncsafe), 0u);
  uint8_t version9[10] = {'I', 'D', '3', 9, 0, 0, 0, 0, 1, 0};
  EXPECT_EQ(Id3v2TagSpan(version9), 0u);
}

TEST(StandinId3v2, WholeTagHandedOutOnlyWhenComplete) {
  Bytes file = Id3v2Title("Song");
  Put(file, "audio");
  MemorySource mem = {file.data(), file.size()};
  ByteSource src = MakeMemorySource(&mem);
  TagBlock block = {NULL, 0};
  EXPECT_EQ(LoadId3v2Tag(&src, 0, &block), file.size() - 5);
  ASSERT_NE(block.data, nullptr);
  EXPECT_EQ(block.size, file.size() - 5);
  EXPECT_EQ(0, memcmp(block.data, file.data(), block.size));
  free(block.data);

  // Cut one byte short of what the header declares: no tag, span still told.
  Bytes cut = Id3v2Title("Song");
  cut.pop_back();
  MemorySource cut_mem = {cut.data(), cut.size()};
  ByteSource cut_src = MakeMemorySource(&cut_mem);
  TagBlock none = {NULL, 0};
  EXPECT_EQ(LoadId3v2Tag(&cut_src, 0, &none), cut.size() + 1);
  EXPECT_EQ(none.data, nullptr);
}

TEST(StandinId3v2, WholeTagWithoutFooterAndWithoutSizeCap) {
  const struct {
    int version;
    uint8_t flags;
    uint32_t picture;
    uint32_t footer;  // bytes after the tag that its header counts in its span
  } kRows[] = {{3, 0, 0, 0}, {4, 0x10, 0, 10}, {3, 0, 9 * 1024 * 1024, 0}};
  for (const auto &row : kRows) {
    Bytes file = Id3v2Title("Song", row.version, row.picture);
    file[5] = row.flags;
    const size_t tag = file.size();
    if (row.footer != 0) Put(file, "3DI\x04");
    Zeros(file, row.footer != 0 ? 6 : 0);
    Put(file, "audio");
    MemorySource mem = {file.data(), file.size()};
    ByteSource src = MakeMemorySource(&mem);
    TagBlock block = {NULL, 0};
    EXPECT_EQ(LoadId3v2Tag(&src, 0, &block), tag + row.footer);
    ASSERT_NE(block.data, nullptr) << row.picture;
    EXPECT_EQ(block.size, tag);
    EXPECT_EQ(0, memcmp(block.data, file.data(), tag));
    free(block.data);
  }
}

TEST(StandinRiffInfo, SubChunksAsKeyValueInFileOrder) {
  Bytes info;
  Put(info, "INFO");
  Put(info, IffChunk("INAM", Bytes{'S', 'o', 'n', 'g', 0}));   // odd: a pad byte follows
  Put(info, IffChunk("IART", Bytes{'C', 'a', 'f', 0xE9, 0, 0}));  // raw bytes, NULs dropped
  Put(info, IffChunk("ICMT", Bytes{}));
  Put(info, IffChunk("ICRD", Bytes{'2', '0', '2', '4'}));
  MemorySource mem = {info.data(), info.size()};
  ByteSource src = MakeMemorySource(&mem);
  TagBlock list = {NULL, 0};
  ASSERT_TRUE(LoadRiffInfoList(&src, 0, info.size(), &list));
  EXPECT_EQ(ListEntries(list), (std::vector<std::string>{"INAM=Song", "IART=Caf\xE9", "ICMT=", "ICRD=2024"}));
  EXPECT_EQ(list.size, 10u + 10 + 6 + 10 + 1);
  free(list.data);
  // Another list type is no INFO; a sub-chunk past the list's end ends it.
  Bytes adtl = info;
  memcpy(adtl.data(), "adtl", 4);
  MemorySource adtl_mem = {adtl.data(), adtl.size()};
  ByteSource adtl_src = MakeMemorySource(&adtl_mem);
  list = {NULL, 0};
  EXPECT_FALSE(LoadRiffInfoList(&adtl_src, 0, adtl.size(), &list));
  info[4 + 4] = 0xF0;
  ASSERT_TRUE(LoadRiffInfoList(&src, 0, info.size(), &list));
  EXPECT_EQ(ListEntries(list), (std::vector<std::string>{}));
  free(list.data);
}

TEST(StandinVorbisComments, EntriesInOrderEndedByEmptyString) {
  Bytes body = VorbisComments({"TITLE=T", "ARTIST=A", "DATE=2017"});
  TagBlock list = {NULL, 0};
  ASSERT_TRUE(BuildVorbisCommentList(body.data(), body.size(), &list));
  EXPECT_EQ(ListEntries(list), (std::vector<std::string>{"TITLE=T", "ARTIST=A", "DATE=2017"}));
  EXPECT_EQ(list.size, strlen("TITLE=T") + strlen("ARTIST=A") + strlen("DATE=2017") + 4);
  EXPECT_EQ(list.data[list.size - 1], 0);
  EXPECT_EQ(list.data[list.size - 2], 0);
  free(list.data);
  list.data = NULL;
}

TEST(StandinVorbisComments, ZeroEntriesGiveNoList) {
  // The library hands out nothing for a stream without comments.
  Bytes body = VorbisComments({});
  TagBlock list = {NULL, 0};
  EXPECT_FALSE(BuildVorbisCommentList(body.data(), body.size(), &list));
  EXPECT_EQ(list.data, nullptr);
}

TEST(StandinVorbisComments, AnEmptyEntryEndsTheList) {
  // An entry is cut at a NUL inside it; an empty one (or one that starts with
  // a NUL) ends the list there, as the library's does.
  const struct {
    std::vector<std::string> comments;
    std::vector<std::string> listed;
  } kRows[] = {
      {{std::string("TITLE=A\0hidden", 14), "ARTIST=B"}, {"TITLE=A", "ARTIST=B"}},
      {{"TITLE=A", "", "ARTIST=B"}, {"TITLE=A"}},
      {{"TITLE=A", std::string("\0ARTIST=B", 9), "ALBUM=C"}, {"TITLE=A"}},
      {{"", "TITLE=A"}, {}},
  };
  for (const auto &row : kRows) {
    Bytes body = VorbisComments(row.comments);
    TagBlock list = {NULL, 0};
    ASSERT_TRUE(BuildVorbisCommentList(body.data(), body.size(), &list));
    EXPECT_EQ(ListEntries(list), row.listed);
    EXPECT_EQ(list.data[list.size - 1], 0);
    free(list.data);
  }
}

TEST(StandinVorbisComments, CountLargerThanPresentKeepsWholeEntries) {
  Bytes body = VorbisComments({"TITLE=T", "ARTIST=A"}, "v", 0xFFFFFFFF);
  TagBlock list = {NULL, 0};
  ASSERT_TRUE(BuildVorbisCommentList(body.data(), body.size(), &list));
  EXPECT_EQ(ListEntries(list), (std::vector<std::string>{"TITLE=T", "ARTIST=A"}));
  free(list.data);
  list.data = NULL;
  // An entry whose length runs past the body is dropped, not read beyond it.
  body.resize(body.size() - 3);
  ASSERT_TRUE(BuildVorbisCommentList(body.data(), body.size(), &list));
  EXPECT_EQ(ListEntries(list), (std::vector<std::string>{"TITLE=T"}));
  free(list.data);
  list.data = NULL;
}

TEST(StandinVorbisComments, MalformedVendorIsNoTag) {
  Bytes body = VorbisComments({"TITLE=T"});
  body[0] = 0xFF;  // vendor length past the end
  TagBlock list = {NULL, 0};
  EXPECT_FALSE(BuildVorbisCommentList(body.data(), body.size(), &list));
  EXPECT_EQ(list.data, nullptr);
  for (size_t n = 0; n < 8; ++n) EXPECT_FALSE(BuildVorbisCommentList(body.data(), n, &list)) << n;
}

static bool LoadApeFrom(const Bytes &file, TagBlock *list) {
  MemorySource mem = {file.data(), file.size()};
  ByteSource src = MakeMemorySource(&mem);
  ApeTagPlace place;
  return FindApeTag(&src, file.size(), &place) && LoadApeItems(&src, &place, list);
}

TEST(StandinApe, TextItemsAsKeyValueBinaryItemsSkipped) {
  Bytes file;
  Put(file, "audio");
  Bytes tag = ApeTag({{"Title", "Song"}, {"Artist", "Band"}});
  Put(file, tag);
  MemorySource mem = {file.data(), file.size()};
  ByteSource src = MakeMemorySource(&mem);
  ApeTagPlace place;
  ASSERT_TRUE(FindApeTag(&src, file.size(), &place));
  EXPECT_EQ(place.start, 5u);  // the header is part of the tag
  EXPECT_EQ(place.item_count, 2u);
  TagBlock list = {NULL, 0};
  ASSERT_TRUE(LoadApeItems(&src, &place, &list));
  EXPECT_EQ(ListEntries(list), (std::vector<std::string>{"Title=Song", "Artist=Band"}));
  free(list.data);
  list.data = NULL;

  // The item type is (flags >> 1) & 3: only text items (type 0) are read,
  // whatever the read-only bit (bit 0) says.
  const struct {
    uint32_t flags;
    bool read;
  } kinds[] = {{0, true}, {1, true}, {1 << 1, false}, {2 << 1, false}, {3 << 1, false}};
  for (const auto &kind : kinds) {
    ASSERT_TRUE(LoadApeFrom(ApeTag({{"Title", "x"}}, kind.flags), &list));
    EXPECT_EQ(ListEntries(list).size(), kind.read ? 1u : 0u) << kind.flags;
    free(list.data);
    list.data = NULL;
  }
}

TEST(StandinApe, MultipleValuesJoinedWithSlash) {
  Bytes tag = ApeTag({{"Artist", std::string("AA1\0AA2", 7)}, {"Title", std::string("T\0", 2)}});
  TagBlock list = {NULL, 0};
  ASSERT_TRUE(LoadApeFrom(tag, &list));
  EXPECT_EQ(ListEntries(list), (std::vector<std::string>{"Artist=AA1/AA2", "Title=T"}));
  free(list.data);
  list.data = NULL;
}

// The trailing tags an opener loads from a file that ends in them.
static void LoadTrailing(const Bytes &file, StreamFacts *facts) {
  MemorySource mem = {file.data(), file.size()};
  ByteSource src = MakeMemorySource(&mem);
  ClearStreamFacts(facts);
  LoadTrailingTags(&src, 0, facts);
}

TEST(StandinTrailingTags, Id3v1AndApeAsTheLibraryHandsThemOut) {
  Bytes id3v1;
  Put(id3v1, "TAG");
  Put(id3v1, "Old title");
  Zeros(id3v1, 125 - 9);
  Bytes ape = ApeTag({{"Title", "Ape"}});
  Bytes apev1 = ape;
  apev1[8] = 1000 & 0xFF, apev1[9] = 1000 >> 8;  // the header's version
  apev1[apev1.size() - 24] = 1000 & 0xFF, apev1[apev1.size() - 23] = 1000 >> 8;
  const struct {
    const char *name;
    std::vector<Bytes> tail;
    bool id3v1;
    std::vector<std::string> ape;
  } kRows[] = {
      {"ID3v1 alone: the last 128 bytes", {id3v1}, true, {}},
      {"APE, then ID3v1", {ape, id3v1}, true, {"Title=Ape"}},
      {"ID3v1, then APE: no ID3v1", {id3v1, ape}, false, {"Title=Ape"}},
      {"APEv1: not handed out", {apev1}, false, {}},
  };
  for (const auto &row : kRows) {
    Bytes file(300, 0x55);
    for (const Bytes &t : row.tail) Put(file, t);
    StreamFacts f;
    LoadTrailing(file, &f);
    ASSERT_EQ(f.tags[kTagId3v1].data != NULL, row.id3v1) << row.name;
    if (row.id3v1) {
      ASSERT_EQ(f.tags[kTagId3v1].size, 128u);
      EXPECT_EQ(0, memcmp(f.tags[kTagId3v1].data, file.data() + file.size() - 128, 128)) << row.name;
    }
    EXPECT_EQ(ListEntries(f.tags[kTagApe]), row.ape) << row.name;
    ReleaseStreamFacts(&f);
  }
}

TEST(StandinApe, BadSizesAreNoTag) {
  Bytes tag = ApeTag({{"Title", "Song"}});
  size_t footer = tag.size() - 32;
  TagBlock list = {NULL, 0};
  for (uint32_t size : {0u, 31u, 0xFFFFFFFFu, 0xFFFFFFE0u, (uint32_t)tag.size() + 100}) {
    Bytes bad = tag;
    bad[footer + 12] = (uint8_t)size;
    bad[footer + 13] = (uint8_t)(size >> 8);
    bad[footer + 14] = (uint8_t)(size >> 16);
    bad[footer + 15] = (uint8_t)(size >> 24);
    EXPECT_FALSE(LoadApeFrom(bad, &list)) << size;
    EXPECT_EQ(list.data, nullptr);
  }
}

TEST(StandinApe, ItemCountLargerThanPresent) {
  Bytes tag = ApeTag({{"Title", "Song"}});
  tag[tag.size() - 32 + 16] = 0xFF;  // count 255 in the footer
  TagBlock list = {NULL, 0};
  ASSERT_TRUE(LoadApeFrom(tag, &list));
  EXPECT_EQ(ListEntries(list), (std::vector<std::string>{"Title=Song"}));
  free(list.data);
  list.data = NULL;
  // A value size that runs past the items ends the list there.
  Bytes long_value = ApeTag({{"Title", "Song"}, {"Artist", "Band"}});
  size_t second = 32 + 8 + 6 + 4;  // header, first item
  long_value[second + 3] = 0x7F;
  ASSERT_TRUE(LoadApeFrom(long_value, &list));
  EXPECT_EQ(ListEntries(list), (std::vector<std::string>{"Title=Song"}));
  free(list.data);
  list.data = NULL;
}

TEST(StandinApe, TrailingTagsTrimmedInEitherPresence) {
  Bytes file(1000, 0x55);
  size_t audio = file.size();
  Put(file, ApeTag({{"Title", "x"}}));
  Bytes id3v1;
  Put(id3v1, "TAG");
  Zeros(id3v1, 125);
  Put(file, id3v1);
  MemorySource mem = {file.data(), file.size()};
  ByteSource src = MakeMemorySource(&mem);
  bool has_ape = false;
  ApeTagPlace place;
  EXPECT_EQ(TrimTrailingTags(&src, 0, file.size(), &place, &has_ape), audio);
  EXPECT_TRUE(has_ape);
  Bytes plain(300, 0x55);
  Put(plain, id3v1);
  MemorySource plain_mem = {plain.data(), plain.size()};
  ByteSource plain_src = MakeMemorySource(&plain_mem);
  EXPECT_EQ(TrimTrailingTags(&plain_src, 0, plain.size(), &place, &has_ape), 300u);
  EXPECT_FALSE(has_ape);
}

}  // namespace
