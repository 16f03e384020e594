// The live picture and the window's texts: DrawVideoFrame on the
// kernel-message thread prepares each frame (line doubling, full-screen
// scaling, the PTZ click mark, the frame copy and the snapshot, the rates
// every two seconds) and hands the picture to the GUI thread, which paints
// it over the skin with the status line, the alarm and online marks and the
// info area.

#include <QBackingStore>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/application/window_messages.h"
#include "core/login/process_control.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "liveview/window/main_window.h"
#include "liveview/window/picture_rows.h"
#include "liveview/window/status_line_layout.h"
#include "media/frame_header.h"
#include "media/jpeg_codec_adapter.h"
#include "platform/clock.h"
#include "resample/resize.h"

namespace {

constexpr std::uint32_t kRatePeriodMs = 2000;
// The largest picture the window shows: the size of its drawing surface.
constexpr int kSurfaceWidth = 720;
constexpr int kSurfaceHeight = 576;
// The mark is written low byte first into blue-green-red pixels: red is
// the third byte.
constexpr std::uint32_t kRed = 0x00FF0000;
// Black in the painted format.
constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr unsigned kSnapshotFailedText = 4116;
// The title bar's info text: its gap before the buttons and its smallest size.
constexpr int kInfoGap = 3;
constexpr int kSmallestInfoPixels = 9;

// Sizes `image` for a width x height picture in the backing store's own
// 32-bit format, so that the paint is a plain copy.
void EnsurePicture(QImage& image, int width, int height) {
    if (image.width() != width || image.height() != height ||
        image.format() != QImage::Format_RGB32) {
        image = QImage(width, height, QImage::Format_RGB32);
    }
}

// Copies the top-left width x height block of a bottom-up blue-green-red
// picture of `stride` bytes a row and `rows` rows into a top-down picture.
void CopyBottomUp(const std::uint8_t* source, int stride, int rows, int width, int height,
                  QImage& image) {
    EnsurePicture(image, width, height);
    for (int y = 0; y < height; ++y) {
        picture_rows::BgrToRgb32(source + static_cast<std::size_t>(rows - 1 - y) * stride,
                                 reinterpret_cast<std::uint32_t*>(image.scanLine(y)), width);
    }
}

const ViewLayoutRow& Layout() {
    const int mode = std::min<int>(g_lpApp->w_ViewMode, kViewModeCount - 1);
    return ViewLayoutTable[static_cast<std::size_t>(mode)];
}

}  // namespace

int CDravelinDlg::SetStatusText(const std::string& text) {
    return ReplaceStatusText(text, StatusSource::kOther);
}

int CDravelinDlg::SetStreamEndedStatusText(const std::string& text) {
    return ReplaceStatusText(text, StatusSource::kStreamEnded);
}

int CDravelinDlg::ReplaceStatusText(const std::string& text, StatusSource source) {
    if (m_bFullScreen)
        return 1;
    {
        std::lock_guard lock(m_textLock);
        // Frames still drawn while a stream is torn down must not make it
        // look alive again: after the stream's end only another status (a
        // new connection, a login step) replaces what the line says.
        if (source == StatusSource::kRates && m_bStreamEndedShown)
            return 1;
        m_bStreamEndedShown = source == StatusSource::kStreamEnded;
        m_strStatusText = text;
    }
    platform::PostWindowMessage(m_handle, WM_SETSTATUSTEXT, 0, 0);
    return 1;
}

std::string CDravelinDlg::StatusText() const {
    std::lock_guard lock(m_textLock);
    return m_strStatusText;
}

std::string CDravelinDlg::AlarmText() const {
    std::lock_guard lock(m_textLock);
    return m_strAlarmText;
}

std::string CDravelinDlg::TitleText() const {
    std::lock_guard lock(m_textLock);
    return m_strTitleText;
}

void CDravelinDlg::ClearInfoTexts() {
    std::lock_guard lock(m_textLock);
    m_strAlarmText.clear();
    m_strTitleText.clear();
}

QImage CDravelinDlg::CurrentPicture() const {
    std::lock_guard lock(m_pictureLock);
    if (m_frontRows.empty())
        return m_front.copy();
    QImage whole;
    ExpandFront(whole);
    return whole;
}

