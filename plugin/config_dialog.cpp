// The host's configure and about commands: the DSD decoder settings dialog,
// which edits the five [SACD] values of PluginSettings and stores them in
// "Tandrel.ini" beside the host, and the About box.
#include "plugin/config_dialog.h"

#include "common/settings_path.h"
#include "plugin/in_module.h"
#include "plugin/resource.h"
#include "plugin/settings.h"
#include "tandrel_version.h"

static const char *const kOutputModes[] = {"PCM", "DSD DoP", "Native (ASIO)"};
static const char *const kDsdLimits[] = {"DSD64", "DSD128", "DSD256", "DSD512"};
static const char *const kPcmVolumes[] = {"+0dB", "+1dB", "+2dB", "+3dB", "+4dB", "+5dB", "+6dB"};
static const char *const kPcmSamplerates[] = {"44100", "88200", "176400", "352800"};

// Entries go in list order, so an entry's position is the stored value; a
// value outside the list leaves it without a selection.
static void FillList(HWND dialog, int id, const char *const *entries, size_t count, int selected) {
  for (size_t i = 0; i < count; ++i) SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, (LPARAM)entries[i]);
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL, (WPARAM)selected, 0);
}

static int ListSelection(HWND dialog, int id) { return (int)SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0); }

static void StoreDialogValues(HWND dialog) {
  PluginSettings.asio_mode = ListSelection(dialog, IDC_OUTPUT_MODE);
  PluginSettings.dsd_limit = ListSelection(dialog, IDC_DSD_LIMIT);
  PluginSettings.volume = ListSelection(dialog, IDC_PCM_VOLUME);
  PluginSettings.samplerate = ListSelection(dialog, IDC_PCM_SAMPLERATE);
  PluginSettings.pcm_multichannel = IsDlgButtonChecked(dialog, IDC_PCM_MULTICHANNEL) == BST_CHECKED ? 1 : 0;

  // A host path that leaves no room for the file name has no settings file:
  // the values stay in memory only.
  wchar_t ini[kDialogPathUnits];
  if (!BuildSettingsPath(ini, kDialogPathUnits)) return;
  StoreSacdSettings(ini);
}

static INT_PTR CALLBACK DsdSettingsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) {
    // The values held now, not the file: other programs' edits are not seen.
    FillList(dialog, IDC_OUTPUT_MODE, kOutputModes, ARRAYSIZE(kOutputModes), PluginSettings.asio_mode);
    FillList(dialog, IDC_DSD_LIMIT, kDsdLimits, ARRAYSIZE(kDsdLimits), PluginSettings.dsd_limit);
    CheckDlgButton(dialog, IDC_PCM_MULTICHANNEL, PluginSettings.pcm_multichannel != 0 ? BST_CHECKED : BST_UNCHECKED);
    FillList(dialog, IDC_PCM_VOLUME, kPcmVolumes, ARRAYSIZE(kPcmVolumes), PluginSettings.volume);
    FillList(dialog, IDC_PCM_SAMPLERATE, kPcmSamplerates, ARRAYSIZE(kPcmSamplerates), PluginSettings.samplerate);
    return TRUE;
  }
  if (message == WM_COMMAND) {
    switch (LOWORD(wparam)) {
      case IDOK:
        StoreDialogValues(dialog);
        EndDialog(dialog, 0);
        return TRUE;
      case IDCANCEL:  // also Esc and the close box
        EndDialog(dialog, 0);
        return TRUE;
    }
  }
  return FALSE;
}

void __cdecl Config(HWND parent) {
  if (PluginSettings.OnlyWav != 0) {
    MessageBoxA(parent, "No configuration.", "Configuration", MB_OK);
    return;
  }
  // Owned by the host's main window, whatever window the command came from.
  DialogBoxParamW(g_InModule.hDllInstance, MAKEINTRESOURCEW(IDD_DSD_SETTINGS), g_InModule.hMainWindow,
                  DsdSettingsDialogProc, 0);
}

void __cdecl About(HWND parent) {
  MessageBoxA(parent,
              "Tandrel Mini UPnP input " TANDREL_VERSION "\n"
              "Reports track length, title and tags.",
              "About Plugin", MB_OK);
}
