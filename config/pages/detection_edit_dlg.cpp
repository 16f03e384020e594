#include "config/pages/detection_edit_dlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <chrono>

#include "config/pages/page_controls.h"
#include "core/application/window_messages.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"

namespace {

constexpr std::chrono::milliseconds kThreadStopBound{100};
// Posted by the frame thread to the dialog: a new copy waits for the paint.

template <class W>
W* Make(QWidget* parent, int id) {
    return pages::Named(new W(parent), id);
}

}  // namespace

CDetectionEditDlg::CDetectionEditDlg(bool quillmereInputs, QWidget* parent)
    : QDialog(parent), m_picture(kImageSlotBytes) {
    setWindowTitle("Edit");
    setMouseTracking(true);
    if (g_lpApp != nullptr) {
        m_pictureHeight = g_lpApp->b_VideoMode.load() == 0 ? 228 : 276;
        m_cellHeight = GridCellHeight(g_lpApp->b_VideoStandard.load());
    }
    m_channel = Make<QLabel>(this, 1413);
    m_detect = Make<QComboBox>(this, 1416);
    m_detect->addItems({"OFF", "ON"});
    m_lsEdit = Make<QLineEdit>(this, 1417);
    m_ssEdit = Make<QLineEdit>(this, 1418);
    m_tsEdit = Make<QLineEdit>(this, 1419);
    m_reEdit = Make<QLineEdit>(this, 1420);
    m_alarm = Make<QComboBox>(this, 1421);
    if (quillmereInputs) {
        m_alarm->addItems({"N.O.", "N.C.", "OFF"});
    } else {
        m_alarm->addItems({"LOW", "HIGH", "OFF"});
    }
    m_setup = Make<QPushButton>(this, 1068);
    m_setup->setText("Setup");
    m_selectAll = Make<QPushButton>(this, 1423);
    m_selectAll->setText("( + )\nSELECT\nALL");
    m_selectAll->hide();
    m_clearAll = Make<QPushButton>(this, 1424);
    m_clearAll->setText("( - )\nCLEAR\nALL");
    m_clearAll->hide();
    auto* ok = Make<QPushButton>(this, 1);
    ok->setText("OK");
    ok->setDefault(true);

    // The controls sit above the picture, which Setup adds below them.
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("NO.", this), 0, 0);
    grid->addWidget(m_channel, 0, 1);
    grid->addWidget(new QLabel("DETECT", this), 0, 2);
    grid->addWidget(m_detect, 0, 3);
    grid->addWidget(new QLabel("AREA", this), 0, 4);
    grid->addWidget(m_setup, 0, 5);
    grid->addWidget(new QLabel("ALARM", this), 0, 6);
    grid->addWidget(m_alarm, 0, 7);
    const char* names[] = {"LS", "SS", "TS", "RE"};
    QLineEdit* edits[] = {m_lsEdit, m_ssEdit, m_tsEdit, m_reEdit};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(new QLabel(names[i], this), 1, 2 * i);
        grid->addWidget(edits[i], 1, 2 * i + 1);
    }
    grid->addWidget(ok, 1, 8);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addStretch(1);
    outer->setSizeConstraint(QLayout::SetNoConstraint);
    resize(460, 100);

    connect(m_lsEdit, &QLineEdit::textEdited, this, [this] { OnValueEdited(m_lsEdit, m_ls, 15); });
    connect(m_ssEdit, &QLineEdit::textEdited, this, [this] { OnValueEdited(m_ssEdit, m_ss, 15); });
    connect(m_tsEdit, &QLineEdit::textEdited, this, [this] { OnValueEdited(m_tsEdit, m_ts, 15); });
    connect(m_reEdit, &QLineEdit::textEdited, this, [this] { OnValueEdited(m_reEdit, m_re, 61); });
    connect(m_setup, &QPushButton::clicked, this, &CDetectionEditDlg::OnSetup);
    connect(m_selectAll, &QPushButton::clicked, this, &CDetectionEditDlg::OnSelectAll);
    connect(m_clearAll, &QPushButton::clicked, this, &CDetectionEditDlg::OnClearAll);
    connect(ok, &QPushButton::clicked, this, &CDetectionEditDlg::accept);

    m_handle = platform::RegisterWindow(this);
    m_thread.Start([this] { return FrameThread(); }, "motion-area");
}

