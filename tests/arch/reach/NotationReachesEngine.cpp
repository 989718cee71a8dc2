// Compiled only by arch.ALibrarySeesOnlyTheHeadersItLinks, against
// tessaly_notation: its own headers are found, the session's must not be.
#include "notation/uNote.h"

#include "engine/uSheetMusic.h"
