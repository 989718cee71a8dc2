#include "midi/Miditype.h"
