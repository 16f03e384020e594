#include "liveview/control/cmos_toolbar.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/application/string_table.h"
#include "core/application/window_messages.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "platform/program_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kCommandTimeoutSeconds = 15;
constexpr std::size_t kReplyBytes = 1024;
constexpr std::uint16_t kFirstId = 8600;
constexpr int kModeButtons = 6;

struct ToolButton {
    int x, y, w, h;
    const char* up;
    const char* down;
};

constexpr std::array<ToolButton, CCmosToolBarDialog::kButtonCount> kButtons{{
    {6, 10, 30, 30, "FullFrame_UP", "FullFrame_DOWN"},
    {6, 44, 30, 30, "QFrame_LT_UP", "QFrame_LT_DOWN"},
    {6, 78, 30, 30, "QFrame_RT_UP", "QFrame_RT_DOWN"},
    {6, 112, 30, 30, "QFrame_LB_UP", "QFrame_LB_DOWN"},
    {6, 146, 30, 30, "QFrame_RB_UP", "QFrame_RB_DOWN"},
    {6, 180, 30, 30, "QFrame_CN_UP", "QFrame_CN_DOWN"},
    {6, 214, 30, 30, "CMOS_HR_UP", "CMOS_HR_DOWN"},
    {6, 248, 30, 30, "CMOS_VR_UP", "CMOS_VR_DOWN"},
}};

fs::path Face(const char* name) {
    return platform::ProgramFolder() / "BMP" / "CMOS" / (std::string(name) + ".bmp");
}

QString Text(unsigned id) {
    const std::string_view text = LoadText(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Sends one command without a body; the reply is read and not used.
bool Send(CCgiUrl& url) {
    std::array<std::uint8_t, kReplyBytes> reply{};
    std::uint32_t length = 0;
    CommandStatus status;
    return TirelSendCommand(url.GetCommandIndex(), url.GetUrlBuffer(), {}, &status, reply, &length,
                            kCommandTimeoutSeconds, kCommandTimeoutSeconds, 0) != 0;
}

CCgiUrl WithCookie(CgiCommand command) {
    CCgiUrl url(command);
    url.AddSessionCookie(g_szSessionCookie.Get());
    return url;
}

std::unique_ptr<CCmosToolBarDialog>& Holder() {
    static std::unique_ptr<CCmosToolBarDialog> toolbar;
    return toolbar;
}

std::atomic<platform::WindowHandle> g_handle{0};

}  // namespace

CCmosToolBarDialog::CCmosToolBarDialog(QWidget* owner) : QDialog(owner) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setFixedSize(kWidth, kHeight);
    // A rounded outline with 10 x 10 corners.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, kWidth, kHeight), 5.0, 5.0);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
    m_handle = platform::RegisterWindow(this);
    for (int i = 0; i < kButtonCount; ++i) {
        const ToolButton& row = kButtons[static_cast<std::size_t>(i)];
        auto* button = new CQelButton(this);
        const auto id = static_cast<unsigned>(kFirstId + i);
        button->setObjectName(QStringLiteral("button%1").arg(id));
        button->setGeometry(row.x, row.y, row.w, row.h);
        button->setToolTip(Text(id));
        button->setFocusPolicy(Qt::TabFocus);
        connect(button, &QPushButton::clicked, this, [this, i] {
            if (i < kModeButtons)
                SendZoomMode(static_cast<std::uint8_t>(i));
            else if (i == kModeButtons)
                OnRotateHR();
            else
                OnRotateVR();
        });
        m_btnTool[static_cast<std::size_t>(i)] = button;
    }
}

CCmosToolBarDialog::~CCmosToolBarDialog() {
    platform::UnregisterWindow(m_handle);
}