void CDravelinDlg::FrontRow(int y, int from, int count, std::uint32_t* out) const {
    const PaintedRow& r = m_frontRows[static_cast<std::size_t>(y)];
    if (r.upper < 0) {
        std::fill_n(out, count, kBlack);
        return;
    }
    if (m_frontPlan) {
        // The picture row, or the blend of two (line doubling), at the
        // picture's width, then scaled across.
        const auto* in = reinterpret_cast<const std::uint32_t*>(m_front.constScanLine(r.upper));
        if (r.weight != 0) {
            thread_local std::vector<std::uint32_t> blended;
            blended.resize(static_cast<std::size_t>(m_front.width()));
            picture_rows::BlendRgb32(
                in, reinterpret_cast<const std::uint32_t*>(m_front.constScanLine(r.upper + 1)),
                r.weight, blended.data(), m_front.width());
            in = blended.data();
        }
        if (from == 0 && count == m_frontPlan->OutWidth()) {
            picture_rows::ScaleRow32(*m_frontPlan, in, out);
            return;
        }
        const std::vector<int>& columns = m_frontPlan->Columns();
        for (int x = 0; x < count; ++x) out[x] = in[columns[static_cast<std::size_t>(from + x)]];
        return;
    }
    const auto* upper =
        reinterpret_cast<const std::uint32_t*>(m_front.constScanLine(r.upper)) + from;
    if (r.weight == 0) {
        std::memcpy(out, upper, static_cast<std::size_t>(count) * 4);
    } else {
        picture_rows::BlendRgb32(
            upper,
            reinterpret_cast<const std::uint32_t*>(m_front.constScanLine(r.upper + 1)) + from,
            r.weight, out, count);
    }
}

// The picture as it is painted: its row list spread over the rectangle.
void CDravelinDlg::ExpandFront(QImage& into) const {
    const int rows = static_cast<int>(m_frontRows.size());
    EnsurePicture(into, FrontRect().width(), rows);
    for (int y = 0; y < rows; ++y)
        FrontRow(y, 0, into.width(), reinterpret_cast<std::uint32_t*>(into.scanLine(y)));
}

QRect CDravelinDlg::FrontRect() const {
    const int rows = m_frontRows.empty() ? m_front.height() : static_cast<int>(m_frontRows.size());
    const int width = m_frontPlan ? m_frontPlan->OutWidth() : m_front.width();
    return QRect(m_frontOrigin, QSize(width, m_front.isNull() ? 0 : rows));
}

QPoint CDravelinDlg::CurrentPictureOrigin() const {
    std::lock_guard lock(m_pictureLock);
    return m_frontOrigin;
}

