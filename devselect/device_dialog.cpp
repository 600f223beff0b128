// The "Select Audio Device" dialog: device list, buffering options, mixer.
#include "devselect/device_dialog.h"

#include "devselect/resource.h"
#include "devselect/wave_settings.h"

static void EnableMixerChoice(HWND dialog, BOOL enable) {
  EnableWindow(GetDlgItem(dialog, IDC_MIXER_24), enable);
  EnableWindow(GetDlgItem(dialog, IDC_MIXER_32), enable);
}

static void InitDeviceDialog(HWND dialog) {
  WaveDeviceSettingsRecord *s = &WaveDeviceSettings;
  SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);

  SendDlgItemMessageW(dialog, IDC_DEVICE_LIST, LB_ADDSTRING, 0, (LPARAM)L"<Default Device>");
  // Every device number gets a row, so row k always stands for device k-1;
  // a failed query repeats what the record last held.
  UINT devices = waveOutGetNumDevs();
  for (UINT device = 0; device < devices; ++device) {
    waveOutGetDevCapsA(device, &s->DeviceCaps, sizeof(s->DeviceCaps));
    s->DeviceCaps.szPname[sizeof(s->DeviceCaps.szPname) - 1] = 0;
    SendDlgItemMessageA(dialog, IDC_DEVICE_LIST, LB_ADDSTRING, 0, (LPARAM)s->DeviceCaps.szPname);
  }
  // A row that does not exist leaves the list without a selection.
  SendDlgItemMessageW(dialog, IDC_DEVICE_LIST, LB_SETCURSEL, (WPARAM)s->WaveDevice, 0);

  // Shown as stored; out-of-range values are corrected on OK.
  SetDlgItemInt(dialog, IDC_PRELOAD_BUFFER, (UINT)s->WavePreloadBuffer, FALSE);
  if (s->WaveVolume != 0) CheckDlgButton(dialog, IDC_WAVE_VOLUME, BST_CHECKED);
  if (s->WaveDirect != 0) CheckDlgButton(dialog, IDC_FORCE_DIRECT, BST_CHECKED);
  SetDlgItemInt(dialog, IDC_BUFFER_SIZE, (UINT)s->WaveBufferSize, FALSE);
  SetDlgItemInt(dialog, IDC_BUFFER_COUNT, (UINT)s->WaveBufferNum, FALSE);
  CheckDlgButton(dialog, IDC_AUTO_SAMPLERATE, s->AutoSamplerate != 0 ? BST_CHECKED : BST_UNCHECKED);
  EnableMixerChoice(dialog, s->AutoSamplerate != 0);
  // The mixer choice shows even while it is disabled.
  CheckDlgButton(dialog, s->Mixer32 != 0 ? IDC_MIXER_32 : IDC_MIXER_24, BST_CHECKED);
}

// The edit's number as the platform reads it unsigned (0 for empty or
// unreadable text), taken as signed and clamped with signed comparisons.
static int ReadClamped(HWND dialog, int id, int low, int high) {
  int value = (int)GetDlgItemInt(dialog, id, NULL, FALSE);
  if (value > high) value = high;
  if (value < low) value = low;
  return value;
}

static void StoreDeviceDialog(HWND dialog) {
  WaveDeviceSettingsRecord *s = &WaveDeviceSettings;
  // With no row selected the stored device stays as it is.
  LRESULT row = SendDlgItemMessageW(dialog, IDC_DEVICE_LIST, LB_GETCURSEL, 0, 0);
  if (row != LB_ERR) s->WaveDevice = (int)row;
  s->WavePreloadBuffer = ReadClamped(dialog, IDC_PRELOAD_BUFFER, 64, 32768);
  s->WaveVolume = IsDlgButtonChecked(dialog, IDC_WAVE_VOLUME) == BST_CHECKED ? 1 : 0;
  s->WaveDirect = IsDlgButtonChecked(dialog, IDC_FORCE_DIRECT) == BST_CHECKED ? 1 : 0;
  s->WaveBufferSize = ReadClamped(dialog, IDC_BUFFER_SIZE, 1, 512);
  s->WaveBufferNum = ReadClamped(dialog, IDC_BUFFER_COUNT, 2, 8);
  // AutoSamplerate and Mixer32 from the record: as loaded unless the user
  // clicked the box or a button.
  StoreWaveDeviceSettings(row != LB_ERR);
}

static INT_PTR OnCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDOK:  // also Enter
      StoreDeviceDialog(dialog);
      EndDialog(dialog, 0);
      return TRUE;
    case IDCANCEL:  // also Esc and the close box
      EndDialog(dialog, -1);
      return TRUE;
    case IDC_AUTO_SAMPLERATE:
      if (code != BN_CLICKED) return FALSE;
      if (SendDlgItemMessageW(dialog, IDC_AUTO_SAMPLERATE, BM_GETCHECK, 0, 0) == BST_CHECKED) {
        WaveDeviceSettings.AutoSamplerate = 1;
        EnableMixerChoice(dialog, TRUE);
      } else {
        WaveDeviceSettings.AutoSamplerate = 0;
        EnableMixerChoice(dialog, FALSE);
      }
      return TRUE;
    case IDC_MIXER_24:
    case IDC_MIXER_32:
      if (code != BN_CLICKED || IsDlgButtonChecked(dialog, id) != BST_CHECKED) return FALSE;
      WaveDeviceSettings.Mixer32 = id == IDC_MIXER_32 ? 1 : 0;
      return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK DeviceDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) {
    InitDeviceDialog(dialog);
    return TRUE;  // the platform sets the initial focus
  }
  if (message == WM_COMMAND) return OnCommand(dialog, LOWORD(wparam), HIWORD(wparam));
  return FALSE;
}
