#include "liveview/window/main_window.h"

#include <QHBoxLayout>
#include <QTimer>
#include <QLabel>
#include <QPushButton>
#include <QPainter>
#include <QVBoxLayout>
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "core/login/kernel_message.h"
#include "core/login/process_control.h"
#include "core/login/session_login.h"
#include "core/application/string_table.h"
#include "core/application/trace_log.h"
#include "core/application/subsystem_services.h"
#include "core/application/window_messages.h"
#include "media/frame_header.h"
#include "media/jpeg_codec_adapter.h"
#include "media/media_state.h"
#include "platform/clock.h"
#include "resample/resize.h"

namespace {

constexpr std::uint32_t kRatePeriodMs = 2000;

// Copies a bottom-up BGR picture into a top-down image.
void CopyBottomUp(const std::uint8_t* source, int width, int height, QImage& image) {
    if (image.width() != width || image.height() != height || image.format() != QImage::Format_BGR888) {
        image = QImage(width, height, QImage::Format_BGR888);
    }
    const auto rowBytes = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        std::memcpy(image.scanLine(y), source + static_cast<std::size_t>(height - 1 - y) * rowBytes,
                    rowBytes);
    }
}

}  // namespace

CDravelinDlg::CDravelinDlg(QWidget* parent)
    : QDialog(parent), m_status(new QLabel(this)), m_record(new QPushButton(this)) {
    setWindowTitle(QStringLiteral("kestrune"));
    resize(720, 540);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    m_record->setText(QString::fromUtf8(LoadText(8328).data(), static_cast<qsizetype>(LoadText(8328).size())));
    connect(m_record, &QPushButton::clicked, this, [this] { OnRecord(); });
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_record);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addLayout(bottom);
    m_handle = platform::RegisterWindow(this);
    auto* rateTimer = new QTimer(this);
    connect(rateTimer, &QTimer::timeout, this, [this] { OnRateTimer(); });
    rateTimer->start(500);
}

void CDravelinDlg::OnRateTimer() {
    if (g_lpApp == nullptr || !g_lpApp->f_VideoConnected) return;
    UpdateRates(platform::TickCount());
}

CDravelinDlg::~CDravelinDlg() {
    platform::UnregisterWindow(m_handle);
    if (g_lpApp != nullptr) {
        CDravelinDlg* self = this;
        g_lpApp->lp_MainDialog.compare_exchange_strong(self, nullptr);
        platform::WindowHandle handle = m_handle;
        g_lpApp->h_MainDialogHandle.compare_exchange_strong(handle, 0);
    }
}

void CDravelinDlg::OnInitDialog() {
    if (g_lpApp == nullptr) return;
    AppGlobalState& app = *g_lpApp;
    app.h_MainDialogHandle = m_handle;
    app.lp_MainDialog = this;
    app.b_VideoStandard = app.b_VideoMode.load();
    if (!ReadDeviceInformation()) {
        // One failed request must not leave a blank window for good: say so,
        // and let the re-login cycle (login, device information, stream)
        // try again as it does after a stream failure.
        WriteTraceLine("main window: device information not read, logging in again");
        SetStatusText("Get device information failed!! Login again !!");
        PostKernelMessage(Get_Image_TimeOut_Message);
        return;
    }
    app.b_VideoStandard = app.b_VideoMode.load();
    GetMediaState().C_ViewModeSelector.ResetViewMode();
    GetMediaState().C_FrameTimer.Start(app.str_ProductID.Get());
    SetStatusText("Start to get image!!");
    SignalStreamStartEvents();
}

int CDravelinDlg::SetStatusText(const std::string& text) {
    // The text is kept here and the label refreshed on the GUI thread, so
    // any thread may set it without waiting for the window.
    {
        std::lock_guard lock(m_textLock);
        m_statusText = text;
    }
    platform::PostWindowMessage(m_handle, WM_SETSTATUSTEXT, 0, 0);
    return 1;
}

std::string CDravelinDlg::StatusText() const {
    std::lock_guard lock(m_textLock);
    return m_statusText;
}

std::string CDravelinDlg::AlarmText() const {
    std::lock_guard lock(m_textLock);
    return m_alarmText;
}

std::string CDravelinDlg::TitleText() const {
    std::lock_guard lock(m_textLock);
    return m_titleText;
}

void CDravelinDlg::ClearInfoTexts() {
    std::lock_guard lock(m_textLock);
    m_alarmText.clear();
    m_titleText.clear();
}