int CDravelinDlg::DrawVideoFrame() {
    // The show thread waits for this event after every frame, whatever
    // happens here, and reuses the image slot once it is set: it is set
    // exactly once, as soon as nothing more is read from the slot.
    struct SlotRelease {
        bool released = false;
        void operator()() {
            if (!std::exchange(released, true))
                SignalFrameShown();
        }
        ~SlotRelease() { (*this)(); }
    } releaseSlot;
    if (g_lpApp == nullptr)
        return 0;
    AppGlobalState& app = *g_lpApp;
    if (!app.f_VideoConnected)
        return 0;

    std::uint8_t* source = app.lp_CurrentImage.load();
    const int width = app.w_ImageWidth;
    int height = app.w_ImageHeight;
    if (source == nullptr || width <= 0 || height <= 0 ||
        static_cast<std::size_t>(width) * height * 3 > kImageSlotBytes) {
        return 0;
    }

    // Field-height pictures of the wide formats are shown with their lines
    // doubled; only those whose doubled picture fits the buffer and the
    // drawing surface, the others as they come.
    const std::size_t doubledBytes = static_cast<std::size_t>(width) * height * 2 * 3;
    bool doubling = width >= 640 && !IsQ9C0() && app.lp_DoubleLineBuffer &&
                    height * 2 <= kSurfaceHeight && doubledBytes <= kImageSlotBytes;
    // The doubled picture in blue-green-red, in the buffer; everything after
    // it reads that picture. When the routine cannot double, the field is
    // used as it came.
    const auto doubleIntoBuffer = [&] {
        doubling = false;
        const ResizeStatus status = ResizeImage_8u_C3R(
            source, {width, height}, width * 3, {0, 0, width, height},
            app.lp_DoubleLineBuffer.get(), width * 3, {width, height * 2}, 1.0, 2.0, kResizeLinear);
        if (status >= kResizeOk) {
            source = app.lp_DoubleLineBuffer.get();
            height *= 2;
            releaseSlot();
        }
    };
    // The window's own picture and the full-screen one are blended from the
    // field straight into the painted format; the doubled picture is made
    // only for what reads it: the PTZ click mark (drawn into it), the
    // full-screen scaling when the routine scales into the buffer, and the
    // frame copy and the snapshot below.
    const bool mark = !m_bFullScreen && app.b_PtzClickMode == 2 && app.w_HotPointFrames > 0;
    if (doubling && mark)
        doubleIntoBuffer();

    if (m_bFullScreen) {
        if (m_bFullScreenPending.exchange(false)) {
            platform::PostWindowMessage(m_handle, WM_ENTERFULLSCREENLAYOUT, 0, 0);
        }
        bool scaled = doubling && ScaleToWorkArea(source, width, height, true);
        if (!scaled) {
            if (doubling)
                doubleIntoBuffer();
            scaled = ScaleToWorkArea(source, width, height, false);
        }
        if (scaled) {
            std::lock_guard lock(m_pictureLock);
            std::swap(m_front, m_back);
            std::swap(m_frontRows, m_backRows);
            std::swap(m_frontPlan, m_backPlan);
            m_frontOrigin = QPoint(0, 0);
            m_frontFullScreen = true;
        }
    } else {
        if (mark) {
            DrawCrossMark(
                std::span<std::uint8_t>(source, static_cast<std::size_t>(width) * height * 3),
                width, height, kRed, app.w_HotPointRect[0], app.w_HotPointRect[1]);
            --app.w_HotPointFrames;
        }
        const ViewLayoutRow& v = Layout();
        // Only this thread touches the back picture; the paint waits for the
        // lock just for the exchange.
        if (doubling && !DoubleByRows(source, width, height))
            doubleIntoBuffer();
        if (!doubling) {
            CopyBottomUp(source, width * 3, height, std::min(width, kSurfaceWidth),
                         std::min(height, kSurfaceHeight), m_back);
            // Row by row as it is, so that the paint writes it into the
            // backing store itself, as it does a doubled picture.
            m_backRows.resize(static_cast<std::size_t>(m_back.height()));
            for (int y = 0; y < m_back.height(); ++y)
                m_backRows[static_cast<std::size_t>(y)] = PaintedRow{y, 0};
        }
        m_backPlan.reset();
        std::lock_guard lock(m_pictureLock);
        std::swap(m_front, m_back);
        std::swap(m_frontRows, m_backRows);
        std::swap(m_frontPlan, m_backPlan);
        m_frontOrigin = QPoint(v[kVlVideoLeft], v[kVlVideoTop]);
        m_frontFullScreen = false;
    }
    platform::PostWindowMessage(m_handle, WM_FRAMEREADY, 0, 0);

    // The copy for the motion-area editor and the snapshot take the doubled
    // picture as it is shown.
    const bool frameCopy = app.f_FrameCopyRequest && app.lp_FrameCopyBuffer;
    const bool snapshot = app.f_SnapshotRequest.exchange(false);
    if (doubling && (frameCopy || snapshot))
        doubleIntoBuffer();
    const std::size_t pictureBytes = static_cast<std::size_t>(width) * height * 3;

    // The copy: never more than its buffer holds.
    if (frameCopy && pictureBytes <= kImageSlotBytes) {
        app.w_CopyWidth = static_cast<std::uint16_t>(width);
        app.w_CopyHeight = static_cast<std::uint16_t>(height);
        std::memcpy(app.lp_FrameCopyBuffer.get(), source, pictureBytes);
        app.f_FrameCopyRequest = false;
        if (app.h_FrameCopySem)
            app.h_FrameCopySem->Release();
    }

    if (snapshot) {
        std::string folder = app.CSettingINI.m_strSnapshotPath.Get();
        if (SaveSnapshotFile(folder, std::span<const std::uint8_t>(source, pictureBytes), width,
                             height, 1) == 0) {
            platform::PostWindowMessage(m_handle, WM_SHOWERRORMESSAGE, kSnapshotFailedText, 0);
        }
    }
    releaseSlot();

    const std::uint16_t alarm = C_FrameHeaderParser.m_wAlarmData;
    {
        std::lock_guard lock(m_textLock);
        if (!m_bStreamEndedShown) {
            m_strAlarmText =
                alarm != 0 ? std::to_string(std::countr_zero(alarm) + 1) : std::string();
        }
    }
    UpdateRates(platform::TickCount());
    return 1;
}

