#pragma once

// A picture class that reaches up into the windows: the layer check must
// refuse this include.
#include "shell/Window.h"
