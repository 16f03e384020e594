#include "media/media_services.h"