const std::vector<CDravelinDlg::PaintedRow>* CDravelinDlg::DoubledRows(int height) {
    const int rows = height * 2;
    if (m_doubleRowsFrom != height) {
        m_doubleRowsFrom = 0;
        std::vector<ResizeLinearRow> routine(static_cast<std::size_t>(rows));
        if (ResizeLinearRows(height, rows, 2.0, routine.data()) != rows)
            return nullptr;
        m_doubleRows.resize(static_cast<std::size_t>(rows));
        for (int y = 0; y < rows; ++y) {
            const ResizeLinearRow r = routine[static_cast<std::size_t>(rows - 1 - y)];
            // The whole weight of the lower row is that row as it is.
            m_doubleRows[static_cast<std::size_t>(y)] =
                r.weight >= 16384 ? PaintedRow{r.upper + 1, 0} : PaintedRow{r.upper, r.weight};
        }
        m_doubleRowsFrom = height;
    }
    return &m_doubleRows;
}

// Line doubling by the row list: the back picture is the field converted,
// rows as they lie in memory (bottom-up), and the row list gives the resize
// routine's rows and weights (asked once per field height), top-down, which
// the paint blends as it writes them. False when the routine gives no rows
// for the field (then it is doubled by the routine itself).
bool CDravelinDlg::DoubleByRows(const std::uint8_t* field, int width, int height) {
    const std::vector<PaintedRow>* lines = DoubledRows(height);
    if (lines == nullptr)
        return false;
    const int shown = std::min(width, kSurfaceWidth);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    EnsurePicture(m_back, shown, height);
    for (int y = 0; y < height; ++y) {
        picture_rows::BgrToRgb32(field + static_cast<std::size_t>(y) * stride,
                                 reinterpret_cast<std::uint32_t*>(m_back.scanLine(y)), shown);
    }
    m_backRows = *lines;
    m_backPlan.reset();
    return true;
}

// Nearest-neighbour scaling of the picture over the work area into the back
// picture, as the resize routine spreads it (its column and row maps, asked
// once per geometry). The back picture holds each picture row the work area
// shows once, scaled across and converted in one pass, and the row list says
// which of them each work-area row shows; painted, that is the picture the
// routine would write for the whole work area, turned top-down. `doubled`:
// the picture is the field of `height` rows shown line-doubled, which only
// the paint's scaling by the columns can show (false otherwise: the caller
// doubles it first).
bool CDravelinDlg::ScaleToWorkArea(const std::uint8_t* source, int width, int height,
                                   bool doubled) {
    AppGlobalState& app = *g_lpApp;
    const int areaWidth = m_rcWorkArea.width();
    const int areaHeight = m_rcWorkArea.height();
    if (!app.lp_FullScreenBuffer || areaWidth <= 0 || areaHeight <= 0)
        return false;
    const std::size_t capacity = app.dw_FullScreenBufferBytes;
    const std::size_t areaBytes = static_cast<std::size_t>(areaWidth) * areaHeight * 3;
    const int shown = doubled ? height * 2 : height;
    const std::size_t columnBytes = static_cast<std::size_t>(areaWidth) * shown * 3;
    if (areaBytes > capacity)
        return false;
    std::uint8_t* buffer = app.lp_FullScreenBuffer.get();
    const double xFactor = static_cast<double>(areaWidth) / width;
    const double yFactor = static_cast<double>(areaHeight) / shown;
    if (columnBytes > capacity) {
        if (doubled)
            return false;
        // Fewer rows on the screen than in the picture and a buffer too
        // small for the picture's rows: the whole area in one pass.
        if (ResizeImage_8u_C3R(source, {width, height}, width * 3, {0, 0, width, height}, buffer,
                               areaWidth * 3, {areaWidth, areaHeight}, xFactor, yFactor,
                               kResizeNearest) < kResizeOk) {
            return false;
        }
        CopyBottomUp(buffer, areaWidth * 3, areaHeight, areaWidth, areaHeight, m_back);
        m_backRows.clear();
        m_backPlan.reset();
        return true;
    }
    // The routine's columns, asked once per geometry as its rows are (it maps
    // both axes alike). With them the back picture is the frame itself and
    // the paint scales each row it shows across and converts it in one pass,
    // straight into the backing store. Should a column fall outside the
    // picture, the routine scales into the buffer as before.
    if (m_scaleFrom != width || m_scaleTo != areaWidth || m_scaleFactor != xFactor) {
        m_scaleFrom = width;
        m_scaleTo = areaWidth;
        m_scaleFactor = xFactor;
        auto plan = std::make_shared<picture_rows::ScalePlan>();
        m_scalePlan = plan->Make(picture_rows::NearestRowMap(width, areaWidth, xFactor), width)
                          ? std::move(plan)
                          : nullptr;
    }
    if (!m_scalePlan && doubled)
        return false;
    if (!m_scalePlan &&
        ResizeImage_8u_C3R(source, {width, height}, width * 3, {0, 0, width, height}, buffer,
                           areaWidth * 3, {areaWidth, height}, xFactor, 1.0,
                           kResizeNearest) < kResizeOk) {
        return false;
    }
    if (m_rowMapRows != shown || m_rowMapFactor != yFactor ||
        m_rowMap.size() != static_cast<std::size_t>(areaHeight)) {
        m_rowMap = picture_rows::NearestRowMap(shown, areaHeight, yFactor);
        m_rowMapRows = shown;
        m_rowMapFactor = yFactor;
        // A row the routine leaves unwritten is black; a row repeating the
        // one above it shows the same back picture row.
        m_screenRows.assign(static_cast<std::size_t>(areaHeight), PaintedRow{});
        m_bufferRows.clear();
        int previous = -1;
        for (int y = 0; y < areaHeight; ++y) {
            const int row = m_rowMap[static_cast<std::size_t>(areaHeight - 1 - y)];
            if (row >= 0) {
                if (row != previous)
                    m_bufferRows.push_back(row);
                m_screenRows[static_cast<std::size_t>(y)].upper =
                    static_cast<int>(m_bufferRows.size()) - 1;
            }
            previous = row;
        }
    }
    if (m_scalePlan) {
        // The picture converted once, rows as in memory; each work-area row
        // shows one of its rows, or of the doubled picture's, which blend two.
        const std::vector<PaintedRow>* lines = doubled ? DoubledRows(height) : nullptr;
        if (doubled && lines == nullptr)
            return false;
        EnsurePicture(m_back, width, height);
        const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
        for (int y = 0; y < height; ++y) {
            picture_rows::BgrToRgb32(source + static_cast<std::size_t>(y) * rowBytes,
                                     reinterpret_cast<std::uint32_t*>(m_back.scanLine(y)), width);
        }
        m_backRows.assign(static_cast<std::size_t>(areaHeight), PaintedRow{});
        for (int y = 0; y < areaHeight; ++y) {
            const int row = m_rowMap[static_cast<std::size_t>(areaHeight - 1 - y)];
            if (row >= 0) {
                m_backRows[static_cast<std::size_t>(y)] =
                    lines != nullptr ? (*lines)[static_cast<std::size_t>(shown - 1 - row)]
                                     : PaintedRow{row, 0};
            }
        }
        m_backPlan = m_scalePlan;
        return true;
    }
    EnsurePicture(m_back, areaWidth, std::max<int>(1, static_cast<int>(m_bufferRows.size())));
    for (std::size_t i = 0; i < m_bufferRows.size(); ++i) {
        picture_rows::BgrToRgb32(
            buffer + static_cast<std::size_t>(m_bufferRows[i]) * areaWidth * 3,
            reinterpret_cast<std::uint32_t*>(m_back.scanLine(static_cast<int>(i))), areaWidth);
    }
    m_backPlan.reset();
    m_backRows = m_screenRows;
    return true;
}

