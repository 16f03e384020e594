#include "core/dialogs/login_dialog.h"

#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <system_error>
#include <vector>

#include "core/application/string_table.h"
#include "core/application/window_messages.h"
#include "core/dialogs/connect_wait_dialog.h"
#include "core/dialogs/login_dialog_hooks.h"
#include "core/login/login_exchange.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "core/widgets/dialog_units.h"
#include "core/widgets/qel_button.h"
#include "platform/message_box.h"
#include "platform/modal_dialog.h"
#include "platform/process_spawn.h"
#include "platform/program_folder.h"
#include "platform/sync.h"

namespace {

namespace fs = std::filesystem;

constexpr auto kThreadStopWait = std::chrono::milliseconds(30);
constexpr int kCornerEllipse = 15;
constexpr int kMaxPort = 65535;
constexpr std::uint16_t kAdministratorLevel = 30;
constexpr char kPlayerProgram[] = "VideoPlayer.exe";
constexpr char kRecordExtension[] = ".kst";

// A rectangle given as left, top, right, bottom.
constexpr QRect Ltrb(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

// ---- skin -------------------------------------------------------------------

enum SkinIndex : std::size_t {
    kSpacer,
    kLeftTop,
    kRightTop,
    kTopMiddle1,
    kTopMiddle2,
    kLeftMiddle,
    kRightMiddle,
    kLeftDown,
    kRightDown,
    kDownMiddle,
    kRunning,
};

constexpr std::array<std::string_view, 11> kSkinFiles{
    "BMP/LOGIN/spacer.bmp",       "BMP/LOGIN/left_top.bmp",    "BMP/LOGIN/right_top.bmp",
    "BMP/LOGIN/top_middle1.bmp",  "BMP/LOGIN/top_middle2.bmp", "BMP/LOGIN/left_middle.bmp",
    "BMP/LOGIN/right_middle.bmp", "BMP/LOGIN/left_down.bmp",   "BMP/LOGIN/right_down.bmp",
    "BMP/LOGIN/down_middle.bmp",  "BMP/LOGIN/running.bmp",
};

// Glyphs of the digits 0 to 9, then the one for every other character.
constexpr std::array<std::string_view, 11> kGlyphFiles{
    "BMP/LOGIN/login_0.bmp", "BMP/LOGIN/login_1.bmp",     "BMP/LOGIN/login_2.bmp",
    "BMP/LOGIN/login_3.bmp", "BMP/LOGIN/login_4.bmp",     "BMP/LOGIN/login_5.bmp",
    "BMP/LOGIN/login_6.bmp", "BMP/LOGIN/login_7.bmp",     "BMP/LOGIN/login_8.bmp",
    "BMP/LOGIN/login_9.bmp", "BMP/LOGIN/login_point.bmp",
};
constexpr std::size_t kPointGlyph = 10;

// Where each skin piece is painted, in painting order: the body over the
// whole window, the corners and top strips, then the columns and the
// bottom strip between the corners.
struct SkinPiece {
    SkinIndex image;
    QRect destination;
};

constexpr std::array<SkinPiece, 10> kSkinLayout{{
    {kSpacer, Ltrb(0, 0, 304, 341)},
    {kLeftTop, Ltrb(0, 0, 21, 34)},
    {kRightTop, Ltrb(278, 0, 304, 34)},
    {kLeftDown, Ltrb(0, 319, 25, 341)},
    {kRightDown, Ltrb(280, 319, 304, 341)},
    {kTopMiddle1, Ltrb(21, 0, 278, 12)},
    {kTopMiddle2, Ltrb(21, 12, 278, 34)},
    {kLeftMiddle, QRect(0, 34, 21, 285)},
    {kRightMiddle, QRect(278, 34, 26, 285)},
    {kDownMiddle, QRect(25, 319, 255, 22)},
}};

// ---- buttons and labels -------------------------------------------------------

struct CommandButton {
    int id;
    QRect rect;
    std::string_view normal;
    std::string_view over;
    std::string_view down;
    void (LoginDialog::*handler)();
};

constexpr std::array<CommandButton, 7> kCommandButtons{{
    {LoginDialog::kIdAddress, Ltrb(30, 50, 64, 84), "BMP/LOGIN/address.bmp",
     "BMP/LOGIN/address_over.bmp", "BMP/LOGIN/address_down.bmp", &LoginDialog::OnAddressButton},
    {LoginDialog::kIdSearch, Ltrb(80, 50, 114, 84), "BMP/LOGIN/search.bmp",
     "BMP/LOGIN/search_over.bmp", "BMP/LOGIN/search_down.bmp", &LoginDialog::OnSearchButton},
    {LoginDialog::kIdPlayer, Ltrb(130, 50, 164, 84), "BMP/LOGIN/player.bmp",
     "BMP/LOGIN/player_over.bmp", "BMP/LOGIN/player_down.bmp", &LoginDialog::OnPlayerButton},
    {LoginDialog::kIdUpgrade, Ltrb(230, 50, 264, 84), "BMP/LOGIN/download.BMP",
     "BMP/LOGIN/download_over.bmp", "BMP/LOGIN/download_down.bmp", &LoginDialog::OnUpgradeButton},
    {LoginDialog::kIdCopy, Ltrb(180, 50, 214, 84), "BMP/LOGIN/copy.bmp", "BMP/LOGIN/copy_over.bmp",
     "BMP/LOGIN/copy_down.bmp", &LoginDialog::OnCopyProgramButton},
    {LoginDialog::kIdConnect, Ltrb(50, 275, 82, 307), "BMP/LOGIN/enter.bmp",
     "BMP/LOGIN/enter_over.bmp", "BMP/LOGIN/enter_down.bmp", &LoginDialog::OnConnectButton},
    {LoginDialog::kIdCancel, Ltrb(215, 275, 247, 307), "BMP/LOGIN/cancel.bmp",
     "BMP/LOGIN/cancel_over.bmp", "BMP/LOGIN/cancel_down.bmp", &LoginDialog::OnCancelButton},
}};

// The field labels, each with the edit beside it.
enum class Field { kUser, kPassword, kServer, kPort };

struct FieldLabel {
    int id;
    QRect rect;
    std::string_view bitmap;
    Field field;
    QRect edit;
};

constexpr std::array<FieldLabel, 4> kFieldLabels{{
    {LoginDialog::kIdNameLabel, Ltrb(30, 100, 58, 128), "BMP/LOGIN/name.BMP", Field::kUser,
     QRect(93, 100, 180, 28)},
    {LoginDialog::kIdPasswordLabel, Ltrb(30, 136, 58, 164), "BMP/LOGIN/password.BMP",
     Field::kPassword, QRect(93, 136, 180, 28)},
    {LoginDialog::kIdIpLabel, Ltrb(30, 172, 58, 200), "BMP/LOGIN/ip.BMP", Field::kServer,
     QRect(93, 172, 180, 28)},
    {LoginDialog::kIdPortLabel, Ltrb(30, 208, 58, 236), "BMP/LOGIN/port.BMP", Field::kPort,
     QRect(93, 208, 100, 28)},
}};

constexpr std::array<std::string_view, 25> ListButtonFiles() {
    std::array<std::string_view, 25> files{};
    std::size_t n = 0;
    for (const CommandButton& button : kCommandButtons) {
        files[n++] = button.normal;
        files[n++] = button.over;
        files[n++] = button.down;
    }
    for (const FieldLabel& label : kFieldLabels) {
        files[n++] = label.bitmap;
    }
    return files;
}
constexpr std::array<std::string_view, 25> kButtonFiles = ListButtonFiles();

// Where the template places the edits and the hidden bit-rate label, in
// dialog units: x, y, width, height.
struct TemplateItem {
    int x, y, width, height;
};
constexpr TemplateItem kUserTemplate{36, 50, 81, 14};
constexpr TemplateItem kPasswordTemplate{36, 68, 81, 14};
constexpr TemplateItem kServerTemplate{36, 86, 81, 14};
constexpr TemplateItem kPortTemplate{36, 104, 27, 14};
constexpr TemplateItem kBitRateTemplate{94, 127, 27, 14};
constexpr TemplateItem kBitRateLabelTemplate{95, 116, 27, 8};

// What the dialog paints when a login fails, by the code of WM_LOGINFAILED.
constexpr std::array<std::string_view, 3> kFailureTexts{
    "Login procedure failed",  // 1
    "Too many user",           // 2
    "No support this device",  // 3
};

constexpr char kAdministratorOnlyText[] = "Only administrator could use upgrade firmware function";
constexpr char kUpgradeUnsupportedText[] = "Device doesn't support network upgrade FW";

fs::path InProgramFolder(std::string_view relative) {
    return platform::ProgramFolder() / fs::path(relative);
}

QImage LoadBitmap(std::string_view relative) {
    QImage image;
    if (!image.load(QFile::decodeName(InProgramFolder(relative).c_str()), "BMP")) {
        return {};
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

QString TextOf(unsigned id) {
    const std::string_view text = LoadText(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void PlaceByTemplate(QWidget* widget, const QFont& font, const TemplateItem& item) {
    widget->setGeometry(DialogUnitsToPixels(font, item.x, item.y, item.width, item.height));
}

bool IsEnterKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

std::string ToLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

}  // namespace

// ---- construction -------------------------------------------------------------

LoginDialog::LoginDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      m_user(new QLineEdit(this)),
      m_password(new QLineEdit(this)),
      m_server(new QLineEdit(this)),
      m_port(new QLineEdit(this)),
      m_bitRate(new QLineEdit(this)),
      m_bitRateLabel(new QLabel(QStringLiteral("BitRate:"), this)),
      m_pAnimating(std::make_shared<std::atomic<bool>>(false)) {
    setWindowTitle(QStringLiteral("kestrune"));
    const QFont dialogFont = font();
    PlaceByTemplate(m_user, dialogFont, kUserTemplate);
    PlaceByTemplate(m_password, dialogFont, kPasswordTemplate);
    PlaceByTemplate(m_server, dialogFont, kServerTemplate);
    PlaceByTemplate(m_port, dialogFont, kPortTemplate);
    PlaceByTemplate(m_bitRate, dialogFont, kBitRateTemplate);
    PlaceByTemplate(m_bitRateLabel, dialogFont, kBitRateLabelTemplate);
    m_password->setEchoMode(QLineEdit::Password);
    // The bit rate is kept for the preset only; nothing reads it.
    m_bitRate->hide();
    m_bitRate->setEnabled(false);
    m_bitRateLabel->hide();
    for (QWidget* widget : {static_cast<QWidget*>(m_user), static_cast<QWidget*>(m_password),
                            static_cast<QWidget*>(m_server), static_cast<QWidget*>(m_port),
                            static_cast<QWidget*>(m_bitRate)}) {
        WatchKeys(widget);
    }
    connect(m_port, &QLineEdit::textChanged, this, [this] { OnPortEditChange(); });
    m_handle = platform::RegisterWindow(this);
}

LoginDialog::~LoginDialog() {
    platform::UnregisterWindow(m_handle);
    StopLoginRun();
}

int LoginDialog::DoModal() {
    OnInitDialog();
    return platform::RunModal(*this) == QDialog::Accepted ? 1 : 2;
}

bool LoginDialog::OnInitDialog() {
    if (m_bInitStarted) {
        return m_bInitFinished;
    }
    m_bInitStarted = true;
    MembersToEdits();
    // The window's top edge is the origin of the edits' places below.
    const int origin = 0;
    move(0, 0);
    setFixedSize(kWidth, kHeight);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0, 0, kWidth, kHeight), kCornerEllipse / 2.0,
                           kCornerEllipse / 2.0);
    setMask(QRegion(rounded.toFillPolygon().toPolygon()));

    if (!LoadSkin()) {
        return false;
    }
    setToolTip(QStringLiteral("LOGIN"));
    CreateButtons();
    for (const FieldLabel& label : kFieldLabels) {
        QLineEdit* edit = label.field == Field::kUser       ? m_user
                          : label.field == Field::kPassword ? m_password
                          : label.field == Field::kServer   ? m_server
                                                            : m_port;
        edit->setGeometry(label.edit.translated(0, origin));
    }
    m_bInitFinished = true;
    return true;
}

bool LoginDialog::LoadSkin() {
    for (std::size_t i = 0; i < kSkinFiles.size(); ++i) {
        m_skin[i] = LoadBitmap(kSkinFiles[i]);
        if (m_skin[i].isNull()) {
            return false;
        }
    }
    for (std::size_t i = 0; i < kGlyphFiles.size(); ++i) {
        m_glyphs[i] = LoadBitmap(kGlyphFiles[i]);
        if (m_glyphs[i].isNull()) {
            return false;
        }
    }
    return true;
}

void LoginDialog::CreateButtons() {
    const auto create = [this](int id, const QRect& rect) {
        auto* button = new CQelButton(this);
        button->setGeometry(rect);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setToolTip(TextOf(static_cast<unsigned>(id)));
        button->setAutoDefault(false);
        button->setObjectName(QString::number(id));
        WatchKeys(button);
        button->show();
        return button;
    };
    std::size_t n = 0;
    for (const CommandButton& command : kCommandButtons) {
        CQelButton* button = create(command.id, command.rect);
        connect(button, &QPushButton::clicked, this,
                [this, handler = command.handler] { (this->*handler)(); });
        m_buttons[n++] = button;
    }
    for (const FieldLabel& label : kFieldLabels) {
        CQelButton* button = create(label.id, label.rect);
        button->LoadButtonBitmap(InProgramFolder(label.bitmap), CQelButton::kStyleSingle);
        m_buttons[n++] = button;
    }
    // A face that cannot be loaded is not reported; the button then shows
    // what it has.
    for (std::size_t i = 0; i < kCommandButtons.size(); ++i) {
        const CommandButton& command = kCommandButtons[i];
        m_buttons[i]->LoadButtonBitmap(InProgramFolder(command.normal),
                                       InProgramFolder(command.over), InProgramFolder(command.down),
                                       CQelButton::kStylePushHover);
    }
}

CQelButton* LoginDialog::Button(int id) const {
    for (CQelButton* button : m_buttons) {
        if (button != nullptr && button->objectName().toInt() == id) {
            return button;
        }
    }
    return nullptr;
}

std::span<const std::string_view> LoginDialog::SkinFiles() {
    return kSkinFiles;
}

std::span<const std::string_view> LoginDialog::GlyphFiles() {
    return kGlyphFiles;
}

std::span<const std::string_view> LoginDialog::ButtonFiles() {
    return kButtonFiles;
}

// ---- texts ------------------------------------------------------------------

void LoginDialog::EditsToMembers() {
    m_strServerName = m_server->text().toStdString();
    m_strUserName = m_user->text().toStdString();
    m_strPassword = m_password->text().toStdString();
    m_strPort = m_port->text().toStdString();
    m_strBitRate = m_bitRate->text().toStdString();
}

void LoginDialog::MembersToEdits() {
    const QString portBefore = m_port->text();
    m_bEditingPort = true;
    m_server->setText(FromStd(m_strServerName));
    m_user->setText(FromStd(m_strUserName));
    m_password->setText(FromStd(m_strPassword));
    m_port->setText(FromStd(m_strPort));
    m_bitRate->setText(FromStd(m_strBitRate));
    m_bEditingPort = false;
    // A changed port text goes through the port edit's own rule, as typing would.
    if (m_port->text() != portBefore || !m_bInitFinished) {
        OnPortEditChange();
    }
}

void LoginDialog::OnPortEditChange() {
    if (m_bEditingPort) {
        return;
    }
    EditsToMembers();
    std::string text = m_port->text().toStdString();
    if (!text.empty()) {
        std::erase_if(text, [](char c) { return c < '0' || c > '9'; });
        if (!text.empty()) {
            m_iPortNumber = ParseSaturatingInt(text);
        }
    }
    m_iPortNumber = std::clamp(m_iPortNumber, 0, kMaxPort);
    m_strPort = std::to_string(m_iPortNumber);
    m_bEditingPort = true;
    m_server->setText(FromStd(m_strServerName));
    m_user->setText(FromStd(m_strUserName));
    m_password->setText(FromStd(m_strPassword));
    m_port->setText(FromStd(m_strPort));
    m_bitRate->setText(FromStd(m_strBitRate));
    m_port->setCursorPosition(static_cast<int>(m_port->text().size()));
    m_bEditingPort = false;
}

// ---- keys and mouse -----------------------------------------------------------

void LoginDialog::WatchKeys(QWidget* widget) {
    widget->installEventFilter(this);
}

bool LoginDialog::eventFilter(QObject* watched, QEvent* event) {
    // Enter anywhere in the dialog logs in, exactly as Connect does.
    if (IsEnterKey(event)) {
        platform::PostWindowMessage(m_handle, WM_LOGINENTER, 0, 0);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void LoginDialog::keyPressEvent(QKeyEvent* event) {
    if (IsEnterKey(event)) {
        platform::PostWindowMessage(m_handle, WM_LOGINENTER, 0, 0);
        return;
    }
    QDialog::keyPressEvent(event);
}

void LoginDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        // The window has no title bar: a press anywhere on its body moves it.
        QWindow* window = windowHandle();
        if (window == nullptr || !window->startSystemMove()) {
            m_bDragging = true;
            m_dragOffset = event->globalPosition().toPoint() - pos();
        }
    }
    QDialog::mousePressEvent(event);
}

void LoginDialog::mouseMoveEvent(QMouseEvent* event) {
    if (m_bDragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
    }
    QDialog::mouseMoveEvent(event);
}

void LoginDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_bDragging = false;
    }
    QDialog::mouseReleaseEvent(event);
}

// ---- painting -----------------------------------------------------------------

QRect LoginDialog::ProgressBarRect() const {
    const QImage& running = m_skin[kRunning];
    const int step = running.width() / 2;
    return QRect(kStatusOrigin.x(), kStatusOrigin.y(), (kAnimationFrames * step), running.height());
}

bool LoginDialog::Animating() const {
    return m_pAnimating->load();
}

void LoginDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (const SkinPiece& piece : kSkinLayout) {
        const QImage& image = m_skin[piece.image];
        if (!image.isNull()) {
            painter.drawImage(piece.destination, image);
        }
    }

