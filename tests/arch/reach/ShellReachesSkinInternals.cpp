// Compiled only by arch.ALibrarySeesOnlyTheHeadersItLinks, against
// tessaly_skin: its public header is found, its private one must not be.
#include "skin/SkinManager.h"

#include "skin/BuiltInSkins.h"