QImage CDravelinDlg::CurrentPicture() const {
    std::lock_guard lock(m_pictureLock);
    return m_front.copy();
}

int CDravelinDlg::DrawVideoFrame() {
    AppGlobalState& app = *g_lpApp;
    // The show thread waits for this event after every frame, whatever
    // happens here.
    struct FrameDone {
        ~FrameDone() { SignalFrameShown(); }
    } done;
    if (!app.f_VideoConnected) return 0;

    const std::uint8_t* source = app.lp_CurrentImage.load();
    int width = app.w_ImageWidth;
    int height = app.w_ImageHeight;
    if (source == nullptr || width <= 0 || height <= 0 ||
        static_cast<std::size_t>(width) * height * 3 > kImageSlotBytes) {
        return 0;
    }

    // Field-height pictures of the wide formats are shown with their lines doubled.
    if (width >= 640 && !IsQ9C0() && app.lp_DoubleLineBuffer &&
        static_cast<std::size_t>(width) * height * 6 <= kImageSlotBytes) {
        const ResizeStatus status =
            ResizeImage_8u_C3R(source, {width, height}, width * 3, {0, 0, width, height},
                               app.lp_DoubleLineBuffer.get(), width * 3, {width, height * 2}, 1.0,
                               2.0, kResizeLinear);
        if (status >= kResizeOk) {
            source = app.lp_DoubleLineBuffer.get();
            height *= 2;
        }
    }

    {
        std::lock_guard lock(m_pictureLock);
        CopyBottomUp(source, width, height, m_back);
        std::swap(m_front, m_back);
    }
    platform::PostWindowMessage(m_handle, WM_FRAMEREADY, 0, 0);

    const std::size_t pictureBytes = static_cast<std::size_t>(width) * height * 3;
    if (app.f_FrameCopyRequest && app.lp_FrameCopyBuffer && pictureBytes <= kImageSlotBytes) {
        app.w_CopyWidth = static_cast<std::uint16_t>(width);
        app.w_CopyHeight = static_cast<std::uint16_t>(height);
        std::memcpy(app.lp_FrameCopyBuffer.get(), source, pictureBytes);
        app.f_FrameCopyRequest = false;
        if (app.h_FrameCopySem) app.h_FrameCopySem->Release();
    }

    if (app.f_SnapshotRequest.exchange(false)) {
        std::string folder = app.CSettingINI.m_strSnapshotPath.Get();
        if (SaveSnapshotFile(folder, std::span<const std::uint8_t>(source, pictureBytes), width,
                             height, 1) == 0) {
            platform::PostWindowMessage(m_handle, WM_SHOWERRORMESSAGE, 4116, 0);
        }
    }

    const std::uint16_t alarm = C_FrameHeaderParser.m_wAlarmData;
    {
        std::lock_guard lock(m_textLock);
        m_alarmText = alarm != 0 ? std::to_string(std::countr_zero(alarm) + 1) : std::string();
    }
    UpdateRates(platform::TickCount());
    return 1;
}

// Every two seconds: the frame rate and data rate of the period just ended.
void CDravelinDlg::UpdateRates(std::uint32_t now) {
    AppGlobalState& app = *g_lpApp;
    std::lock_guard rateLock(m_rateLock);
    const auto elapsed = static_cast<std::int32_t>(now - app.dw_RateTick.load());
    if (elapsed < static_cast<std::int32_t>(kRatePeriodMs)) return;

    const std::uint32_t frameCount = app.dw_FrameCount;
    const std::uint32_t frames = frameCount >= m_frameCountAtPeriodStart
                                     ? frameCount - m_frameCountAtPeriodStart
                                     : m_frameCountAtPeriodStart - frameCount;
    m_frameCountAtPeriodStart = frameCount;
    const double fps = frames * 1000.0 / elapsed;
    const std::uint32_t bytes = app.dw_ByteCount;
    const std::uint32_t kbps = static_cast<std::uint32_t>((static_cast<std::uint64_t>(bytes) * 1000 /
                                                            static_cast<std::uint32_t>(elapsed)) *
                                                           8 / 1024);
    char text[64];
    std::snprintf(text, sizeof text, "FR:%.2f fps ", fps);
    m_frameRateText = text;
    std::snprintf(text, sizeof text, "DR:%" PRIu32 " kbps ", kbps);
    m_dataRateText = text;
    app.dw_DataRate = kbps;
    app.dw_RateTick = now;
    app.dw_ByteCount = 0;
    if (IsDvrFamily()) platform::PostWindowMessage(m_handle, WM_REDRAWINFOAREA, 0, 0);

    const std::string title = ::TitleText(C_FrameHeaderParser.CurrentHeader());
    {
        std::lock_guard lock(m_textLock);
        m_titleText = title.empty() ? std::string() : "HU: " + title;
    }
    SetStatusText(app.f_VideoLoss ? std::string("Video Loss!") : m_frameRateText + m_dataRateText);
}