    const std::string version = g_lpApp != nullptr ? g_lpApp->str_AppVersion.Get() : std::string();
    const std::size_t length = std::min(version.size(), kVersionMaxLength);
    for (std::size_t i = 0; i < length; ++i) {
        const char c = version[i];
        const QImage& glyph =
            m_glyphs[c >= '0' && c <= '9' ? static_cast<std::size_t>(c - '0') : kPointGlyph];
        if (!glyph.isNull()) {
            painter.drawImage(
                QRect(kVersionOrigin.x() + 10 * static_cast<int>(i), kVersionOrigin.y(), 10, 20),
                glyph);
        }
    }

    const QImage& running = m_skin[kRunning];
    if (Animating() && !running.isNull()) {
        painter.fillRect(ProgressBarRect(), QColor::fromRgb(kProgressBarColour));
        painter.drawImage(QPoint(kStatusOrigin.x() + m_byAnimationFrame * (running.width() / 2),
                                 kStatusOrigin.y()),
                          running);
    }
    if (m_bLoginFailed) {
        painter.setPen(QColor::fromRgb(kFailureTextColour));
        painter.drawText(QRect(kStatusOrigin, QPoint(kWidth - 1, kHeight - 1)),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_strFailureText);
    }
}

// ---- login --------------------------------------------------------------------

