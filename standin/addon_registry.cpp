#include "standin/addon_registry.h"

#include "standin/slot_handle.h"

struct AddOnSlot {
  HMODULE module;
  const AddOnTable *table;
  DWORD handle;
};

static AddOnSlot g_addons[kMaxAddOns];
static DWORD g_next_serial = 1;

DWORD AddOnLoad(const void *file, bool wide) {
  if (file == NULL) return 0;
  HMODULE module = wide ? LoadLibraryW((const wchar_t *)file) : LoadLibraryA((const char *)file);
  if (module == NULL) return 0;
  AddOnFormatsFn formats =
      reinterpret_cast<AddOnFormatsFn>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, STANDIN_ADDON_EXPORT)));
  const AddOnTable *table = formats != NULL ? formats() : NULL;
  int free_slot = -1;
  for (int i = 0; i < kMaxAddOns; ++i) {
    if (g_addons[i].module == module) free_slot = -2;  // loaded already
    if (g_addons[i].module == NULL && free_slot == -1) free_slot = i;
  }
  if (table == NULL || table->version != kAddOnInterfaceVersion || table->formats == NULL || free_slot < 0) {
    FreeLibrary(module);
    return 0;
  }
  DWORD handle = MakeSlotHandle(&g_next_serial, free_slot);
  g_addons[free_slot].module = module;
  g_addons[free_slot].table = table;
  g_addons[free_slot].handle = handle;
  return handle;
}

int AddOnSlotOf(DWORD handle) {
  int slot = SlotOfHandle(handle);
  if (slot < 0 || slot >= kMaxAddOns || g_addons[slot].module == NULL || g_addons[slot].handle != handle) return -1;
  return slot;
}

const AddOnTable *AddOnTableAt(int slot) {
  if (slot < 0 || slot >= kMaxAddOns) return NULL;
  return g_addons[slot].table;
}

DWORD AddOnHandleAt(int slot) {
  if (slot < 0 || slot >= kMaxAddOns) return 0;
  return g_addons[slot].handle;
}

void AddOnUnload(int slot) {
  if (slot < 0 || slot >= kMaxAddOns || g_addons[slot].module == NULL) return;
  FreeLibrary(g_addons[slot].module);
  g_addons[slot].module = NULL;
  g_addons[slot].table = NULL;
  g_addons[slot].handle = 0;
}
