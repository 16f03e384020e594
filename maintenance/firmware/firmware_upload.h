#pragma once

// The firmware upload engine: one routine for the four upload threads, chosen
// by what is uploaded (the loaded rows of a DVR firmware folder, or the
// records of a packed file) and how:
// - old protocol: one "/UpgradeFW.cgi" command per piece of at most 900
//   bytes, the piece as the request body; Start and Finished in the query;
// - new protocol: per unit one connection carrying "GET /UpgradeFW2.cgi?..."
//   and then the unit's bytes raw, in writes of at most 1,300 bytes.
// Every upload first opens a side connection that asks for the live stream
// with "Fake=1" and holds it until the upload ends.
//
// The dialog hears of the upload only through UploadObserver. Firmware is
// reported as written (message 4048) only when every unit was fully sent: a
// refused piece, a connection that cannot be made and a write that fails all
// end the upload with message 4077. The one tolerance kept is the old
// protocol's last piece of a unit that was sent but got no reply at all.

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "maintenance/firmware/firmware_files.h"
#include "maintenance/firmware/packed_firmware.h"

namespace maintenance {

enum class UploadSource { kFolder, kPacked };

// One unit of an upload: a file of the folder or a record of a packed file.
struct UploadUnit {
    std::span<const std::uint8_t> data;
    int typeNumber = 0;    // folder: row index; packed, new protocol: the mapped number
    std::string typeName;  // packed, old protocol: the record's name
};

struct UploadPlan {
    UploadSource source = UploadSource::kFolder;
    UploadProtocol protocol = UploadProtocol::kOld;
    std::vector<UploadUnit> units;
    // What the progress figure is measured against: the folder's loaded
    // bytes, or the whole packed file (headers included).
    std::uint64_t wholeSize = 0;
};

// The units of a folder upload: the loaded rows, in row order.
UploadPlan FolderUploadPlan(const FirmwareFileTable& table, UploadProtocol protocol);
// The units of a packed upload: every record, with its Type for the protocol.
UploadPlan PackedUploadPlan(const PackedFirmwareImage& image, UploadProtocol protocol);

// Where the upload goes and who it is.
struct UploadTarget {
    std::string address;  // dotted server address
    std::uint16_t port = 80;
    std::string cookie;  // the session cookie; may be empty
    std::string hostIp;  // the client's own address, for the Host line
};

// Time-outs and pauses; tests shorten them. Pauses go through the platform
// clock, so a ManualClock passes them at once.
struct UploadTimings {
    std::chrono::milliseconds sideWrite{10'000};
    std::chrono::milliseconds oldSend{15'000};
    std::chrono::milliseconds oldReceive{15'000};
    // Old protocol: after a piece's reply saying "Connection: close", the
    // wait for the device's close, so that the thousands of short
    // connections of an upload leave their TIME_WAIT with the device and
    // not in the client's ports. Zero closes at once.
    std::chrono::milliseconds oldPeerClose{1'000};
    std::chrono::milliseconds folderUnitWrite{40'000};  // new protocol, folder upload
    std::chrono::milliseconds packedUnitWrite{10'000};  // new protocol, packed upload
    std::chrono::milliseconds unitReply{15'000};
    std::chrono::milliseconds connect{20'000};
    std::chrono::milliseconds packedNewPauseAfterSide{2'000};
    std::chrono::milliseconds folderNewPauseAfterRequest{3'000};
    std::chrono::milliseconds pauseAtEnd{1'000};
};

// The dialog's side of an upload. Called on the upload thread; an
// implementation posts to the GUI thread and never blocks.
class UploadObserver {
public:
    virtual ~UploadObserver() = default;
    virtual void DisableUpgrade() = 0;  // the upload proper starts
    virtual void EnableUpgrade() = 0;
    virtual void CloseDialog() = 0;
    virtual void SetProgress(int percent, bool visible) = 0;
    virtual void ShowMessage(unsigned textId) = 0;  // 4048 or 4077
};

enum class UploadOutcome {
    kSucceeded,     // every unit sent; message 4048
    kSideFailed,    // the side connection failed; message 4077, dialog stays open
    kUploadFailed,  // a piece, unit connection or write failed; message 4077
    kCancelled,     // the cancel test or the stop token ended it; no message
};

// Runs one upload on the calling thread. `cancelled` is tested before each
// unit and each piece of a folder upload (the dialog's cancel event); the
// thread's stop token ends any upload at its next step.
UploadOutcome RunFirmwareUpload(const UploadPlan& plan, const UploadTarget& target,
                                const UploadTimings& timings, UploadObserver& observer,
                                const std::function<bool()>& cancelled, std::stop_token stop);

// Request texts, exposed for tests.
std::string BuildUploadSideRequest(std::string_view cookie, std::string_view hostIp);
std::string BuildUploadUnitRequest(std::string_view cookie, std::uint32_t unitSize, int type,
                                   bool reboot, std::string_view hostIp);

// The progress figure: sent × 100 / whole, in 64 bits; 0 when whole is 0.
int UploadProgressPercent(std::uint64_t sent, std::uint64_t whole);

}  // namespace maintenance