void CDravelinDlg::OnRateTimer() {
    if (g_lpApp == nullptr || !g_lpApp->f_VideoConnected)
        return;
    UpdateRates(platform::TickCount());
}

// Every two seconds: the frame rate and data rate of the period just ended.
void CDravelinDlg::UpdateRates(std::uint32_t now) {
    AppGlobalState& app = *g_lpApp;
    std::lock_guard rateLock(m_rateLock);
    const auto elapsed = static_cast<std::int32_t>(now - app.dw_RateTick.load());
    if (elapsed < static_cast<std::int32_t>(kRatePeriodMs))
        return;

    // The period starts at the count of the shared mark, which the start of
    // a stream resets together with the count: after a reconnection the
    // first period counts only the new stream's frames. When a stream
    // starts while this runs, the mark is no longer the one read, and the
    // period ends with the new stream instead.
    std::uint32_t periodStart = app.dw_FrameCountMark.load();
    const std::uint32_t frameCount = app.dw_FrameCount.load();
    if (!app.dw_FrameCountMark.compare_exchange_strong(periodStart, frameCount))
        return;
    app.dw_FrameCountNow = frameCount;
    const std::uint32_t frames =
        frameCount >= periodStart ? frameCount - periodStart : periodStart - frameCount;
    const double fps = frames * 1000.0 / elapsed;
    // 64-bit: a 32-bit product wraps above about 4.29 MB in a period.
    const std::uint64_t bytes = app.dw_ByteCount.exchange(0);
    const auto kbps =
        static_cast<std::uint32_t>(bytes * 1000 / static_cast<std::uint32_t>(elapsed) * 8 / 1024);
    char text[64];
    std::snprintf(text, sizeof text, "FR:%.2f fps ", fps);
    m_frameRateText = text;
    std::snprintf(text, sizeof text, "DR:%" PRIu32 " kbps ", kbps);
    m_dataRateText = text;
    app.dw_DataRate = kbps;
    app.dw_RateTick = now;
    if (IsDvrFamily())
        platform::PostWindowMessage(m_handle, WM_REDRAWINFOAREA, 0, 0);

    const std::string title = ::TitleText(C_FrameHeaderParser.CurrentHeader());
    {
        std::lock_guard lock(m_textLock);
        if (!m_bStreamEndedShown)
            m_strTitleText = title.empty() ? std::string() : "HU: " + title;
    }
    ReplaceStatusText(
        app.f_VideoLoss ? std::string("Video Loss!") : m_frameRateText + m_dataRateText,
        StatusSource::kRates);
}

