#include "liveview/dialogs/wait_progress_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/application/string_table.h"
#include "platform/modal_dialog.h"
#include "platform/sync.h"

namespace liveview {

namespace {

constexpr std::chrono::milliseconds kDoneWait{10};

}  // namespace

int CWaitProgressDialog::s_dotCount = 1;

void CWaitProgressDialog::EndProgramNow(int code) {
    std::fflush(nullptr);
    std::_Exit(code);
}

CWaitProgressDialog::CWaitProgressDialog(QWidget* parent, platform::Waitable* done,
                                         ExitProgram exitProgram)
    : QDialog(parent), m_done(done), m_exitProgram(std::move(exitProgram)) {
    const std::string_view title = LoadText(3029);
    setWindowTitle(QString::fromLatin1(title.data(), static_cast<qsizetype>(title.size())));
    const QIcon icon = style()->standardIcon(QStyle::SP_DriveNetIcon);
    auto* leftIcon = new QLabel(this);
    auto* rightIcon = new QLabel(this);
    leftIcon->setPixmap(icon.pixmap(32, 32));
    rightIcon->setPixmap(icon.pixmap(32, 32));
    m_text = new QLabel(this);
    m_text->setMinimumWidth(120);
    auto* empty = new QLabel(this);  // a second line the box keeps empty
    m_cancel = new QPushButton("Cancel", this);
    connect(m_cancel, &QPushButton::clicked, this, &CWaitProgressDialog::OnCancel);

    auto* texts = new QVBoxLayout;
    texts->addWidget(m_text);
    texts->addWidget(empty);
    auto* row = new QHBoxLayout;
    row->addWidget(leftIcon);
    row->addLayout(texts, 1);
    row->addWidget(rightIcon);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_cancel, 0, Qt::AlignHCenter);

    m_dotsTimer = new QTimer(this);
    m_dotsTimer->setInterval(kDotsPeriod);
    connect(m_dotsTimer, &QTimer::timeout, this, [this] { OnTimer(kDotsTimerId); });
    m_giveUpTimer = new QTimer(this);
    m_giveUpTimer->setInterval(kGiveUpAfter);
    connect(m_giveUpTimer, &QTimer::timeout, this, [this] { OnTimer(kGiveUpTimerId); });
    OnInitDialog();
}

CWaitProgressDialog::~CWaitProgressDialog() = default;

int CWaitProgressDialog::DoModal() {
    return platform::RunModal(*this);
}

bool CWaitProgressDialog::OnInitDialog() {
    if (!m_initDone) {
        m_initDone = true;
        m_dotsTimer->start();
        m_giveUpTimer->start();
    }
    return true;
}

bool CWaitProgressDialog::TimersRunning() const {
    return m_dotsTimer->isActive() || m_giveUpTimer->isActive();
}

void CWaitProgressDialog::OnTimer(int id) {
    if (id == kDotsTimerId) {
        const std::string_view connecting = LoadText(3029);
        std::string text(connecting);
        text.append(static_cast<std::size_t>(s_dotCount), '.');
        m_text->setText(QString::fromStdString(text));
        s_dotCount = s_dotCount >= kMaxDots ? 1 : s_dotCount + 1;
        if (m_done != nullptr && m_done->Wait(kDoneWait) == platform::WaitResult::Signaled) {
            m_bDone = true;
        }
    } else if (id == kGiveUpTimerId) {
        m_dotsTimer->stop();
        m_giveUpTimer->stop();
        ShowMessage(4008);
        m_exitProgram(0);
        return;
    }
    update();
    if (m_bDone) {
        done(0);
    }
}

void CWaitProgressDialog::OnCancel() {
    m_dotsTimer->stop();
    m_giveUpTimer->stop();
    m_exitProgram(0);
}

void CWaitProgressDialog::done(int result) {
    // A closed box counts nothing more and gives up on nothing.
    m_dotsTimer->stop();
    m_giveUpTimer->stop();
    QDialog::done(result);
}

}  // namespace liveview
