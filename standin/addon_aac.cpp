// bass_aac.dll: AAC in MPEG-4 files and raw ADTS streams.
#include "standin/addon_interface.h"
#include "standin/formats.h"

static const AddOnFormat kFormats[] = {{"MP4 AAC", OpenMp4Aac, ReleaseStreamFacts},
                                       {"ADTS AAC", OpenAdts, ReleaseStreamFacts}};
static const AddOnTable kTable = {kAddOnInterfaceVersion, 2, kFormats};

extern "C" const AddOnTable *__cdecl StandinAddOnFormats(void) { return &kTable; }
