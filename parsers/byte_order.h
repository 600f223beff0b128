// Little- and big-endian integers read from byte ranges of any alignment: the
// one place every parser (the plug-in's and the stand-in library's) takes them
// from. The caller has checked that the bytes are there.
#pragma once
#include <stdint.h>

static inline uint16_t Le16(const uint8_t *p) { return (uint16_t)(p[0] | (p[1] << 8)); }
static inline uint32_t Le32(const uint8_t *p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
static inline uint64_t Le64(const uint8_t *p) { return (uint64_t)Le32(p) | ((uint64_t)Le32(p + 4) << 32); }
static inline uint16_t Be16(const uint8_t *p) { return (uint16_t)((p[0] << 8) | p[1]); }
static inline uint32_t Be24(const uint8_t *p) { return ((uint32_t)p[0] << 16) | ((uint32_t)p[1] << 8) | p[2]; }
static inline uint32_t Be32(const uint8_t *p) {
  return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}
static inline uint64_t Be64(const uint8_t *p) { return ((uint64_t)Be32(p) << 32) | Be32(p + 4); }
// ID3v2's syncsafe integer: ((b0*128 + b1)*128 + b2)*128 + b3, all eight bits
// of each byte taken as they stand.
static inline uint32_t ReadSyncsafe(const uint8_t *p) {
  return ((((uint32_t)p[0] * 128 + p[1]) * 128 + p[2]) * 128) + p[3];
}
