// --stats prints these after each pass, so a long run shows whether queries
// leak handles or memory.
#include "host/process_stats.h"

#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <string.h>

void PrintPassStats(int pass, size_t items) {
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  PROCESS_MEMORY_COUNTERS_EX memory;
  memset(&memory, 0, sizeof(memory));
  GetProcessMemoryInfo(GetCurrentProcess(), (PROCESS_MEMORY_COUNTERS *)&memory, sizeof(memory));
  printf("{\"pass\": %d, \"items\": %u, \"handles\": %lu, \"private_bytes\": %llu, \"working_set\": %llu}\n", pass,
         (unsigned)items, (unsigned long)handles, (unsigned long long)memory.PrivateUsage,
         (unsigned long long)memory.WorkingSetSize);
}
