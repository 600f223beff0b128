#include "plugin/details_box.h"

#include "media/details_query.h"
#include "plugin/settings.h"

// The message of the latest details box; emptied by every call.
static wchar_t DetailsText[kDetailsTextUnits];

static const wchar_t kDetailsCaption[] = L"About file";

int __cdecl InfoBox(const wchar_t *file, HWND parent) {
  DetailsText[0] = 0;
  if (file == NULL) return 0;
  DetailsFacts facts;
  if (!ReadDetailsFacts(file, PluginSettings.OnlyWav != 0, &facts)) return 0;
  ComposeDetailsText(file, &facts, DetailsText, kDetailsTextUnits);
  MessageBoxW(parent, DetailsText, kDetailsCaption, MB_OK);
  return 0;
}
