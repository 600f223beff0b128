// talhost: the reference host. It loads lumesrc.dll the way the player does and
// prints what the plug-in reports for files, folders and URLs.
//
//   talhost [--plugin PATH] [--json] [--passes N] [--stats] ITEM...
//   talhost --module | --info ITEM | --config | --about | --volume N | --pan N
//
// Its file name's third letter is "l", like the player's, so the plug-in reads
// tags; copied under another name (player.exe) it does not.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plugin/in_module.h"

typedef In_Module *(__cdecl *GetInModuleFn)(void);

static const int kLengthSentinel = -1234567;  // a value no query writes
static const wchar_t kTitleSentinel[] = L"\x1<untouched>";
enum { kTitleUnits = 32768 };

static In_Module *g_module;
static HMODULE g_plugin;
static bool g_json;
static int g_failures;

// ---- output -------------------------------------------------------------

static void PrintUtf8(const wchar_t *text) {
  char buffer[4 * kTitleUnits];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer), NULL, NULL);
  if (n > 0) fputs(buffer, stdout);
}

static void PrintJsonString(const wchar_t *text) {
  std::wstring escaped = L"\"";
  for (const wchar_t *p = text; *p; ++p) {
    wchar_t c = *p;
    if (c == L'"' || c == L'\\') {
      escaped += L'\\';
      escaped += c;
    } else if (c < 0x20) {
      wchar_t hex[8];
      swprintf(hex, 8, L"\\u%04x", (unsigned)c);
      escaped += hex;
    } else {
      escaped += c;
    }
  }
  escaped += L'"';
  PrintUtf8(escaped.c_str());
}

static void Error(const wchar_t *what, const wchar_t *detail) {
  fflush(stdout);
  char a[2048], b[2048];
  WideCharToMultiByte(CP_UTF8, 0, what, -1, a, sizeof(a), NULL, NULL);
  WideCharToMultiByte(CP_UTF8, 0, detail ? detail : L"", -1, b, sizeof(b), NULL, NULL);
  fprintf(stderr, "talhost: %s%s%s\n", a, detail ? ": " : "", b);
}

// ---- the host's side of the interface -------------------------------------

static void __cdecl HostSetVolume(int volume) { printf("outMod.SetVolume(%d)\n", volume); }
static void __cdecl HostSetPan(int pan) { printf("outMod.SetPan(%d)\n", pan); }

static Out_Module g_out_module;

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

static bool LoadPlugin(const wchar_t *path) {
  wchar_t own[MAX_PATH];
  if (path == NULL) {
    DWORD n = GetModuleFileNameW(NULL, own, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
      Error(L"cannot read own path", NULL);
      return false;
    }
    wchar_t *slash = wcsrchr(own, L'\\');
    wchar_t *name = slash ? slash + 1 : own;
    if ((size_t)(own + MAX_PATH - name) <= wcslen(L"lumesrc.dll")) return false;
    wcscpy(name, L"lumesrc.dll");
    path = own;
  }
  g_plugin = LoadLibraryW(path);
  if (g_plugin == NULL) {
    Error(L"cannot load plug-in", path);
    return false;
  }
  GetInModuleFn get = (GetInModuleFn)(void *)GetProcAddress(g_plugin, "winampGetInModule2");
  if (get == NULL) {
    Error(L"plug-in has no winampGetInModule2 export", path);
    return false;
  }
  g_module = get();
  if (g_module == NULL) {
    Error(L"winampGetInModule2 returned null", path);
    return false;
  }
  g_out_module.SetVolume = HostSetVolume;
  g_out_module.SetPan = HostSetPan;
  g_module->hMainWindow = CreateMainWindow();
  g_module->hDllInstance = g_plugin;
  g_module->outMod = &g_out_module;
  if (g_module->Init) g_module->Init();
  return true;
}

static void UnloadPlugin(void) {
  if (g_module && g_module->Quit) g_module->Quit();
  if (g_plugin) FreeLibrary(g_plugin);
  g_module = NULL;
  g_plugin = NULL;
}

// ---- the extension list -----------------------------------------------------

static bool ExtensionOffered(const wchar_t *path) {
  const wchar_t *name = wcsrchr(path, L'\\');
  name = name ? name + 1 : path;
  const wchar_t *dot = wcsrchr(name, L'.');
  if (dot == NULL || dot[1] == 0) return false;
  char ext[64];
  if (WideCharToMultiByte(CP_ACP, 0, dot + 1, -1, ext, sizeof(ext), NULL, NULL) <= 0) return false;
  // Pairs of extension and description, ended by an empty string.
  const char *p = g_module->FileExtensions;
  for (int guard = 0; p && *p && guard < 64; ++guard) {
    // An entry may list several extensions separated by ";".
    char list[128];
    lstrcpynA(list, p, sizeof(list));
    for (char *tok = strtok(list, ";"); tok; tok = strtok(NULL, ";")) {
      if (lstrcmpiA(tok, ext) == 0) return true;
    }
    p += strlen(p) + 1;  // description
    if (!*p) break;
    p += strlen(p) + 1;
  }
  return false;
}

