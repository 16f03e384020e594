#include "media/media_services.h"

#include "media/frame_header.h"

void MediaServicesImpl::SetNewHeaderLayout(bool newLayout) {
    C_FrameHeaderParser.SetNewLayout(newLayout);
}
