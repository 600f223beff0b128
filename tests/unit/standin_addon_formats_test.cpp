// Formats of the optional add-ons: AAC and ALAC in MPEG-4 files, raw ADTS
// AAC, Monkey's Audio, and WMA in ASF files.
#include <gtest/gtest.h>

#include "standin/formats.h"
#include "tests/unit/standin_test_bytes.h"

namespace {

Bytes Box(const char *type, const Bytes &body) {
  Bytes b;
  Be(b, 8 + body.size(), 4);
  Put(b, std::string(type, 4));
  Put(b, body);
  return b;
}

Bytes Boxes(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes &p : parts) Put(b, p);
  return b;
}

Bytes Handler(const char *kind) {
  Bytes b;
  Zeros(b, 8);
  Put(b, std::string(kind, 4));
  Zeros(b, 13);
  return b;
}

Bytes MediaHeader(uint32_t timescale, uint64_t duration, bool v1 = false) {
  Bytes b;
  b.push_back(v1 ? 1 : 0);
  Zeros(b, 3);
  Zeros(b, v1 ? 16 : 8);
  Be(b, timescale, 4);
  Be(b, duration, v1 ? 8 : 4);
  Zeros(b, 4);
  return b;
}

Bytes SoundEntry(const char *codec, uint16_t chans, uint16_t bits, uint32_t rate, const Bytes &children) {
  Bytes b;
  Zeros(b, 6);
  Be(b, 1, 2);
  Zeros(b, 8);
  Be(b, chans, 2);
  Be(b, bits, 2);
  Zeros(b, 4);
  Be(b, (uint64_t)(rate > 65535 ? 0 : rate) << 16, 4);
  Put(b, children);
  return Box(codec, b);
}

Bytes AlacCookie(uint8_t bits, uint8_t chans, uint32_t rate) {
  Bytes b;
  Zeros(b, 4);
  Be(b, 4096, 4);
  b.push_back(0);
  b.push_back(bits);
  b.push_back(40), b.push_back(10), b.push_back(14), b.push_back(chans);
  Be(b, 255, 2);
  Be(b, 0, 4);
  Be(b, 0, 4);
  Be(b, rate, 4);
  return Box("alac", b);
}

Bytes Trak(const char *handler, uint32_t timescale, uint64_t duration, const Bytes &entry, int64_t media_time = -2) {
  Bytes stsd;
  Zeros(stsd, 4);
  Be(stsd, 1, 4);
  Put(stsd, entry);
  Bytes mdia = Box("mdia", Boxes({Box("mdhd", MediaHeader(timescale, duration)), Box("hdlr", Handler(handler)),
                                  Box("minf", Box("stbl", Box("stsd", stsd)))}));
  if (media_time == -2) return Box("trak", mdia);
  Bytes elst;
  Zeros(elst, 4);
  Be(elst, 2, 4);
  Be(elst, 500, 4), Be(elst, (uint32_t)-1, 4), Be(elst, 0x10000, 4);  // an empty edit first
  Be(elst, 2500, 4), Be(elst, (uint64_t)media_time, 4), Be(elst, 0x10000, 4);
  return Box("trak", Boxes({Box("edts", Box("elst", elst)), mdia}));
}

Bytes Mp4(const Bytes &traks, bool moov_last = false) {
  Bytes ftyp = Box("ftyp", Boxes({Bytes{'M', '4', 'A', ' ', 0, 0, 0, 0}, Bytes{'i', 's', 'o', 'm'}}));
  Bytes moov = Box("moov", traks);
  // A 64-bit sized media data box.
  Bytes mdat;
  Be(mdat, 1, 4);
  Put(mdat, "mdat");
  Be(mdat, 16 + 100, 8);
  Zeros(mdat, 100);
  return moov_last ? Boxes({ftyp, mdat, moov}) : Boxes({ftyp, moov, mdat});
}

// AAC in a file with a video track first, the sound track's edit list
// skipping 1024 frames of priming; the movie box before or after the media data.
Bytes AacFile(bool moov_last) {
  Bytes video = Trak("vide", 90000, 9000000, Box("avc1", Bytes(80, 0)));
  Bytes sound = Trak("soun", 44100, 111616, SoundEntry("mp4a", 2, 16, 44100, Box("esds", Bytes(30, 0))), 1024);
  return Mp4(Boxes({video, sound}), moov_last);
}

// An ilst item: the atom of its type holding one data atom of the type code.
Bytes Item(const char *type, uint32_t type_code, const Bytes &value) {
  Bytes data;
  Be(data, type_code, 4);
  Zeros(data, 4);  // locale
  Put(data, value);
  return Box(type, Box("data", data));
}