int CDravelinDlg::SetCommandButtonsState(std::uint32_t stateBits, std::uint8_t state) {
    if (stateBits & kRecordButtonBit) platform::PostWindowMessage(m_handle, WM_RECORDSTATE, state, 0);
    return 1;
}

void CDravelinDlg::OnRecord() {
    AppGlobalState& app = *g_lpApp;
    if (!app.f_VideoConnected) {
        ShowMessage(4085);
        return;
    }
    CUserRecord& recorder = GetMediaState().C_UserRecord;
    const auto caption = [](unsigned id) {
        const std::string_view text = LoadText(id);
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    };
    if (!recorder.IsActive()) {
        if (recorder.StartRecord(app.CSettingINI.m_strRecordPath.Get()) == 0) {
            ShowMessage(4018);
            return;
        }
        m_record->setText(caption(8327));
    } else {
        m_record->setText(caption(8328));
        recorder.StopRecord();
    }
}

void CDravelinDlg::OnShowStatus(std::uint64_t argument, std::uint64_t code) {
    switch (code) {
        case 0: {
            const auto seconds = static_cast<int>(argument);
            SetStatusText("ESCAPED TIME:  " + TwoDigitText(seconds / 60) + ":" + TwoDigitText(seconds % 60));
            break;
        }
        case 1: SetStatusText("Start login"); break;
        case 2: SetStatusText("Server is too busy!! Try later !!"); break;
        case 3: SetStatusText("Login process is failed,wait a moment !!"); break;
        case 5: LiveView().SetCommandButtonsState(1, 0); break;
        case 6: LiveView().SetCommandButtonsState(1, 1); break;
        case 7:
            SetStatusText("System relogin too many user.Wait for 40 sec!!\nApplication will try again.");
            break;
        case 8:
            if (g_lpApp != nullptr) g_lpApp->f_LoginStatusShown = true;
            update();
            break;
        default: break;
    }
}

void CDravelinDlg::HandleWindowMessage(std::uint32_t message, std::uint64_t wParam, std::uint64_t lParam) {
    switch (message) {
        case WM_SETSTATUSTEXT: {
            QString text = QString::fromStdString(StatusText());
            const std::string title = TitleText();
            if (!title.empty()) text += QStringLiteral("    ") + QString::fromStdString(title);
            const std::string alarm = AlarmText();
            if (!alarm.empty()) text += QStringLiteral("    ALARM ") + QString::fromStdString(alarm);
            m_status->setText(text);
            break;
        }
        case WM_FRAMEREADY:
            update();
            break;
        case WM_RECORDSTATE: {
            const std::string_view text = LoadText(wParam != 0 ? 8327 : 8328);
            m_record->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
            break;
        }
        case WM_SHOWLOGINSTATUS:
            OnShowStatus(wParam, lParam);
            break;
        case WM_SHOWERRORMESSAGE:
            ShowMessage(static_cast<unsigned>(wParam));
            break;
        case WM_LIFETIMEOVER:
            done(QDialog::Rejected);
            break;
        default:
            break;
    }
}

void CDravelinDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    std::lock_guard lock(m_pictureLock);
    if (!m_front.isNull()) painter.drawImage(QPoint(0, 0), m_front);
}

int CDravelinDlg::DestroyWindow() {
    if (m_destroyed) return 1;
    m_destroyed = true;
    Media().StopRecorders();
    // Both releases are tried and the settings saved whatever they report:
    // a thread that would not end is already traced by the stopper, and
    // keeping the window open would only leave the operator stuck.
    if (!ExitLoginResource()) WriteTraceLine("main window: login resources not fully released");
    if (!ExitProcessResource()) WriteTraceLine("main window: process resources not fully released");
    if (g_lpApp != nullptr) g_lpApp->CSettingINI.SaveToFile(g_lpApp->b_TurboRepeatStep);
    // The show thread's end event belonged to the login resources, which are
    // gone now; nothing is left to set or to wait for.
    return 1;
}

void CDravelinDlg::done(int result) {
    DestroyWindow();
    QDialog::done(result);
}