bool CCmosToolBarDialog::OnInitDialog() {
    m_hBackground = QImage(QString::fromStdString(
        (platform::ProgramFolder() / "BMP" / "CMOS" / "ToolBarBG.bmp").string()));
    if (m_hBackground.isNull())
        return false;
    for (int i = 0; i < kButtonCount; ++i) {
        const ToolButton& row = kButtons[static_cast<std::size_t>(i)];
        CQelButton* button = m_btnTool[static_cast<std::size_t>(i)];
        if (i < kModeButtons) {
            const std::vector<fs::path> files{Face(row.up), Face(row.up), Face(row.down),
                                              Face(row.down)};
            button->LoadButtonBitmap(2, files, CQelButton::kStyleCycling);
        } else {
            button->LoadButtonBitmap(Face(row.up), Face(row.down), Face(row.down),
                                     CQelButton::kStylePush);
        }
    }
    ShowModeState();
    return true;
}

void CCmosToolBarDialog::ShowModeState() {
    ++m_modePaints;
    for (int i = 0; i < kModeButtons; ++i)
        m_btnTool[static_cast<std::size_t>(i)]->SetState(i == m_byMode ? 1 : 0);
}

void CCmosToolBarDialog::SendZoomMode(std::uint8_t mode) {
    // The buttons show the reported mode again: the pressed one lights only
    // once the device reports it.
    ShowModeState();
    CCgiUrl url = WithCookie(CgiCommand::kOv9653Zoom);
    url.AddParamInt("MODE", mode);
    if (!Send(url))
        ShowMessage(4064);
}

bool CCmosToolBarDialog::SendRotate(const char* first, int firstValue, const char* second,
                                    int secondValue) {
    CCgiUrl url = WithCookie(CgiCommand::kOv9653Rotate);
    url.AddParamInt(first, firstValue);
    url.AddParamInt(second, secondValue);
    if (!Send(url)) {
        ShowMessage(4064);
        return false;
    }
    return true;
}

void CCmosToolBarDialog::OnRotateHR() {
    SendRotate("HR", m_bHR != 0 ? 0 : 1, "VR", m_bVR);
}

void CCmosToolBarDialog::OnRotateVR() {
    SendRotate("VR", m_bVR != 0 ? 0 : 1, "HR", m_bHR);
}

int CCmosToolBarDialog::OnCameraState(std::uint64_t wParam) {
    const auto mode = static_cast<std::uint8_t>(wParam & 0x0F);
    const std::uint8_t hr = (wParam & 0x80) != 0 ? 1 : 0;
    const std::uint8_t vr = (wParam & 0x40) != 0 ? 1 : 0;
    const bool changed = mode != m_byMode || hr != m_bHR || vr != m_bVR;
    m_byMode = mode;
    m_bHR = hr;
    m_bVR = vr;
    if (changed)
        ShowModeState();
    return 0;
}

void CCmosToolBarDialog::HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                                             std::uint64_t) {
    if (message == WM_CAMERASTATE)
        OnCameraState(wParam);
}

void CCmosToolBarDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_hBackground.isNull())
        painter.drawImage(QRect(0, 0, kWidth, kHeight), m_hBackground);
}

void CCmosToolBarDialog::keyPressEvent(QKeyEvent* event) {
    // Never closed by the keyboard.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ShowCameraToolbar(QWidget* owner, int x, int y) {
    auto& toolbar = Holder();
    if (!toolbar) {
        // A tool window of the main window: it stays above it, and the main
        // window running modally does not block it, as a window of its own
        // would be blocked.
        auto made = std::make_unique<CCmosToolBarDialog>(owner);
        if (!made->OnInitDialog())
            return;
        toolbar = std::move(made);
        g_handle = toolbar->Handle();
        // Should the main window go first, it takes its tool window with it.
        QObject::connect(toolbar.get(), &QObject::destroyed, [] {
            g_handle = 0;
            (void)Holder().release();
        });
    }
    toolbar->move(x, y);
    toolbar->show();
    toolbar->raise();
}

void MoveCameraToolbar(int x, int y) {
    if (Holder())
        Holder()->move(x, y);
}

void CloseCameraToolbar() {
    g_handle = 0;
    Holder().reset();
}

CCmosToolBarDialog* CameraToolbar() {
    return Holder().get();
}

platform::WindowHandle CameraToolbarHandle() {
    return g_handle.load();
}