Bytes Text(const std::string &s) { return Bytes(s.begin(), s.end()); }

TEST(StandinMp4, IlstItemsUnderTheLibrarysWords) {
  Bytes trkn;
  Be(trkn, 0, 2), Be(trkn, 3, 2), Be(trkn, 9, 2), Be(trkn, 0, 2);
  // Cover art (here larger than any text item) among the items is passed over.
  auto ilst = [&](size_t cover_bytes) {
    return Box("ilst", Boxes({Item("\xA9nam", 1, Text("Song")), Item("\xA9" "ART", 1, Text("Band")),
                              Item("aART", 1, Text("Various")), Item("covr", 13, Bytes(cover_bytes, 0xFF)),
                              Item("\xA9" "alb", 1, Text("Album")), Item("\xA9" "day", 1, Text("2019")),
                              Item("trkn", 0, trkn), Item("\xA9too", 1, Text("Lavf"))}));
  };
  Bytes hdlr = Box("hdlr", Handler("mdir"));
  Bytes sound = Trak("soun", 44100, 4410, SoundEntry("mp4a", 2, 16, 44100, Bytes()));
  const std::vector<std::string> words = {"Title=Song", "Artist=Band", "AlbumArtist=Various", "Album=Album",
                                          "Date=2019",  "Track=3/9",   "Tool=Lavf"};
  auto full_meta = [&](size_t cover_bytes) {
    Bytes meta;
    Zeros(meta, 4);  // version and flags, as MP4 writers make meta
    Put(meta, Boxes({hdlr, ilst(cover_bytes)}));
    return meta;
  };
  for (const Bytes &meta : {full_meta(50), full_meta(300000), Boxes({hdlr, ilst(50)})}) {
    StreamFacts f;
    ASSERT_TRUE(OpenBytes(OpenMp4Aac, Mp4(Boxes({sound, Box("udta", Box("meta", meta))})), &f));
    EXPECT_EQ(ListEntries(f.tags[kTagMp4]), words);
    ReleaseStreamFacts(&f);
  }
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenMp4Aac, Mp4(sound), &f));
  EXPECT_EQ(f.tags[kTagMp4].data, nullptr);
  ReleaseStreamFacts(&f);
  OpenEveryPrefix(OpenMp4Aac, Mp4(Boxes({sound, Box("udta", Box("meta", full_meta(50)))})));
}

TEST(StandinMp4, BrokenBoxesFail) {
  Bytes sound = Trak("soun", 44100, 4410, SoundEntry("mp4a", 2, 16, 44100, Bytes()));
  StreamFacts f;
  EXPECT_FALSE(OpenBytes(OpenMp4Aac, Mp4(Trak("vide", 1, 1, Box("avc1", Bytes(40, 0)))), &f));  // no sound
  EXPECT_FALSE(OpenBytes(OpenMp4Aac, Mp4(Trak("soun", 44100, 10, SoundEntry("mp4a", 0, 16, 44100, Bytes()))), &f));
  Bytes oversized = Mp4(sound);
  size_t moov = oversized.size() - 116 - sound.size() - 8;
  ASSERT_EQ(0, memcmp(oversized.data() + moov + 4, "moov", 4));
  oversized[moov] = 0x7F;  // moov size far past the file
  EXPECT_FALSE(OpenBytes(OpenMp4Aac, oversized, &f));
  Bytes tiny_box = Mp4(sound);
  tiny_box[moov + 3] = 4;  // size below its own header
  tiny_box[moov] = tiny_box[moov + 1] = tiny_box[moov + 2] = 0;
  EXPECT_FALSE(OpenBytes(OpenMp4Aac, tiny_box, &f));
  OpenEveryPrefix(OpenMp4Aac, Mp4(sound));
  OpenEveryPrefix(OpenMp4Alac, Mp4(Trak("soun", 8000, 80, SoundEntry("alac", 1, 16, 8000, AlacCookie(16, 1, 8000)))));
}

Bytes AdtsFrame(uint32_t rate_index, uint32_t chans, uint32_t size) {
  Bytes f = {0xFF, 0xF1, (uint8_t)((1 << 6) | (rate_index << 2) | (chans >> 2)),
             (uint8_t)(((chans & 3) << 6) | (size >> 11)), (uint8_t)(size >> 3), (uint8_t)(((size & 7) << 5) | 0x1F),
             0xFC};
  f.resize(size, 0x21);
  return f;
}

