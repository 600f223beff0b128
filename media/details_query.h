// What the file details box shows of a file: channels, rate and resolution,
// from the RIFF/WAVE header (WAV-only mode) or the media library's stream.
#pragma once
#include "parsers/details_text.h"

// False when the file does not open or gives no facts: the box is not shown.
bool ReadDetailsFacts(const wchar_t *file, bool only_wav, DetailsFacts *facts);
