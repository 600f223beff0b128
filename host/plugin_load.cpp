// The plug-in as the player loads it: LoadLibrary, the one export, the host's
// fields of the module record, then Init. Quit and FreeLibrary at the end.
#include "host/plugin_load.h"

#include <windows.h>
#include <string.h>
#include <wchar.h>

#include "host/output_module.h"
#include "host/report.h"

typedef In_Module *(__cdecl *GetInModuleFn)(void);

static In_Module *g_module;
static HMODULE g_plugin;

// The plug-in's dialogs and boxes take it as their parent.
static HWND CreateMainWindow(void) {
  WNDCLASSW wc;
  memset(&wc, 0, sizeof(wc));
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(NULL);
  wc.lpszClassName = L"TalhostMain";
  RegisterClassW(&wc);
  return CreateWindowExW(0, L"TalhostMain", L"talhost", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 320, 200,
                         NULL, NULL, wc.hInstance, NULL);
}

// lumesrc.dll in talhost.exe's own folder, as the player finds its plug-ins.
static bool PluginBesideHost(wchar_t own[MAX_PATH]) {
  DWORD n = GetModuleFileNameW(NULL, own, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    Error(L"cannot read own path", NULL);
    return false;
  }
  wchar_t *slash = wcsrchr(own, L'\\');
  wchar_t *name = slash ? slash + 1 : own;
  if ((size_t)(own + MAX_PATH - name) <= wcslen(L"lumesrc.dll")) return false;
  wcscpy(name, L"lumesrc.dll");
  return true;
}

In_Module *LoadPlugin(const wchar_t *path) {
  wchar_t own[MAX_PATH];
  if (path == NULL) {
    if (!PluginBesideHost(own)) return NULL;
    path = own;
  }
  g_plugin = LoadLibraryW(path);
  if (g_plugin == NULL) {
    Error(L"cannot load plug-in", path);
    return NULL;
  }
  GetInModuleFn get = (GetInModuleFn)(void *)GetProcAddress(g_plugin, "winampGetInModule2");
  if (get == NULL) {
    Error(L"plug-in has no winampGetInModule2 export", path);
    return NULL;
  }
  g_module = get();
  if (g_module == NULL) {
    Error(L"winampGetInModule2 returned null", path);
    return NULL;
  }
  g_module->hMainWindow = CreateMainWindow();
  g_module->hDllInstance = g_plugin;
  g_module->outMod = HostOutputModule();
  if (g_module->Init) g_module->Init();
  return g_module;
}

void UnloadPlugin(void) {
  if (g_module && g_module->Quit) g_module->Quit();
  if (g_plugin) FreeLibrary(g_plugin);
  g_module = NULL;
  g_plugin = NULL;
}
