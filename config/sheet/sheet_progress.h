#pragma once

// The progress bar of the configuration sheet, driven by worker threads (log
// and backup downloads, disc writing, event search) through a command block.
// A poster waits, for a bounded time, until the previous command has been
// carried out, writes its command and wakes the sheet's progress thread. The
// thread applies the command to the bar's state and posts the sheet a
// repaint; it never waits for the paint. Posters reach the block through a
// guarded reference: once the sheet has closed it, a post fails at once.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

#include "core/application/window_messages.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "platform/window.h"

enum SheetProgressCommand : std::uint32_t {
    kProgressNone = 0,
    kProgressStart = 1,
    kProgressSetTotal = 2,
    kProgressSetPosition = 3,
    kProgressHide = 4,
};

struct SheetProgressState {
    bool shown = false;
    std::int32_t total = 0;  // 0: not set; a bar without a total shows no fill
    std::int32_t position = 0;
};

class SheetProgressBlock {
public:
    explicit SheetProgressBlock(platform::WindowHandle sheet) : m_sheet(sheet) {}

    // Posts one command; false when the block is closed or the previous
    // command was not carried out within `bound`.
    bool Post(std::uint32_t command, std::int32_t argument,
              std::chrono::milliseconds bound = std::chrono::seconds(5));

    // The progress thread's loop: carries out commands until its stop token
    // is set or the block is closed.
    void Serve();

    // Refuses further commands and wakes waiting posters.
    void Close();
    bool Closed() const;

    SheetProgressState State() const;

private:
    void Apply(std::uint32_t command, std::int32_t argument);

    const platform::WindowHandle m_sheet;
    platform::Semaphore m_go{0, 1};
    platform::Semaphore m_ready{1, 1};
    platform::Event m_closed{true, false};
    mutable std::mutex m_lock;
    std::uint32_t m_command = kProgressNone;
    std::int32_t m_argument = 0;
    SheetProgressState m_state;
};

// The sheet's progress thread over its block.
class SheetProgressThread {
public:
    ~SheetProgressThread() { Stop(); }
    bool Start(std::shared_ptr<SheetProgressBlock> block);
    // Closes the block and ends the thread: its waits return at once.
    void Stop();
    bool Running() const { return m_thread.Running(); }

private:
    std::shared_ptr<SheetProgressBlock> m_block;
    platform::Thread m_thread;
};

// The published block (g_lpSheetProgressBlock): the open sheet's, or none.
void PublishSheetProgressBlock(const std::shared_ptr<SheetProgressBlock>& block);
std::shared_ptr<SheetProgressBlock> SheetProgressBlockRef();
// Posts to the published block; false without an open sheet.
bool PostSheetProgress(std::uint32_t command, std::int32_t argument,
                       std::chrono::milliseconds bound = std::chrono::seconds(5));

// Where the bar's parts go inside the progress rectangle (left, top, right,
// bottom as the sheet keeps it).
struct ProgressBarLayout {
    bool filled = false;      // a filled part and a percentage are drawn
    int fillWidth = 0;        // w
    unsigned percent = 0;     // p
    int textX = 0;            // where the percentage starts
    bool textInside = false;  // above 50 %: drawn on the filled part, in blue
};
ProgressBarLayout LayoutProgressBar(int left, int right, const SheetProgressState& state);
