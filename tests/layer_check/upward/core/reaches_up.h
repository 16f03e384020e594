#pragma once

// Reaches up into the media pipeline: the layer check must refuse it.
#include "media/media_state.h"
