// The output module talhost hands the plug-in: only the volume and pan slots,
// which the plug-in forwards to and which print what they were given.
#pragma once
#include "plugin/in_module.h"

Out_Module *HostOutputModule(void);
