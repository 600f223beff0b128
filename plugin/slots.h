// The In_Module slots implemented outside the module record itself.
#pragma once
#include <windows.h>

void __cdecl Config(HWND parent);                                          // plugin/config_dialog.cpp
void __cdecl About(HWND parent);                                           // plugin/config_dialog.cpp
void __cdecl Quit(void);                                                   // media/library_binding.cpp
void __cdecl GetFileInfo(const wchar_t *file, wchar_t *title, int *length_in_ms);  // media/file_info.cpp
int __cdecl InfoBox(const wchar_t *file, HWND parent);                     // media/details_box.cpp
