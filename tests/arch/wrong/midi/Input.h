#pragma once

#include "platform/Registry.h"
#include "platform/midi/Device.h"
