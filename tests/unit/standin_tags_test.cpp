// Tag blocks of the stand-in library: the ID3v2 block handed out whole, and
// the key=value lists built from Vorbis comments and APEv2 items.
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

TEST(StandinVorbisComments, ZeroEntriesGiveAnEmptyList) {
  Bytes body = VorbisComments({});
  TagBlock list = {NULL, 0};
  ASSERT_TRUE(BuildVorbisCommentList(body.data(), body.size(), &list));
  ASSERT_EQ(list.size, 1u);
  EXPECT_EQ(list.data[0], 0);
  free(list.data);
  list.data = NULL;
}

TEST(StandinVorbisComments, EmptyAndNulEntriesDoNotEndTheListEarly) {
  Bytes body = VorbisComments({"", std::string("TITLE=A\0hidden", 14), "ARTIST=B"});
  TagBlock list = {NULL, 0};
  ASSERT_TRUE(BuildVorbisCommentList(body.data(), body.size(), &list));
  EXPECT_EQ(ListEntries(list), (std::vector<std::string>{"TITLE=A", "ARTIST=B"}));
  free(list.data);
  list.data = NULL;
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

TEST(StandinApe, MultipleValuesGiveTheFirst) {
  Bytes tag = ApeTag({{"Artist", std::string("One\0Two", 7)}, {"Title", "T"}});
  TagBlock list = {NULL, 0};
  ASSERT_TRUE(LoadApeFrom(tag, &list));
  EXPECT_EQ(ListEntries(list), (std::vector<std::string>{"Artist=One", "Title=T"}));
  free(list.data);
  list.data = NULL;
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
