#pragma once

// Every way of writing it reaches the windows' header; each is refused.
#include "../shell/Window.h"
#include "gfx/../shell/Window.h"
#include <shell/Window.h>
// The standard library, the folder's own headers and generated files pass.
#include "Forms.moc"
#include "Wrong.h"
#include "gfx/Wrong.h"
#include <vector>
