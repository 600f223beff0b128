// Handle and memory figures of the talhost process, for --stats.
#pragma once
#include <stddef.h>

// One JSON line: the pass, its item count, open handles, private bytes and working set.
void PrintPassStats(int pass, size_t items);
