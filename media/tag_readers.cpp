// The tag readers' edge: fetch the library's tag data, hand it to the parsers.
#include "media/tag_readers.h"

#include "media/library_binding.h"
#include "parsers/id3v1.h"
#include "parsers/id3v2.h"

static void ParseList(TrackInfoRecord *record, const char *list, TagListKind kind) {
  ParseTagList(record, list, TagListSize(list), kind);
}

static void ParseId3v2(TrackInfoRecord *record, const char *block, TagListKind) {
  const uint8_t *tag = reinterpret_cast<const uint8_t *>(block);
  // The library hands out the whole tag: its header and the size it declares.
  ParseId3v2Tag(record, tag, Id3v2TagBytes(tag));
}

static void ParseId3v1(TrackInfoRecord *record, const char *block, TagListKind) {
  // The library hands out the file's last 128 bytes.
  ParseId3v1Tag(record, reinterpret_cast<const uint8_t *>(block), kId3v1TagBytes);
}

// The order of this table is the order the query asks: each row runs only
// while the rows before it found no title.
const TagReader kTagReaders[] = {
    {BASS_TAG_OGG, ParseList, kVorbisCommentList},
    {BASS_TAG_APE, ParseList, kApeTagList},
    {BASS_TAG_ID3V2, ParseId3v2, kTagListKinds},
    {BASS_TAG_MP4, ParseList, kMp4TagList},
    {BASS_TAG_WMA, ParseList, kWmaTagList},
    {BASS_TAG_RIFF_INFO, ParseList, kRiffInfoList},
    {BASS_TAG_ID3, ParseId3v1, kTagListKinds},
};
const size_t kTagReaderCount = sizeof kTagReaders / sizeof kTagReaders[0];

void ReadTag(DWORD stream, const TagReader &reader, TrackInfoRecord *record) {
  const char *block = MediaChannelGetTags(stream, reader.tag_type);
  if (block != NULL) reader.parse(record, block, reader.kind);
}
