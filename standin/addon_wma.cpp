// basswma.dll: Windows Media Audio in ASF files.
#include "standin/addon_interface.h"
#include "standin/formats.h"

static const AddOnFormat kFormats[] = {{"ASF WMA", OpenAsf, ReleaseStreamFacts}};
static const AddOnTable kTable = {kAddOnInterfaceVersion, 1, kFormats};

extern "C" const AddOnTable *__cdecl StandinAddOnFormats(void) { return &kTable; }