bool LoginDialog::LoginRunning() const {
    return m_hLoginThread != nullptr && m_hLoginThread->Running();
}

void LoginDialog::StopLoginRun() {
    if (m_hStopEvent) {
        m_hStopEvent->Set();
    }
    // Each thread is asked to end and given 30 ms; one that overruns is
    // still joined, so nothing it uses goes away under it.
    if (m_hLoginThread) {
        m_hLoginThread->Stop(kThreadStopWait);
        m_hLoginThread.reset();
    }
    if (m_hAnimateThread) {
        m_hAnimateThread->Stop(kThreadStopWait);
        m_hAnimateThread.reset();
    }
}

void LoginDialog::OnConnectButton() {
    EditsToMembers();
    if (m_strUserName.empty() || m_strPassword.empty()) {
        ShowMessage(4081);
        return;
    }
    m_bLoginFailed = false;
    m_pAnimating->store(false);
    m_byAnimationFrame = 0;

    StopLoginRun();
    m_hStopEvent = std::make_shared<platform::Event>(false, false);
    // A new run: whatever the replaced one posted is dropped, and whatever
    // identity it stored is forgotten before the new one starts.
    ++m_run;
    m_bRunEnded = false;
    ClearLoginIdentity();

    LoginThreadParams params;
    params.serverName = m_strServerName;
    params.userName = m_strUserName;
    params.password = m_strPassword;
    params.port = m_strPort;
    params.dialog = m_handle;
    params.animating = m_pAnimating;
    params.stopEvent = m_hStopEvent;
    params.run = m_run;

    auto login = std::make_unique<platform::Thread>();
    if (!login->Start([params] { return LoginThread(params); }, "login")) {
        m_bRunEnded = true;
        return;
    }
    m_hLoginThread = std::move(login);
    auto animate = std::make_unique<platform::Thread>();
    if (animate->Start([params] { return LoginAnimateThread(params); }, "login-animate")) {
        m_hAnimateThread = std::move(animate);
        update();
    }
}

