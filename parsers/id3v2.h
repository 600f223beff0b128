// ID3v2.2 / ID3v2.3 / ID3v2.4 tags: title, artist, album and year from the
// text frames TIT2, TPE1, TALB and TDRC (version 4) or TYER (version 3), and
// TT2, TP1 and TAL (version 2.2, which gives no year).
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "parsers/track_info.h"

enum {
  kId3HeaderBytes = 10,
  kId3ValueBytes = 512,  // one value as UTF-8 with its terminator
  kId3MaxFrames = 1 << 20,  // frames one walk reads: real tags hold dozens, a crafted one may declare millions
};

// The whole tag's bytes, header included, as the 10-byte header at `block`
// declares them.
size_t Id3v2TagBytes(const uint8_t *block);

// Undoes unsynchronisation in place: every 0x00 that directly follows a 0xFF
// is dropped. Returns the bytes kept; with `zero_fill` the freed bytes at the
// end are zeroed.
size_t RemoveUnsynchronisation(uint8_t *data, size_t size, bool zero_fill);

// Counted UTF-16 text given as bytes (two per unit, any alignment) -> a
// NUL-terminated UTF-8 string in `out`. With `check_bom` a leading FE FF or FF
// FE sets the byte order and is dropped. The text ends at its first zero unit.
// Needing more than `out_size` bytes gives an empty string; needing exactly
// `out_size` drops the last character. `out_size` is at most kId3ValueBytes.
void Utf16ToUtf8(char *out, size_t out_size, const uint8_t *text, size_t units, bool check_bom, bool big_endian);

// One text frame's data (encoding byte, then text) -> the frame's first string
// as NUL-terminated UTF-8 in `out` (`out_size` is at most kId3ValueBytes).
// Encoding 0 is read in the process's ANSI code page. An unsynchronised frame
// is undone in a private copy; `data` is never written.
void DecodeTextFrame(char *out, size_t out_size, const uint8_t *data, size_t size, bool unsync);

// Clears the record and fills it from the tag in the `block_size` bytes at
// `block` (10-byte tag header first). Reads stay inside both `block_size` and
// the tag's own declared size; the block is never written: a version 2.2 or 3
// tag that is unsynchronised as a whole is undone in a copy taken from the
// heap for the call. A tag without a title leaves the record all zero.
void ParseId3v2Tag(TrackInfoRecord *record, const uint8_t *block, size_t block_size);

// ParseId3v2Tag with the private copy an unsynchronised tag is undone in held
// to `copy_limit` bytes (ParseId3v2Tag allows the whole tag), as when the
// allocation for it fails: frames beyond the copy are not read.
void ParseId3v2TagCopyLimit(TrackInfoRecord *record, const uint8_t *block, size_t block_size, size_t copy_limit);