// ---- queries ----------------------------------------------------------------

static bool IsUrl(const wchar_t *item) {
  return _wcsnicmp(item, L"http://", 7) == 0 || _wcsnicmp(item, L"https://", 8) == 0;
}

static void QueryItem(const wchar_t *item) {
  static wchar_t title[kTitleUnits];
  wcscpy(title, kTitleSentinel);
  int length = kLengthSentinel;
  g_module->GetFileInfo(item, title, &length);

  bool length_set = length != kLengthSentinel;
  bool title_set = wcscmp(title, kTitleSentinel) != 0;
  title[kTitleUnits - 1] = 0;
  const wchar_t *artist = L"", *album = L"", *year = L"";
  bool block = g_module->is_seekable != 1;
  if (block) {
    // Three strings back to back: artist, album, year.
    artist = (const wchar_t *)g_module->is_seekable;
    album = artist + wcslen(artist) + 1;
    year = album + wcslen(album) + 1;
  }
  if (g_json) {
    fputs("{\"item\": ", stdout);
    PrintJsonString(item);
    if (length_set)
      printf(", \"length_ms\": %d", length);
    else
      fputs(", \"length_ms\": null", stdout);
    fputs(", \"title\": ", stdout);
    if (title_set)
      PrintJsonString(title);
    else
      fputs("null", stdout);
    fputs(", \"artist\": ", stdout);
    PrintJsonString(artist);
    fputs(", \"album\": ", stdout);
    PrintJsonString(album);
    fputs(", \"year\": ", stdout);
    PrintJsonString(year);
    printf(", \"block\": %s}\n", block ? "true" : "false");
  } else {
    PrintUtf8(item);
    if (length_set)
      printf("\n  length: %d ms\n", length);
    else
      fputs("\n  length: (untouched)\n", stdout);
    fputs("  title:  ", stdout);
    if (title_set)
      PrintUtf8(title);
    else
      fputs("(untouched)", stdout);
    fputs("\n", stdout);
    if (block) {
      fputs("  artist: ", stdout);
      PrintUtf8(artist);
      fputs("\n  album:  ", stdout);
      PrintUtf8(album);
      fputs("\n  year:   ", stdout);
      PrintUtf8(year);
      fputs("\n", stdout);
    }
  }
}

// Files of a folder and its subfolders whose extension the plug-in offers, in name order.
static bool CollectFolder(const std::wstring &folder, std::vector<std::wstring> *files) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    Error(L"cannot read folder", folder.c_str());
    ++g_failures;
    return false;
  }
  std::vector<std::wstring> names, subfolders;
  do {
    if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0) continue;
    std::wstring full = folder + L"\\" + data.cFileName;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      subfolders.push_back(full);
    else if (ExtensionOffered(full.c_str()))
      names.push_back(full);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  std::sort(subfolders.begin(), subfolders.end());
  files->insert(files->end(), names.begin(), names.end());
  for (size_t i = 0; i < subfolders.size(); ++i) CollectFolder(subfolders[i], files);
  return true;
}

static void ExpandItems(int count, wchar_t **items, std::vector<std::wstring> *out) {
  for (int i = 0; i < count; ++i) {
    std::wstring item = items[i];
    DWORD attributes = IsUrl(item.c_str()) ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(item.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      while (item.size() > 3 && item.back() == L'\\') item.pop_back();
      CollectFolder(item, out);
    } else {
      out->push_back(item);  // files, URLs and missing items go to the plug-in as they are
    }
  }
}

static void PrintPassStats(int pass, size_t items) {
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  PROCESS_MEMORY_COUNTERS_EX memory;
  memset(&memory, 0, sizeof(memory));
  GetProcessMemoryInfo(GetCurrentProcess(), (PROCESS_MEMORY_COUNTERS *)&memory, sizeof(memory));
  printf("{\"pass\": %d, \"items\": %u, \"handles\": %lu, \"private_bytes\": %llu, \"working_set\": %llu}\n", pass,
         (unsigned)items, (unsigned long)handles, (unsigned long long)memory.PrivateUsage,
         (unsigned long long)memory.WorkingSetSize);
}

static void RunQueries(const std::vector<std::wstring> &items, int passes, bool stats) {
  bool progress = _isatty(_fileno(stderr)) && items.size() > 50;
  for (int pass = 1; pass <= passes; ++pass) {
    for (size_t i = 0; i < items.size(); ++i) {
      if (progress && i % 25 == 0) fprintf(stderr, "\r[%u/%u]", (unsigned)i, (unsigned)items.size());
      QueryItem(items[i].c_str());
    }
    if (progress) fprintf(stderr, "\r[%u/%u]\n", (unsigned)items.size(), (unsigned)items.size());
    if (stats) PrintPassStats(pass, items.size());
    fflush(stdout);
  }
}

