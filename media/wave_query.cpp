#include "media/wave_query.h"

#include "media/wave_file.h"
#include "media/wave_http.h"
#include "parsers/item_kind.h"

void ReadWaveHeader(const wchar_t *item, bool want_length, QueryResult *result) {
  ClearQueryResult(result);
  if (item == NULL) return;
  uint32_t length = 0;
  if (IsUrlItem(item)) {
    if (want_length && ReadWaveHeaderHttp(item, &length)) {
      result->has_length = true;
      result->length_ms = (int32_t)length;
    }
    return;
  }
  const WaveFileOutcome outcome = ReadWaveFileLength(item, &length);
  if (outcome == kWaveHeaderBroken) return;  // a malformed header leaves length and title alone
  if (outcome == kWaveHeaderRead) {
    result->has_length = true;
    result->length_ms = (int32_t)length;
  }
  result->title = kTitleFromWaveName;  // a file that does not open still gets its title
}
