// Loading lumesrc.dll as the player does and filling in the module record's
// host fields (main window, instance, output module) before Init.
#pragma once
#include "plugin/in_module.h"

// PATH, or lumesrc.dll beside talhost.exe when PATH is NULL. The module record
// after Init, or NULL (with the reason on stderr) when it cannot be had.
In_Module *LoadPlugin(const wchar_t *path);
// Quit, then FreeLibrary.
void UnloadPlugin(void);