static void PrintModule(void) {
  const In_Module *m = g_module;
  std::wstring list;
  std::vector<std::string> pairs;
  const char *p = m->FileExtensions;
  for (int guard = 0; p && *p && guard < 64; ++guard) {
    std::string ext = p;
    p += strlen(p) + 1;
    std::string desc = p;
    pairs.push_back(ext + "|" + desc);
    if (!*p) break;
    p += strlen(p) + 1;
  }
  if (g_json) {
    printf("{\"description\": \"%s\", \"version\": %d, \"uses_output_plug\": %d, \"is_seekable\": %lld, "
           "\"extensions\": [",
           m->description, m->version, m->UsesOutputPlug, (long long)m->is_seekable);
    for (size_t i = 0; i < pairs.size(); ++i) {
      std::string ext = pairs[i].substr(0, pairs[i].find('|'));
      printf("%s\"%s\"", i ? ", " : "", ext.c_str());
    }
    printf("]}\n");
  } else {
    printf("description: %s\nversion: 0x%08X\nuses output plug-in: %d\nis_seekable: %lld\nextensions:", m->description,
           (unsigned)m->version, m->UsesOutputPlug, (long long)m->is_seekable);
    for (size_t i = 0; i < pairs.size(); ++i) {
      std::string ext = pairs[i].substr(0, pairs[i].find('|'));
      printf(" %s", ext.c_str());
    }
    printf("\n");
  }
}

static void Usage(void) {
  fputs("usage: talhost [--plugin PATH] [--json] [--passes N] [--stats] ITEM...\n"
        "       talhost [--plugin PATH] --module | --info ITEM | --config | --about | --volume N | --pan N\n",
        stderr);
}

static bool ParseInt(const wchar_t *text, int *value) {
  if (text == NULL || *text == 0) return false;
  wchar_t *end = NULL;
  long v = wcstol(text, &end, 10);
  if (*end != 0) return false;
  *value = (int)v;
  return true;
}

int wmain(int argc, wchar_t **argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  const wchar_t *plugin_path = NULL, *info_item = NULL;
  bool module = false, about = false, stats = false;
  int config = 0;  // --config may repeat: each one opens the dialog again in the same process
  bool set_volume = false, set_pan = false;
  int volume = 0, pan = 0, passes = 1;
  std::vector<wchar_t *> items;
  for (int i = 1; i < argc; ++i) {
    const wchar_t *a = argv[i];
    bool has_next = i + 1 < argc;
    if (wcscmp(a, L"--json") == 0) {
      g_json = true;
    } else if (wcscmp(a, L"--plugin") == 0 && has_next) {
      plugin_path = argv[++i];
    } else if (wcscmp(a, L"--module") == 0) {
      module = true;
    } else if (wcscmp(a, L"--info") == 0 && has_next) {
      info_item = argv[++i];
    } else if (wcscmp(a, L"--config") == 0) {
      ++config;
    } else if (wcscmp(a, L"--about") == 0) {
      about = true;
    } else if (wcscmp(a, L"--stats") == 0) {
      stats = true;
    } else if (wcscmp(a, L"--volume") == 0 && has_next && ParseInt(argv[i + 1], &volume)) {
      set_volume = true;
      ++i;
    } else if (wcscmp(a, L"--pan") == 0 && has_next && ParseInt(argv[i + 1], &pan)) {
      set_pan = true;
      ++i;
    } else if (wcscmp(a, L"--passes") == 0 && has_next && ParseInt(argv[i + 1], &passes) && passes > 0) {
      ++i;
    } else if (wcscmp(a, L"--help") == 0) {
      Usage();
      return 0;
    } else if (a[0] == L'-' && a[1] == L'-') {
      Error(L"bad option", a);
      Usage();
      return 2;
    } else {
      items.push_back(argv[i]);
    }
  }
  if (!module && !info_item && !config && !about && !set_volume && !set_pan && items.empty()) {
    Usage();
    return 2;
  }
  if (!LoadPlugin(plugin_path)) return 3;

  if (module) PrintModule();
  if (set_volume) g_module->SetVolume(volume);
  if (set_pan) g_module->SetPan(pan);
  if (info_item) printf("InfoBox returned %d\n", g_module->InfoBox(info_item, g_module->hMainWindow));
  for (int i = 0; i < config; ++i) {
    g_module->Config(g_module->hMainWindow);
    printf("Config returned\n");
    fflush(stdout);
  }
  if (about) {
    g_module->About(g_module->hMainWindow);
    printf("About returned\n");
  }
  if (!items.empty()) {
    std::vector<std::wstring> expanded;
    ExpandItems((int)items.size(), items.data(), &expanded);
    RunQueries(expanded, passes, stats);
  }
  fflush(stdout);
  UnloadPlugin();
  return g_failures ? 1 : 0;
}