void CDravelinDlg::OnShowStatus(std::uint64_t value, std::uint64_t code) {
    switch (code) {
        case 0: {
            const auto seconds = static_cast<int>(value % 1'000'000'000u);
            SetStatusText("ESCAPED TIME:  " + TwoDigitText(seconds / 60) + ":" +
                          TwoDigitText(seconds % 60));
            break;
        }
        case 1:
            SetStatusText("Start login");
            break;
        case 2:
            SetStatusText("Server is too busy!! Try later !!");
            break;
        case 3:
            SetStatusText("Login process is failed,wait a moment !!");
            break;
        case 5:
            SetCommandButtonsState(1, 0);
            break;
        case 6:
            SetCommandButtonsState(1, 1);
            break;
        case 7:
            SetStatusText(
                "System relogin too many user.Wait for 40 sec!!\nApplication will try again.");
            break;
        case 8:
            if (g_lpApp != nullptr)
                g_lpApp->f_LoginStatusShown = true;
            if (!m_bFullScreen) {
                const ViewLayoutRow& v = Layout();
                update(QRect(v[16], v[17], v[18] - v[16], v[19] - v[17]));
            }
            break;
        default:
            break;
    }
}

void CDravelinDlg::EnterFullScreenLayout() {
    SetRoundedRegion(QRect(QPoint(0, 0), m_rcWorkArea.size()), 0);
    clearMask();
    setGeometry(m_rcWorkArea);
    raise();
    for (CQelButton* button : m_btnTitle) {
        if (button != nullptr)
            button->hide();
    }
    m_channelBar.ShowButtons(true);
    ShowCommandBar(0);
    for (CQelButton* button : {m_btnPower, m_btnPanelUp, m_btnPanelDown}) {
        if (button != nullptr)
            button->hide();
    }
    HideAllRows();
    update();
}

void CDravelinDlg::PaintInfoArea(QPainter& painter, const ViewLayoutRow& v) {
    AppGlobalState& app = *g_lpApp;
    const QPoint at(v[kVlInfoX], v[kVlInfoY] + 12);
    const bool idle = !app.b_InfoHover.load();
    const std::string server = app.CSettingINI.m_strServerName.Get();
    // The text stays in the room before the title bar's buttons: where the
    // font at hand draws it wider, it is drawn smaller (cut short only
    // below the smallest size), never under the buttons.
    const auto drawText = [&](const QString& text) {
        const int room = v[kVlTitleX] - kInfoGap - at.x();
        const QFont saved = painter.font();
        QFont font = saved;
        int size = QFontInfo(font).pixelSize();
        while (size > kSmallestInfoPixels && QFontMetrics(font).horizontalAdvance(text) > room) {
            font.setPixelSize(--size);
        }
        painter.setFont(font);
        painter.drawText(at, QFontMetrics(font).elidedText(text, Qt::ElideRight, room));
        painter.setFont(saved);
    };
    const auto drawAddress = [&] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        char tail = 0;
        if (GetAddressKind(server) == 2 &&
            std::sscanf(server.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) == 4) {
            painter.setPen(Qt::cyan);
            drawText(QStringLiteral("IP:%1.%2.%3.%4")
                         .arg(a & 0xFF)
                         .arg(b & 0xFF)
                         .arg(c & 0xFF)
                         .arg(d & 0xFF));
        }
    };
    if (IsDvrFamily()) {
        const std::string title = app.str_DeviceTitle.Get();
        if (!title.empty() && idle) {
            painter.setPen(Qt::yellow);
            drawText(QString::fromStdString(title));
        } else {
            drawAddress();
        }
    } else if (!idle) {
        drawAddress();
    } else {
        const SystemTime t = app.st_DeviceTime.Get();
        char text[40];
        std::snprintf(text, sizeof text, "%.4d/%.2d/%.2d %.2d:%.2d:%.2d", t.year, t.month, t.day,
                      t.hour, t.minute, t.second);
        painter.setPen(Qt::yellow);
        drawText(QString::fromLatin1(text));
    }
}

