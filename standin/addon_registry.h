// The add-ons loaded by BASS_PluginLoad: a fixed table of module handles and
// the format tables they export.
#pragma once
#include <windows.h>

#include "standin/addon_interface.h"

enum { kMaxAddOns = 16 };

// Loads the add-on DLL; its handle, or 0 when the file is missing, is not an
// add-on of this library, is already loaded, or the table is full.
DWORD AddOnLoad(const void *file, bool wide);
// The slot of a loaded add-on's handle, or -1.
int AddOnSlotOf(DWORD handle);
// The format table of a slot, null for an empty slot.
const AddOnTable *AddOnTableAt(int slot);
DWORD AddOnHandleAt(int slot);
// Unloads the add-on in the slot (its streams must already be freed).
void AddOnUnload(int slot);