void LoginDialog::OnCancelButton() {
    reject();
}

void LoginDialog::HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                                      std::uint64_t lParam) {
    switch (message) {
        case WM_LOGINENTER:
            OnConnectButton();
            break;
        case WM_LOGINSUCCESS:
            if (lParam == m_run && !m_bRunEnded) {
                m_bRunEnded = true;
                accept();
            }
            break;
        case WM_LOGINFAILED:
            if (lParam != m_run || m_bRunEnded) {
                break;
            }
            m_bRunEnded = true;
            if (wParam >= 1 && wParam <= kFailureTexts.size()) {
                const std::string_view text = kFailureTexts[wParam - 1];
                m_strFailureText =
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
                m_bLoginFailed = true;
            }
            // The run is over: its last animation frame does not come back
            // over the failure text.
            m_pAnimating->store(false);
            update();
            break;
        case WM_LOGINANIMATE:
            if (lParam != m_run || m_bRunEnded) {
                break;
            }
            m_pAnimating->store(true);
            m_byAnimationFrame =
                static_cast<std::uint8_t>((m_byAnimationFrame + 1) % kAnimationFrames);
            update(ProgressBarRect());
            break;
        default:
            break;
    }
}

// ---- other buttons --------------------------------------------------------------

std::optional<fs::path> LoginDialog::NewestRecording(const fs::path& folder) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) {
        return std::nullopt;
    }
    struct Candidate {
        fs::path path;
        fs::file_time_type written;
    };
    std::vector<Candidate> candidates;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        const fs::directory_entry& entry = *it;
        if (!entry.is_regular_file(error) ||
            ToLower(entry.path().extension().string()) != kRecordExtension) {
            continue;
        }
        const auto written = entry.last_write_time(error);
        if (!error) {
            candidates.push_back({entry.path(), written});
        }
    }
    // Name order makes "the first found" the same on every file system.
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.path < b.path; });
    const Candidate* newest = nullptr;
    for (const Candidate& candidate : candidates) {
        if (newest == nullptr || candidate.written > newest->written) {
            newest = &candidate;
        }
    }
    if (newest == nullptr) {
        return std::nullopt;
    }
    return newest->path;
}

