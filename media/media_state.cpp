#include "media/media_state.h"

MediaState& GetMediaState() {
    static MediaState state;
    return state;
}
