#pragma once

// The platform layer uses nothing of the program above it.
#include "core/state/app_global_state.h"
