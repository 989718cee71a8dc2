#pragma once

#include "gfx/Wrong.h"
#include "midi/Input.h"