void LoginDialog::OnPlayerButton() {
    fs::path programFolder = platform::ProgramFolder();
    fs::path recordFolder;
    if (g_lpApp != nullptr) {
        const CSettingINI& settings = g_lpApp->CSettingINI;
        if (!settings.m_strProgramDir.empty()) {
            programFolder = settings.m_strProgramDir.Get();
        }
        recordFolder = settings.m_strRecordPath.Get();
    }
    // The recording travels as one argument of its own, never through a
    // command line split on spaces.
    std::vector<std::string> arguments;
    if (const auto newest = NewestRecording(recordFolder)) {
        arguments.push_back(newest->string());
    }
    if (!platform::SpawnDetached(programFolder / kPlayerProgram, arguments)) {
        ShowMessage(4098);
    }
}

void LoginDialog::OnSearchButton() {
    // What was typed since the texts were last taken stays: the members are
    // brought up to date before they go back into the edits.
    EditsToMembers();
    const auto chosen = GetLoginDialogHooks().runDeviceSearch(this);
    if (chosen) {
        const auto port = static_cast<std::uint16_t>(
            std::min<std::uint32_t>(chosen->webPort, static_cast<std::uint32_t>(kMaxPort)));
        m_strPort = std::to_string(port);
        m_strServerName = chosen->ipAddress;
        if (g_lpApp != nullptr) {
            g_lpApp->CSettingINI.m_wWebPort = port;
            SetServerAddress(chosen->ipAddress);
        }
    }
    MembersToEdits();
}

