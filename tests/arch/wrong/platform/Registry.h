#pragma once

// Found beside this file, as the compiler finds it: platform/midi, not midi.
#include "midi/Device.h"
