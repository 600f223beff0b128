#include "plugin/slots.h"
void __cdecl Config(HWND) {}
void __cdecl About(HWND) {}