CDetectionEditDlg::~CDetectionEditDlg() {
    m_stop.Set();
    // Joined even when it overran: the buffers it writes outlive it. The
    // request is withdrawn once the thread has ended, so that it cannot
    // raise it again on its way out.
    m_thread.Stop(kThreadStopBound);
    if (g_lpApp != nullptr) {
        g_lpApp->f_FrameCopyRequest = false;
    }
    platform::UnregisterWindow(m_handle);
}

void CDetectionEditDlg::HandleWindowMessage(std::uint32_t message, std::uint64_t, std::uint64_t) {
    if (message == WM_FRAMECOPIED) {
        update();
    }
}

void CDetectionEditDlg::WriteControls() {
    m_alarm->setCurrentIndex(m_alarmIndex);
    m_detect->setCurrentIndex(m_detectIndex);
    m_channel->setText(m_channelText);
    m_lsEdit->setText(QString::number(m_ls));
    m_ssEdit->setText(QString::number(m_ss));
    m_tsEdit->setText(QString::number(m_ts));
    m_reEdit->setText(QString::number(m_re));
}

bool CDetectionEditDlg::ReadControls() {
    m_alarmIndex = m_alarm->currentIndex();
    m_detectIndex = m_detect->currentIndex();
    for (QLineEdit* edit : {m_lsEdit, m_ssEdit, m_tsEdit, m_reEdit}) {
        bool number = false;
        (void)edit->text().toInt(&number);
        if (!number) {
            edit->setFocus();
            return false;
        }
    }
    m_ls = m_lsEdit->text().toInt();
    m_ss = m_ssEdit->text().toInt();
    m_ts = m_tsEdit->text().toInt();
    m_re = m_reEdit->text().toInt();
    return true;
}

void CDetectionEditDlg::accept() {
    // An edit left without a number keeps the dialog open.
    if (ReadControls()) {
        QDialog::accept();
    }
}

void CDetectionEditDlg::OnValueEdited(QLineEdit* edit, int& member, int maximum) {
    std::string text = edit->text().toStdString();
    FilterDigits(text, 1);
    if (text.empty()) {
        return;
    }
    // Saturating: a long run of digits reads as the maximum.
    const std::size_t digits = std::min<std::size_t>(text.size(), 6);
    const int value = text.size() > digits ? maximum : std::stoi(text.substr(0, digits));
    member = std::min(value, maximum);
    m_alarmIndex = m_alarm->currentIndex();
    m_detectIndex = m_detect->currentIndex();
    WriteControls();
}

void CDetectionEditDlg::OnSetup() {
    AppGlobalState* app = g_lpApp;
    setGeometry(QRect(geometry().topLeft(), QSize(width(), height() + m_pictureHeight + 20)));
    m_setup->setEnabled(false);
    const float dpi = app != nullptr ? app->fl_DpiScale : 1.0f;
    if (app != nullptr) {
        app->f_FrameCopyRequest = false;
        // One semaphore serves every copy: it is never replaced while the
        // frame drawing may release it. A copy left from an earlier
        // request is dropped here; the frame thread raises the request.
        if (app->h_FrameCopySem) {
            (void)app->h_FrameCopySem->Wait(std::chrono::milliseconds(0));
        }
    }
    m_x0 = (width() - m_pictureWidth) / 2;
    m_y0 = static_cast<int>(60 * dpi + 40);
    const int bw = static_cast<int>(65 * dpi);
    const int bh = static_cast<int>(60 * dpi);
    m_selectAll->setGeometry(m_x0 + m_pictureWidth * 65 / 64, m_y0 + m_pictureHeight / 8, bw, bh);
    m_clearAll->setGeometry(m_x0 + m_pictureWidth * 65 / 64, m_y0 + m_pictureHeight * 5 / 8, bw,
                            bh);
    m_selectAll->show();
    m_clearAll->show();
    update();
    m_start.Set();
}

