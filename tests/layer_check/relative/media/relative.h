#pragma once

// Written from the source root or not at all.
#include "../core/state/app_global_state.h"
