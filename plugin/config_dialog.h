// The host's configure and about commands.
#pragma once
#include <windows.h>

void __cdecl Config(HWND parent);  // the DSD decoder settings dialog, or a notice in WAV-only mode
void __cdecl About(HWND parent);