std::uint32_t CDetectionEditDlg::FrameThread() {
    if (platform::WaitForAny({&m_start, &m_stop}, platform::kInfinite) != 0) {
        return 0;
    }
    std::vector<std::uint8_t> scaled(kImageSlotBytes);
    for (;;) {
        AppGlobalState* app = g_lpApp;
        if (app == nullptr || !app->h_FrameCopySem || !app->lp_FrameCopyBuffer) {
            return 0;
        }
        app->f_FrameCopyRequest = true;
        // The drawing clears the request before it releases the copy: a
        // release while the request still stands was left from an earlier
        // request, and the buffer may be written again right now.
        do {
            if (platform::WaitForAny({app->h_FrameCopySem.get(), &m_stop}, platform::kInfinite) !=
                0) {
                return 0;
            }
        } while (app->f_FrameCopyRequest);
        // The copy is complete, and the drawing does not write it again
        // before the next request.
        const auto size = ScaleFrameCopy(
            std::span<const std::uint8_t>(app->lp_FrameCopyBuffer.get(), kImageSlotBytes),
            app->w_CopyWidth, app->w_CopyHeight, scaled);
        if (!size) {
            continue;
        }
        {
            std::lock_guard lock(m_pictureLock);
            const std::size_t bytes =
                static_cast<std::size_t>(size->width) * static_cast<std::size_t>(size->height) * 3;
            std::copy_n(scaled.begin(), bytes, m_picture.begin());
            m_imageWidth = size->width;
            m_imageHeight = size->height;
        }
        m_frameArrived = true;
        platform::PostWindowMessage(m_handle, WM_FRAMECOPIED, 0, 0);
    }
}

QImage CDetectionEditDlg::ComposedPicture() const {
    std::vector<std::uint8_t> work;
    int w = 0;
    int h = 0;
    {
        std::lock_guard lock(m_pictureLock);
        w = m_imageWidth;
        h = m_imageHeight;
        work.assign(m_picture.begin(), m_picture.begin() + static_cast<std::ptrdiff_t>(w) * h * 3);
    }
    if (w <= 0 || h <= 0) {
        return {};
    }
    // The overlay goes into the work copy, never into a shared buffer.
    DrawOverlay(work, w, h, m_area, m_selection);
    const QImage bottomUp(work.data(), w, h, w * 3, QImage::Format_BGR888);
    return bottomUp.mirrored(false, true);
}

void CDetectionEditDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!m_frameArrived) {
        return;
    }
    const QImage picture = ComposedPicture();
    if (picture.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawImage(QRect(m_x0, m_y0, m_pictureWidth, m_pictureHeight), picture);
}

bool CDetectionEditDlg::Inside(const QPoint& p) const {
    return m_frameArrived && p.x() >= m_x0 && p.x() < m_x0 + kGridPictureWidth && p.y() >= m_y0 &&
           p.y() < m_y0 + m_pictureHeight;
}

std::optional<int> CDetectionEditDlg::CellUnder(const QPoint& p) const {
    if (!Inside(p)) {
        return std::nullopt;
    }
    return CellAt(p.x(), p.y(), m_x0, m_y0, m_pictureHeight, m_cellHeight);
}

void CDetectionEditDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_mouse == kIdle && Inside(event->pos())) {
        m_mouse = kPressed;
    }
    QDialog::mousePressEvent(event);
}

void CDetectionEditDlg::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->pos();
    const auto cell = CellUnder(p);
    if (!cell) {
        if (m_mouse != kDragging && AnyCell(m_selection)) {
            m_selection.fill(0);
            update();
        }
        return;
    }
    switch (m_mouse) {
        case kIdle:
            m_selection.fill(0);
            SetCellBit(m_selection, *cell, true);
            update();
            break;
        case kPressed:
            m_dragStart = p;
            m_selection.fill(0);
            SetCellBit(m_selection, *cell, true);
            m_mouse = kDragging;
            update();
            break;
        case kDragging:
            if (p != m_dragStart) {
                m_dragCurrent = p;
                m_selection = DragSelection(m_dragStart.x() - m_x0, m_dragStart.y() - m_y0,
                                            p.x() - m_x0, p.y() - m_y0, m_cellHeight);
                update();
            }
            break;
    }
}

void CDetectionEditDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (m_mouse == kPressed) {
        if (const auto cell = CellUnder(event->pos())) {
            ToggleCell(m_area, *cell);
            update();
        }
    } else if (m_mouse == kDragging) {
        for (int cell = 0; cell < kGridCells; ++cell) {
            if (CellBit(m_selection, cell)) {
                ToggleCell(m_area, cell);
            }
        }
        m_selection.fill(0);
        update();
    }
    m_mouse = kIdle;
}

void CDetectionEditDlg::OnSelectAll() {
    m_area.fill(0);
    update();
}

void CDetectionEditDlg::OnClearAll() {
    m_area.fill(0xFF);
    update();
}

QWidget* CDetectionEditDlg::Control(int id) const {
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->property("controlId").toInt() == id) {
            return w;
        }
    }
    return nullptr;
}
