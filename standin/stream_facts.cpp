#include "standin/stream_facts.h"

#include <stdlib.h>
#include <string.h>

void ClearStreamFacts(StreamFacts *facts) { memset(facts, 0, sizeof(*facts)); }

void ReleaseStreamFacts(StreamFacts *facts) {
  for (int i = 0; i < kTagKinds; ++i) free(facts->tags[i].data);
  ClearStreamFacts(facts);
}

bool FailOpen(StreamFacts *facts) {
  ReleaseStreamFacts(facts);
  return false;
}

bool StreamShapeValid(const StreamFacts *facts) {
  return facts->freq != 0 && facts->freq <= kMaxSampleRate && facts->chans != 0 && facts->chans <= kMaxChannels;
}
