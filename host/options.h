// talhost's command line.
#pragma once
#include <wchar.h>

#include <vector>

struct HostOptions {
  const wchar_t *plugin_path;  // NULL: lumesrc.dll beside talhost.exe
  const wchar_t *info_item;
  bool json, module, about, stats;
  int config;  // --config may repeat: each one opens the dialog again in the same process
  bool set_volume, set_pan;
  int volume, pan, passes;
  std::vector<wchar_t *> items;
};

enum { kOptionsOk = -1 };

// Fills OPTIONS from the arguments. kOptionsOk to go on, or the exit code:
// 0 after --help, 2 for a bad option or nothing to do (usage on stderr).
int ParseOptions(int argc, wchar_t **argv, HostOptions *options);
