// bassalac.dll: Apple Lossless in MPEG-4 files.
#include "standin/addon_interface.h"
#include "standin/formats.h"

static const AddOnFormat kFormats[] = {{"MP4 ALAC", OpenMp4Alac, ReleaseStreamFacts}};
static const AddOnTable kTable = {kAddOnInterfaceVersion, 1, kFormats};

extern "C" const AddOnTable *__cdecl StandinAddOnFormats(void) { return &kTable; }
