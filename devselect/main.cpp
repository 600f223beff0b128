// devselect: lets the user choose the player's wave output device and its
// buffering options, stored in "Tandrel.ini" beside this program.
#include <windows.h>

#include "devselect/device_dialog.h"
#include "devselect/resource.h"
#include "devselect/wave_settings.h"

// Command line and show state are ignored: the dialog is all there is.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LoadWaveDeviceSettings();
  DialogBoxParamW(GetModuleHandleA(NULL), MAKEINTRESOURCEW(IDD_SELECT_DEVICE), NULL, DeviceDialogProc, 0);
  ExitProcess(0);
}
