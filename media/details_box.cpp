#include "plugin/slots.h"
int __cdecl InfoBox(const wchar_t *, HWND) { return 0; }