// The front picture by the painter; a row list is first spread into a
// picture of the GUI thread's own.
void CDravelinDlg::DrawFront(QPainter& painter) {
    if (m_front.isNull())
        return;
    if (m_frontRows.empty()) {
        painter.drawImage(m_frontOrigin, m_front);
        return;
    }
    ExpandFront(m_paintScratch);
    painter.drawImage(m_frontOrigin, m_paintScratch);
}

// The front picture's row list written straight into the window's backing
// store, when the painter paints into that store and it is a 32-bit image
// laid out as the picture (0xffRRGGBB, or the same bytes with an opaque
// alpha) at one device pixel a pixel. Writes only inside `region`, there
// black outside the picture when blackOutside; false (nothing written)
// otherwise.
bool CDravelinDlg::WriteFront(QPainter& painter, const QRegion& region, bool blackOutside) {
    QBackingStore* store = backingStore();
    QPaintEngine* engine = painter.paintEngine();
    if (store == nullptr || engine == nullptr || m_front.isNull() || m_frontRows.empty())
        return false;
    QPaintDevice* device = engine->paintDevice();
    if (device == nullptr || device != store->paintDevice() ||
        device->devType() != QInternal::Image) {
        return false;
    }
    auto* target = static_cast<QImage*>(device);
    const QImage::Format format = target->format();
    if ((format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
         format != QImage::Format_ARGB32_Premultiplied) ||
        target->devicePixelRatio() != 1.0 || devicePixelRatio() != 1.0) {
        return false;
    }
    const QTransform toDevice = painter.deviceTransform();
    if (toDevice.type() > QTransform::TxTranslate)
        return false;
    const QPoint offset(qRound(toDevice.dx()), qRound(toDevice.dy()));
    const QRect picture = FrontRect();
    const QRect inStore = target->rect().translated(-offset);
    // The store's memory as the painter writes it: no detaching copy.
    auto* bits = const_cast<uchar*>(target->constBits());
    const qsizetype stride = target->bytesPerLine();
    // A picture larger than the window's drawing surface (full screen) is
    // more than the caches keep: each row is made in a scratch row, where it
    // stays in the cache, and streamed to the store, which the display server
    // reads next, and a row repeating the one above is streamed again. A
    // window's picture is written in place, a repeated row copied from the
    // one above.
    const bool stream = static_cast<std::int64_t>(picture.width()) * picture.height() >
                        std::int64_t{kSurfaceWidth} * kSurfaceHeight;
    if (stream)
        m_rowScratch.resize(static_cast<std::size_t>(std::max(picture.width(), 0)));
    for (const QRect& part : region) {
        const QRect r = part.intersected(rect()).intersected(inStore);
        const PaintedRow* above = nullptr;  // the row in the scratch, in this rectangle
        for (int y = r.top(); y <= r.bottom(); ++y) {
            auto* out =
                reinterpret_cast<std::uint32_t*>(bits + (y + offset.y()) * stride) + offset.x();
            const bool inPicture = y >= picture.top() && y <= picture.bottom();
            const int from = inPicture ? std::max(r.left(), picture.left()) : r.right() + 1;
            const int to = inPicture ? std::min(r.right(), picture.right()) + 1 : r.right() + 1;
            const PaintedRow* row =
                inPicture ? &m_frontRows[static_cast<std::size_t>(y - picture.top())] : nullptr;
            const bool repeated = from < to && above != nullptr && row->upper >= 0 &&
                                  row->upper == above->upper && row->weight == above->weight;
            if (from < to && stream) {
                if (!repeated)
                    FrontRow(y - picture.top(), from - picture.left(), to - from,
                             m_rowScratch.data());
                picture_rows::StreamRow(m_rowScratch.data(), out + from, to - from);
            } else if (repeated) {
                std::memcpy(out + from,
                            reinterpret_cast<const std::uint32_t*>(
                                reinterpret_cast<const uchar*>(out) - stride) +
                                from,
                            static_cast<std::size_t>(to - from) * 4);
            } else if (from < to) {
                FrontRow(y - picture.top(), from - picture.left(), to - from, out + from);
            }
            above = from < to ? row : nullptr;
            if (blackOutside) {
                std::fill(out + r.left(), out + std::min(from, to), kBlack);
                std::fill(out + std::max(from, to), out + r.right() + 1, kBlack);
            }
        }
    }
    if (stream)
        picture_rows::StreamFence();
    return true;
}

