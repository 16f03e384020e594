#include "config/sheet/sheet_progress.h"

#include <algorithm>
#include <array>

namespace {

std::mutex g_blockLock;
std::weak_ptr<SheetProgressBlock> g_lpSheetProgressBlock;

}  // namespace

bool SheetProgressBlock::Post(std::uint32_t command, std::int32_t argument,
                              std::chrono::milliseconds bound) {
    if (Closed()) {
        return false;
    }
    std::array<platform::Waitable*, 2> objects{&m_closed, &m_ready};
    if (platform::WaitForAny(objects, bound) != 1) {
        return false;  // closed, timed out or the poster was asked to stop
    }
    {
        std::lock_guard lock(m_lock);
        m_command = command;
        m_argument = argument;
    }
    m_go.Release();
    return true;
}

void SheetProgressBlock::Serve() {
    std::array<platform::Waitable*, 2> objects{&m_closed, &m_go};
    for (;;) {
        if (platform::WaitForAny(objects, platform::kInfinite) != 1) {
            return;  // closed or stopped
        }
        std::uint32_t command = kProgressNone;
        std::int32_t argument = 0;
        {
            std::lock_guard lock(m_lock);
            command = m_command;
            argument = m_argument;
            m_command = kProgressNone;
        }
        Apply(command, argument);
        m_ready.Release();
    }
}

void SheetProgressBlock::Apply(std::uint32_t command, std::int32_t argument) {
    {
        std::lock_guard lock(m_lock);
        switch (command) {
            case kProgressStart:
                m_state.position = 0;
                m_state.shown = true;
                break;
            case kProgressSetTotal:
                m_state.total = argument;
                m_state.position = 0;
                break;
            case kProgressSetPosition:
                // Without a total there is nothing to measure against.
                if (m_state.total <= 0) {
                    return;
                }
                m_state.position = argument;
                break;
            case kProgressHide:
                m_state.position = 0;
                m_state.shown = false;
                break;
            default:
                return;
        }
    }
    platform::PostWindowMessage(m_sheet, WM_SHEETPROGRESS, command, 0);
}

void SheetProgressBlock::Close() {
    m_closed.Set();
}

bool SheetProgressBlock::Closed() const {
    return m_closed.IsSet();
}

SheetProgressState SheetProgressBlock::State() const {
    std::lock_guard lock(m_lock);
    return m_state;
}

bool SheetProgressThread::Start(std::shared_ptr<SheetProgressBlock> block) {
    if (m_thread.Joinable() || !block) {
        return false;
    }
    m_block = std::move(block);
    return m_thread.Start(
        [block = m_block]() -> std::uint32_t {
            block->Serve();
            return 0;
        },
        "SheetProgress");
}

void SheetProgressThread::Stop() {
    if (m_block) {
        m_block->Close();
    }
    m_thread.RequestStop();
    m_thread.Stop(std::chrono::milliseconds(1000));
    m_block.reset();
}

void PublishSheetProgressBlock(const std::shared_ptr<SheetProgressBlock>& block) {
    std::lock_guard lock(g_blockLock);
    g_lpSheetProgressBlock = block;
}

std::shared_ptr<SheetProgressBlock> SheetProgressBlockRef() {
    std::lock_guard lock(g_blockLock);
    return g_lpSheetProgressBlock.lock();
}

bool PostSheetProgress(std::uint32_t command, std::int32_t argument,
                       std::chrono::milliseconds bound) {
    const auto block = SheetProgressBlockRef();
    return block && block->Post(command, argument, bound);
}

ProgressBarLayout LayoutProgressBar(int left, int right, const SheetProgressState& state) {
    ProgressBarLayout layout;
    layout.textX = left + 4;
    if (state.total <= 0 || state.position == 0) {
        return layout;
    }
    // A position past the total fills the bar and no more.
    const std::int64_t position = std::clamp<std::int64_t>(state.position, 0, state.total);
    layout.filled = position > 0;
    layout.fillWidth = static_cast<int>((right - left - 4) * position / state.total);
    layout.percent = static_cast<unsigned>(position * 100 / state.total);
    layout.textInside = layout.percent > 50;
    layout.textX = layout.textInside ? left + layout.fillWidth - 43 : left + layout.fillWidth + 4;
    return layout;
}