Bytes MonkeysAudio(uint32_t version, uint32_t blocks_per_frame, uint32_t final_blocks, uint32_t frames, uint16_t bits,
                   uint16_t chans, uint32_t rate) {
  Bytes b;
  Put(b, "MAC ");
  Le(b, version, 2);
  Zeros(b, 2);
  Le(b, 52, 4);   // descriptor bytes
  Le(b, 24, 4);   // header bytes
  Zeros(b, 52 - 16);
  Le(b, 2000, 2);  // compression
  Le(b, 0, 2);
  Le(b, blocks_per_frame, 4);
  Le(b, final_blocks, 4);
  Le(b, frames, 4);
  Le(b, bits, 2);
  Le(b, chans, 2);
  Le(b, rate, 4);
  Zeros(b, 64);
  return b;
}

// Old header: 16-bit mono, 73728 blocks a frame before version 3950.
Bytes OldMonkeysAudio() {
  Bytes old;
  Put(old, "MAC ");
  Le(old, 3900, 2);
  Le(old, 2000, 2);
  Le(old, 0, 2);
  Le(old, 1, 2);
  Le(old, 44100, 4);
  Le(old, 0, 4);
  Le(old, 0, 4);
  Le(old, 2, 4);
  Le(old, 5, 4);
  return old;
}

TEST(StandinMonkeysAudio, BadHeadersFail) {
  StreamFacts f;
  EXPECT_FALSE(OpenBytes(OpenMonkeysAudio, MonkeysAudio(3990, 1000, 2000, 3, 16, 2, 44100), &f));  // final > frame
  EXPECT_FALSE(OpenBytes(OpenMonkeysAudio, MonkeysAudio(3990, 1000, 10, 3, 16, 0, 44100), &f));
  EXPECT_FALSE(OpenBytes(OpenMonkeysAudio, MonkeysAudio(3990, 1000, 10, 3, 16, 2, 0), &f));
  EXPECT_FALSE(OpenBytes(OpenMonkeysAudio, MonkeysAudio(100, 1000, 10, 3, 16, 2, 44100), &f));
  Bytes far = MonkeysAudio(3990, 1000, 10, 3, 16, 2, 44100);
  far[10] = 0x7F;  // descriptor size past the cap
  EXPECT_FALSE(OpenBytes(OpenMonkeysAudio, far, &f));
  OpenEveryPrefix(OpenMonkeysAudio, MonkeysAudio(3990, 1000, 10, 0xFFFFFFFF, 16, 2, 44100));
}

// ASF: the GUIDs of the objects the opener reads, and an ASF file of them.
const uint8_t kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const uint8_t kAsfFile[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                              0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const uint8_t kAsfStream[16] = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const uint8_t kAsfAudio[16] = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                               0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
const uint8_t kAsfContent[16] = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const uint8_t kZeroGuid[16] = {0};
const uint8_t kAsfExtended[16] = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                  0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

Bytes AsfObject(const uint8_t guid[16], const Bytes &body) {
  Bytes b(guid, guid + 16);
  Le(b, 24 + body.size(), 8);
  Put(b, body);
  return b;
}

// UTF-16LE with its terminator, from ASCII or two-byte UTF-8 text.
Bytes Wide(const std::string &s) {
  Bytes b;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = (uint8_t)s[i];
    if (c >= 0xC0 && i + 1 < s.size()) c = ((c & 0x1F) << 6) | ((uint8_t)s[++i] & 0x3F);
    Le(b, c, 2);
  }
  Le(b, 0, 2);
  return b;
}

Bytes Asf(uint32_t rate, uint16_t chans, uint64_t duration_100ns, uint64_t preroll_ms, const std::string &title,
          const std::vector<std::pair<std::string, std::string>> &extended, size_t other_bytes = 0) {
  Bytes file_props(80, 0);
  for (int i = 0; i < 8; ++i) file_props[40 + i] = (uint8_t)(duration_100ns >> (8 * i));
  for (int i = 0; i < 8; ++i) file_props[56 + i] = (uint8_t)(preroll_ms >> (8 * i));
  Bytes stream(kAsfAudio, kAsfAudio + 16);
  Zeros(stream, 16 + 8);
  Le(stream, 18, 4);  // type-specific bytes: WAVEFORMATEX
  Zeros(stream, 4 + 2 + 4);
  Put(stream, Fmt(0x161, chans, rate, 16));
  Zeros(stream, 2);
  Bytes content;
  Bytes wide_title = Wide(title), author = Wide("Band");
  Le(content, wide_title.size(), 2), Le(content, author.size(), 2), Le(content, 0, 2), Le(content, 0, 2),
      Le(content, 0, 2);
  Put(content, wide_title), Put(content, author);
  Bytes ext;
  Le(ext, extended.size(), 2);
  for (const auto &item : extended) {
    Bytes name = Wide(item.first), value = Wide(item.second);
    Le(ext, name.size(), 2), Put(ext, name), Le(ext, 0, 2), Le(ext, value.size(), 2), Put(ext, value);
  }
  // An object the opener does not read (a GUID of zeros), first.
  Bytes children = Boxes({AsfObject(kZeroGuid, Bytes(other_bytes, 0x5A)), AsfObject(kAsfFile, file_props),
                          AsfObject(kAsfStream, stream), AsfObject(kAsfContent, content), AsfObject(kAsfExtended, ext)});
  Bytes header(kAsfHeader, kAsfHeader + 16);
  Le(header, 30 + children.size(), 8);
  Le(header, 5, 4);
  header.push_back(1), header.push_back(2);
  Put(header, children);
  Zeros(header, 50);  // the data object's start
  return header;
}

