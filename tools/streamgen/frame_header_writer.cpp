#include "tools/streamgen/frame_header_writer.h"

#include "platform/byte_order.h"

namespace streamgen {
namespace {

std::vector<std::uint8_t> WriteNewLayout(const FrameHeaderDescription& d) {
    const FrameHeaderStatusInfo& s = d.status;
    std::uint16_t status = 0;
    if (s.qvga)
        status |= 0x0001;
    if (s.retrState)
        status |= 0x0002;
    if (s.videoLoss)
        status |= 0x0004;
    if (s.networkBackup)
        status |= 0x0008;
    if (s.cameraState)
        status |= 0x0010;
    if (s.channel16)
        status |= 0x0020;

    auto flags = static_cast<std::uint16_t>(d.extraFlags);
    if (d.motion)
        flags |= 0x0002;
    if (d.alarm)
        flags |= 0x0004;
    if (d.thirdAlarm)
        flags |= 0x0008;
    if (d.timeValue)
        flags |= 0x0020;
    if (d.packedDate)
        flags |= 0x0040;
    if (d.title)
        flags |= 0x0080;
    if (d.extra)
        flags |= 0x0100;
    if (status != 0 || d.forceStatusBlock)
        flags |= 0x2000;

    std::vector<std::uint8_t> out;
    platform::LeWriter w(out);
    w.U16(1);
    w.U16(static_cast<std::uint16_t>(d.imageLength.value_or(0)));
    w.U8(static_cast<std::uint8_t>(d.channel.value_or(0) & 0x0F));
    w.U8(static_cast<std::uint8_t>((d.channelIndex.value_or(0) & 0x0F) << 4));
    w.U16(flags);
    if (d.motion)
        w.U16(*d.motion);
    if (d.alarm)
        w.U16(*d.alarm);
    if (d.thirdAlarm)
        w.U16(*d.thirdAlarm);
    if (d.timeValue)
        w.U32(*d.timeValue);
    if (d.packedDate)
        w.U32(*d.packedDate);
    if (d.title)
        w.Chars(*d.title);
    if (d.extra)
        w.U8(*d.extra);
    if ((flags & 0x2000) != 0) {
        w.U8(d.statusBlockLead);
        w.U8(0);
        w.U16(status);
        if (s.qvga)
            w.U8(*s.qvga);
        if (s.retrState)
            w.U8(*s.retrState);
        if (s.cameraState)
            w.U8(*s.cameraState);
    }
    if (d.lengthIncludesHeader) {
        platform::StoreLe16(out, 2,
                            static_cast<std::uint16_t>(d.imageLength.value_or(0) + w.Size()));
    }
    return out;
}

std::vector<std::uint8_t> WriteOldLayout(const FrameHeaderDescription& d) {
    const FrameHeaderStatusInfo& s = d.status;
    std::uint32_t flags = d.extraFlags;
    if (d.imageLength)
        flags |= 0x0001;
    if (d.title)
        flags |= 0x0002;
    if (s.retrState)
        flags |= 0x0004;
    if (s.qvga)
        flags |= 0x0008;
    if (d.extra)
        flags |= 0x0010;
    if (d.timeValue)
        flags |= 0x0020;
    if (d.channel)
        flags |= 0x0040;
    if (d.alarm)
        flags |= 0x0080;
    if (d.motion)
        flags |= 0x0100;
    if (d.thirdAlarm)
        flags |= 0x0200;
    if (s.networkBackup)
        flags |= 0x0400;
    if (d.channelIndex)
        flags |= 0x0800;
    if (s.videoLoss)
        flags |= 0x1000;
    if (d.packedDate)
        flags |= 0x2000;

    std::vector<std::uint8_t> out;
    platform::LeWriter w(out);
    w.U32(flags);
    if (d.imageLength)
        w.U32(*d.imageLength);
    if (d.title)
        w.Chars(*d.title);
    if (s.retrState) {
        w.U8(*s.retrState);
        w.U8(0);
    }
    if (s.qvga)
        w.U8(*s.qvga);
    if (d.extra)
        w.U8(*d.extra);
    if (d.timeValue)
        w.U32(*d.timeValue);
    if (d.channel)
        w.U8(*d.channel);
    if (d.alarm)
        w.U16(*d.alarm);
    if (d.motion)
        w.U16(*d.motion);
    if (d.thirdAlarm)
        w.U16(*d.thirdAlarm);
    if (d.channelIndex)
        w.U8(*d.channelIndex);
    if (d.packedDate)
        w.U32(*d.packedDate);
    return out;
}

}  // namespace

std::vector<std::uint8_t> WriteFrameHeader(const FrameHeaderDescription& description,
                                           FrameHeaderLayout layout) {
    return layout == FrameHeaderLayout::kNew ? WriteNewLayout(description)
                                             : WriteOldLayout(description);
}

std::uint32_t PackFrameDate(unsigned year, unsigned month, unsigned day, unsigned hour,
                            unsigned minute, unsigned second) {
    return ((year - 2000) & 0x3F) << 26 | (month & 0x0F) << 22 | (day & 0x1F) << 17 |
           (hour & 0x1F) << 12 | (minute & 0x3F) << 6 | (second & 0x3F);
}

}  // namespace streamgen
