#pragma once

#include "gfx/Wrong.h"
