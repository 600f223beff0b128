// The library's entry point and its one export.
#include <windows.h>

#include "plugin/in_module.h"
#include "plugin/settings.h"

extern "C" __declspec(dllexport) In_Module *__cdecl winampGetInModule2(void) { return &g_InModule; }

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) OnProcessAttach();
  return TRUE;  // the load never fails
}
