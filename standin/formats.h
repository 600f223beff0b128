// The format openers. The library itself opens WAV, AIFF, MP3 and Ogg
// Vorbis; each add-on DLL carries the openers of its own formats.
#pragma once
#include "standin/byte_source.h"
#include "standin/stream_facts.h"

bool OpenWav(const ByteSource *src, StreamFacts *out);
bool OpenAiff(const ByteSource *src, StreamFacts *out);
bool OpenMp3(const ByteSource *src, StreamFacts *out);
bool OpenOggVorbis(const ByteSource *src, StreamFacts *out);
bool OpenFlac(const ByteSource *src, StreamFacts *out);
bool OpenWavPack(const ByteSource *src, StreamFacts *out);
bool OpenDsf(const ByteSource *src, StreamFacts *out);
bool OpenDff(const ByteSource *src, StreamFacts *out);
bool OpenMp4Aac(const ByteSource *src, StreamFacts *out);
bool OpenMp4Alac(const ByteSource *src, StreamFacts *out);
bool OpenAdts(const ByteSource *src, StreamFacts *out);
bool OpenMonkeysAudio(const ByteSource *src, StreamFacts *out);
bool OpenAsf(const ByteSource *src, StreamFacts *out);

// The rounded integer value of an 80-bit IEEE extended number (AIFF sample
// rates); 0 when it is negative, below one or above kMaxSampleRate.
uint32_t ExtendedToRate(const uint8_t p[10]);