Bytes AdtsFile() {
  Bytes file = Id3v2Title("Radio");
  for (int i = 0; i < 40; ++i) Put(file, AdtsFrame(4, 2, 200 + i));
  return file;
}

Bytes Mp3Like() {
  Bytes b = {0xFF, 0xFB, 0x90, 0x00};
  b.resize(2000, 0);
  return b;
}

// An ASF file: play duration 5.5 s less 3 s of preroll; the zero-GUID object
// before the others holds `other` bytes.
Bytes CafeAsf(size_t other) {
  return Asf(44100, 2, 25000000 + 30000000, 3000, "Caf\xC3\xA9", {{"WM/AlbumTitle", "Album"}, {"WM/Year", "2020"}},
             other);
}

const std::vector<std::string> kCafeWords = {"Title=Caf\xC3\xA9", "Author=Band", "WM/AlbumTitle=Album",
                                             "WM/Year=2020"};

Bytes NotAsf() {
  Bytes other = Asf(8000, 1, 10000000, 0, "T", {});
  other[0] ^= 1;
  return other;
}

const FormatCase kAddonCases[] = {
    {"Mp4AacShapeAndLengthLessPriming",
     OpenMp4Aac,
     {{AacFile(false), kFormatMp4Aac, 44100, 2, 0, true, 111616u - 1024},
      {AacFile(true), kFormatMp4Aac, 44100, 2, 0, true, 111616u - 1024}}},
    // The rate from the codec's configuration; a media time scale other than the rate is converted. The other
    // add-on's codec is refused.
    {"Mp4AlacRateFromItsConfiguration",
     OpenMp4Alac,
     {{Mp4(Trak("soun", 192000, 960000, SoundEntry("alac", 2, 16, 192000, AlacCookie(24, 2, 192000)))),
       kFormatMp4Alac, 192000, 2, 24, true, 960000},
      {Mp4(Trak("soun", 1000, 5000, SoundEntry("alac", 1, 16, 48000, Bytes()))), kFormatMp4Alac, 48000, 1, 16, true,
       240000}},
     {AacFile(false), AacFile(true)}},
    {"AdtsFramesCounted",
     OpenAdts,
     {{AdtsFile(), kFormatAdts, 44100, 2, 0, true, 40u * 1024, kTagId3v2}},
     {Mp3Like(), Cat({AdtsFrame(4, 2, 300), Bytes(500, 0x33)})},
     Boxes({AdtsFrame(3, 1, 20), AdtsFrame(3, 1, 9), AdtsFrame(3, 1, 7)})},
    {"MonkeysAudioFramesAndFinalFrame",
     OpenMonkeysAudio,
     {{Cat({MonkeysAudio(3990, 73728 * 4, 1000, 3, 24, 2, 96000), ApeTag({{"Title", "Mac"}})}), kFormatMonkeysAudio,
       96000, 2, 24, true, 2u * 73728 * 4 + 1000, kTagApe, {"Title=Mac"}},
      {OldMonkeysAudio(), kFormatMonkeysAudio, 44100, 1, 16, true, 73728u + 5}}},
    // A header of many megabytes (cover art in one of its objects) opens too.
    {"AsfShapeLengthAndDescriptions",
     OpenAsf,
     {{CafeAsf(0), kFormatWma, 44100, 2, 0, true, 44100u * 5 / 2, kTagWma, kCafeWords},
      {CafeAsf(6 * 1024 * 1024), kFormatWma, 44100, 2, 0, true, 44100u * 5 / 2, kTagWma, kCafeWords}},
     {NotAsf()},
     Asf(8000, 1, 10000000, 0, "T", {{"WM/Year", "1"}})},
};
INSTANTIATE_TEST_SUITE_P(Addon, StandinFormat, ::testing::ValuesIn(kAddonCases), FormatCaseName);

}  // namespace
