// The file information query as the player makes it, item by item and pass by pass.
#pragma once
#include <string>
#include <vector>

#include "plugin/in_module.h"

// One GetFileInfo call, its answer printed as JSON or text.
void QueryItem(const In_Module *module, const wchar_t *item, bool json);
// Every item, PASSES times; with STATS, the process figures after each pass.
void RunQueries(const In_Module *module, const std::vector<std::wstring> &items, int passes, bool stats, bool json);
