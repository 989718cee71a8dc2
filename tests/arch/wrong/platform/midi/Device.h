#pragma once

#include "platform/Registry.h"