void LoginDialog::OnAddressButton() {
    EditsToMembers();
    const auto chosen = GetLoginDialogHooks().runAddressBook();
    if (!chosen) {
        return;
    }
    m_strUserName = chosen->userName;
    m_strServerName = chosen->ipAddress;
    m_strPort = std::to_string(chosen->port);
    MembersToEdits();
}

void LoginDialog::OnCopyProgramButton() {
    const LoginDialogHooks hooks = GetLoginDialogHooks();
    // The folder picker starts at the root of the system's file tree.
    const auto chosen = hooks.pickFolder(this, fs::path("/"));
    if (!chosen) {
        return;
    }
    std::error_code ignored;
    fs::create_directory(*chosen / "BMP", ignored);
    fs::path source = platform::ProgramFolder();
    if (g_lpApp != nullptr && !g_lpApp->CSettingINI.m_strProgramDir.empty()) {
        source = g_lpApp->CSettingINI.m_strProgramDir.Get();
    }
    hooks.copyProgram(this, source, *chosen);
}

void LoginDialog::OnUpgradeButton() {
    EditsToMembers();
    if (m_strUserName.empty() || m_strPassword.empty()) {
        ShowMessage(4081);
        return;
    }
    CConnectWaitDialog wait(
        nullptr, ConnectWaitTexts{m_strServerName, m_strUserName, m_strPassword, m_strPort});
    wait.m_strText = "Connect " + m_strServerName;
    if (wait.DoModal() != 1 || g_lpApp == nullptr) {
        return;
    }
    if (g_lpApp->w_UserLevel.load() != kAdministratorLevel) {
        platform::ShowMessageBox(0, kAdministratorOnlyText);
        return;
    }
    if (!IsDvrFamily() && !IsQ3A2() && !IsQ7BFamily() && !IsQ9C0()) {
        platform::ShowMessageBox(0, kUpgradeUnsupportedText);
        return;
    }
    if (IsDvrFamily() && CompareVersion("1031", g_lpApp->str_FWVersion.Get()) == 2) {
        platform::ShowMessageBox(0, kUpgradeUnsupportedText);
        return;
    }
    GetLoginDialogHooks().runUpgradeFirmware();
}
