// The tag readers of the file information query: each asks the media library
// for its kind of tag on an open stream. A reader that finds its tag clears the
// record and fills it; one that finds none leaves the record as it was.
#pragma once
#include <windows.h>

#include "parsers/track_info.h"

void ReadVorbisComments(DWORD stream, TrackInfoRecord *record);  // tag type 2
void ReadApeTag(DWORD stream, TrackInfoRecord *record);          // tag type 6
void ReadId3v2Tag(DWORD stream, TrackInfoRecord *record);        // tag type 1
