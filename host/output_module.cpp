// talhost plays nothing, so its output module fills only the two slots the
// plug-in forwards SetVolume and SetPan to; the tests read their lines.
#include "host/output_module.h"

#include <stdio.h>

static void __cdecl HostSetVolume(int volume) { printf("outMod.SetVolume(%d)\n", volume); }
static void __cdecl HostSetPan(int pan) { printf("outMod.SetPan(%d)\n", pan); }

static Out_Module g_out_module;

Out_Module *HostOutputModule(void) {
  g_out_module.SetVolume = HostSetVolume;
  g_out_module.SetPan = HostSetPan;
  return &g_out_module;
}
