// The module record the host reads, and its playback stubs: the plug-in never plays.
#include "media/library_binding.h"
#include "plugin/config_dialog.h"
#include "plugin/details_box.h"
#include "plugin/file_info_slot.h"
#include "plugin/in_module.h"
#include "plugin/settings.h"
#include "tandrel_version.h"

static void __cdecl Init(void) {}
static void __cdecl Quit(void) { UnbindMediaLibrary(); }  // the library stays loaded until then
static int __cdecl IsOurFile(const wchar_t *) { return 0; }
static int __cdecl Play(const wchar_t *) { return 0; }
static void __cdecl Pause(void) {}
static void __cdecl UnPause(void) {}
static int __cdecl IsPaused(void) { return 0; }
static void __cdecl Stop(void) {}
static int __cdecl GetLength(void) { return 0; }
static int __cdecl GetOutputTime(void) { return 0; }
static void __cdecl SetOutputTime(int) {}
static int __cdecl VSAAdd(void *, int) { return 0; }
static void __cdecl EQSet(int, char[10], int) {}

// A call made before the host filled outMod is ignored.
static void __cdecl SetVolume(int volume) {
  if (g_InModule.outMod != NULL && g_InModule.outMod->SetVolume != NULL) g_InModule.outMod->SetVolume(volume);
}
static void __cdecl SetPan(int pan) {
  if (g_InModule.outMod != NULL && g_InModule.outMod->SetPan != NULL) g_InModule.outMod->SetPan(pan);
}

In_Module g_InModule = {
    IN_MODULE_VERSION,
    "Tandrel Mini UPnP input " TANDREL_VERSION,
    NULL,                           // hMainWindow, filled by the host
    NULL,                           // hDllInstance, filled by the host
    PluginSettings.FileExtensions,  // filled at process attach
    1,                              // is_seekable
    1,                              // UsesOutputPlug
    Config,
    About,
    Init,
    Quit,
    GetFileInfo,
    InfoBox,
    IsOurFile,
    Play,
    Pause,
    UnPause,
    IsPaused,
    Stop,
    GetLength,
    GetOutputTime,
    SetOutputTime,
    SetVolume,
    SetPan,
    NULL, NULL, NULL, NULL, NULL, NULL, NULL,  // SAVSAInit .. VSAGetMode, the host's
    VSAAdd,
    NULL,  // VSASetInfo
    NULL,  // dsp_isactive
    NULL,  // dsp_dosamples
    EQSet,
    NULL,  // SetInfo
    NULL,  // outMod
};
