// The host's InfoBox: a message box with the file's channels, rate and resolution.
#pragma once
#include <windows.h>

int __cdecl InfoBox(const wchar_t *file, HWND parent);
