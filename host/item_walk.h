// The items talhost queries: what the command line names, with folders
// replaced by the files in them whose extension the plug-in offers.
#pragma once
#include <wchar.h>

#include <string>
#include <vector>

#include "plugin/in_module.h"

// Appends the items to OUT in order; returns how many folders could not be read
// (each reported on stderr).
int ExpandItems(const In_Module *module, int count, wchar_t **items, std::vector<std::wstring> *out);
