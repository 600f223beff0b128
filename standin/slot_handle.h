// Handles of the library's fixed tables (streams, add-ons): a serial above
// the slot number, so a stale handle of a freed entry never names the one put
// into its slot later. Each table counts its own serials.
#pragma once
#include <windows.h>

static inline DWORD MakeSlotHandle(DWORD *next_serial, int slot) {
  DWORD handle = (*next_serial << 8) | (DWORD)(slot + 1);
  *next_serial = (*next_serial + 1) & 0xFFFFFF;
  if (*next_serial == 0) *next_serial = 1;
  return handle;
}

// The slot a handle names, not yet checked against the table (-1: none).
static inline int SlotOfHandle(DWORD handle) { return (int)(handle & 0xFF) - 1; }
