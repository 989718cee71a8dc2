#pragma once

// A picture class that reaches up into the windows: the layer check must
// refuse this include, after an unbalanced bracket too: [0, n).
#include "shell/Window.h"
