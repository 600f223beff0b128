// bass_ape.dll: Monkey's Audio.
#include "standin/addon_interface.h"
#include "standin/formats.h"

static const AddOnFormat kFormats[] = {{"Monkey's Audio", OpenMonkeysAudio, ReleaseStreamFacts}};
static const AddOnTable kTable = {kAddOnInterfaceVersion, 1, kFormats};

extern "C" const AddOnTable *__cdecl StandinAddOnFormats(void) { return &kTable; }
