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
#include <stdio.h>

#include <string>
#include <vector>

#include "host/item_walk.h"
#include "host/options.h"
#include "host/plugin_load.h"
#include "host/query.h"
#include "host/report.h"

// The one-shot commands, in this order whatever the order on the command line.
static void RunCommands(In_Module *module, const HostOptions &o) {
  if (o.module) PrintModule(module, o.json);
  if (o.set_volume) module->SetVolume(o.volume);
  if (o.set_pan) module->SetPan(o.pan);
  if (o.info_item) printf("InfoBox returned %d\n", module->InfoBox(o.info_item, module->hMainWindow));
  for (int i = 0; i < o.config; ++i) {
    module->Config(module->hMainWindow);
    printf("Config returned\n");
    fflush(stdout);
  }
  if (o.about) {
    module->About(module->hMainWindow);
    printf("About returned\n");
  }
}

int wmain(int argc, wchar_t **argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  HostOptions options;
  int exit_code = ParseOptions(argc, argv, &options);
  if (exit_code != kOptionsOk) return exit_code;
  In_Module *module = LoadPlugin(options.plugin_path);
  if (module == NULL) return 3;

  RunCommands(module, options);
  int failures = 0;
  if (!options.items.empty()) {
    std::vector<std::wstring> expanded;
    failures = ExpandItems(module, (int)options.items.size(), options.items.data(), &expanded);
    RunQueries(module, expanded, options.passes, options.stats, options.json);
  }
  fflush(stdout);
  UnloadPlugin();
  return failures ? 1 : 0;
}
