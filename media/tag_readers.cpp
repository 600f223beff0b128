// The tag readers' edge: fetch the library's tag data, hand it to the parsers.
#include "media/tag_readers.h"

#include "parsers/id3v2.h"
#include "media/library_binding.h"
#include "parsers/tag_lists.h"

static void ReadTagList(DWORD stream, DWORD type, TagListKind kind, TrackInfoRecord *record) {
  const char *list = MediaChannelGetTags(stream, type);
  if (list == NULL) return;
  ParseTagList(record, list, TagListSize(list), kind);
}

void ReadVorbisComments(DWORD stream, TrackInfoRecord *record) {
  ReadTagList(stream, BASS_TAG_OGG, kVorbisCommentList, record);
}

void ReadApeTag(DWORD stream, TrackInfoRecord *record) { ReadTagList(stream, BASS_TAG_APE, kApeTagList, record); }

void ReadId3v2Tag(DWORD stream, TrackInfoRecord *record) {
  const uint8_t *block = reinterpret_cast<const uint8_t *>(MediaChannelGetTags(stream, BASS_TAG_ID3V2));
  if (block == NULL) return;
  // The library hands out the whole tag: its header and the size it declares.
  ParseId3v2Tag(record, block, Id3v2TagBytes(block));
}
