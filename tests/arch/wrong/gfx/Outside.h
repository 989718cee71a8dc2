#pragma once

// Out of the tree altogether.
#include "../../Elsewhere.h"
