// bassdsd.dll: DSF and DSDIFF.
#include "standin/addon_interface.h"
#include "standin/formats.h"

static const AddOnFormat kFormats[] = {{"DSF", OpenDsf, ReleaseStreamFacts}, {"DSDIFF", OpenDff, ReleaseStreamFacts}};
static const AddOnTable kTable = {kAddOnInterfaceVersion, 2, kFormats};

extern "C" const AddOnTable *__cdecl StandinAddOnFormats(void) { return &kTable; }