void CDravelinDlg::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (g_lpApp == nullptr)
        return;
    // A picture is painted only in the mode it was made for: the last
    // full-screen picture never covers the skin after full screen was left
    // (nor a windowed one the work area), though the next frame may not be
    // drawn yet, or one of the old mode may still arrive.
    if (m_bFullScreen) {
        std::lock_guard lock(m_pictureLock);
        if (!m_frontFullScreen) {
            painter.fillRect(rect(), Qt::black);
            return;
        }
        if (WriteFront(painter, event->region(), true))
            return;
        // The scaled picture covers the work area; only what it leaves is black.
        if (!FrontRect().contains(rect()))
            painter.fillRect(rect(), Qt::black);
        DrawFront(painter);
        return;
    }
    const ViewLayoutRow& v = Layout();
    const auto slot = static_cast<std::size_t>(
        LayoutSlot(std::min<int>(g_lpApp->w_ViewMode, kViewModeCount - 1)));
    // A new frame repaints the picture's rectangle only. The picture is
    // opaque, so when that is all there is to repaint and no text or mark
    // lies in it, the backgrounds under it need not be drawn first.
    const QRect overlays =
        QRect(v[16], v[17], v[18] - v[16], v[19] - v[17])
            .united(QRect(v[75] - 34, v[76], v[77] - v[75] + 80, v[78] - v[76] + 4))
            .united(QRect(v[kVlInfoX], v[kVlInfoY] - 2, 200, 18));
    {
        std::lock_guard lock(m_pictureLock);
        const QRect picture = FrontRect();
        if (!m_front.isNull() && !m_frontFullScreen && picture.contains(event->rect()) &&
            !overlays.intersects(event->rect())) {
            if (!WriteFront(painter, event->region(), false))
                DrawFront(painter);
            return;
        }
    }
    painter.fillRect(rect(), QColor(24, 28, 34));
    const auto stretch = [&](const QImage& image, int x, int y, int w, int h) {
        if (!image.isNull())
            painter.drawImage(QRect(x, y, w, h), image);
    };
    if (m_bPanelShown) {
        stretch(m_hBackgroundEx[slot], v[4], v[5], v[6] - v[4], v[7] - v[5]);
    } else {
        stretch(m_hBackground[slot], v[8], v[9], v[10] - v[8], v[11] - v[9]);
    }
    stretch(m_hStatusBar[slot], v[16], v[17], v[18] - v[16], v[19] - v[17]);
    {
        std::lock_guard lock(m_pictureLock);
        if (!m_frontFullScreen)
            DrawFront(painter);
    }

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    font.setStyleHint(QFont::SansSerif);
    painter.setFont(font);
    const int baseline = painter.fontMetrics().ascent();
    std::string status;
    std::string title;
    std::string alarm;
    {
        std::lock_guard lock(m_textLock);
        status = m_strStatusText;
        title = m_strTitleText;
        alarm = m_strAlarmText;
    }
    painter.setPen(Qt::black);
    const QString statusText = QString::fromStdString(status).section(QLatin1Char('\n'), 0, 0);
    const StatusLineLayout line =
        LayOutStatusLine(painter.fontMetrics(), v, statusText, QString::fromStdString(title));
    painter.drawText(line.statusAt + QPoint(0, baseline), statusText);
    if (!line.title.isEmpty())
        painter.drawText(line.titleAt + QPoint(0, baseline), line.title);
    const int iconWidth = v[77] - v[75];
    const int iconHeight = v[78] - v[76];
    if (!alarm.empty()) {
        stretch(m_hAlarmIcon, v[75] - 34, v[76], iconWidth, iconHeight);
        painter.setPen(Qt::red);
        painter.drawText(QPoint(v[77] - 30, v[76] + 2 + baseline), QString::fromStdString(alarm));
    }
    if (status.rfind("FR", 0) == 0) {
        stretch(m_hOnlineUserIcon, v[75], v[76], iconWidth, iconHeight);
        painter.setPen(Qt::black);
        painter.drawText(QPoint(v[77] + 4, v[76] + 2 + baseline),
                         QString::number(C_FrameHeaderParser.CurrentHeader().byChannel));
    }
    PaintInfoArea(painter, v);
}
