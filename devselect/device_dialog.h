#pragma once
#include <windows.h>

// The dialog procedure of template 101 "Select Audio Device".
INT_PTR CALLBACK DeviceDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
