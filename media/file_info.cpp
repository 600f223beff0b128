#include "plugin/slots.h"
void __cdecl GetFileInfo(const wchar_t *, wchar_t *, int *) {}
