// Folder walking as the player adds a folder to its library: recursive, files
// in name order before subfolders, only the extensions the plug-in lists.
#include "host/item_walk.h"

#include <windows.h>
#include <string.h>

#include <algorithm>

#include "host/report.h"

static bool IsUrl(const wchar_t *item) {
  return _wcsnicmp(item, L"http://", 7) == 0 || _wcsnicmp(item, L"https://", 8) == 0;
}

static bool ExtensionOffered(const In_Module *module, const wchar_t *path) {
  const wchar_t *name = wcsrchr(path, L'\\');
  name = name ? name + 1 : path;
  const wchar_t *dot = wcsrchr(name, L'.');
  if (dot == NULL || dot[1] == 0) return false;
  char ext[64];
  if (WideCharToMultiByte(CP_ACP, 0, dot + 1, -1, ext, sizeof(ext), NULL, NULL) <= 0) return false;
  // Pairs of extension and description, ended by an empty string.
  const char *p = module->FileExtensions;
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

// Files of a folder and its subfolders whose extension the plug-in offers, in name order.
static void CollectFolder(const In_Module *module, const std::wstring &folder, std::vector<std::wstring> *files,
                          int *unreadable) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    Error(L"cannot read folder", folder.c_str());
    ++*unreadable;
    return;
  }
  std::vector<std::wstring> names, subfolders;
  do {
    if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0) continue;
    std::wstring full = folder + L"\\" + data.cFileName;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      subfolders.push_back(full);
    else if (ExtensionOffered(module, full.c_str()))
      names.push_back(full);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  std::sort(subfolders.begin(), subfolders.end());
  files->insert(files->end(), names.begin(), names.end());
  for (size_t i = 0; i < subfolders.size(); ++i) CollectFolder(module, subfolders[i], files, unreadable);
}

int ExpandItems(const In_Module *module, int count, wchar_t **items, std::vector<std::wstring> *out) {
  int unreadable = 0;
  for (int i = 0; i < count; ++i) {
    std::wstring item = items[i];
    DWORD attributes = IsUrl(item.c_str()) ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(item.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      while (item.size() > 3 && item.back() == L'\\') item.pop_back();
      CollectFolder(module, item, out, &unreadable);
    } else {
      out->push_back(item);  // files, URLs and missing items go to the plug-in as they are
    }
  }
  return unreadable;
}
