#include "config/sheet/page_frame.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

namespace {

// The icon's size in the caption strip.
constexpr int kCaptionIconSize = 16;

}  // namespace

void PageFrame::ShowCaption(bool show) {
    m_captionShown = show;
    Invalidate(CaptionArea());
}

void PageFrame::SetCaptionHeight(int height) {
    m_captionHeight = height;
    Invalidate(CaptionArea());
}

void PageFrame::SetCaption(const QString& text, const QIcon& icon) {
    m_captionText = text;
    m_captionIcon = icon;
    Invalidate(CaptionArea());
}

void PageFrame::SetMessageText(const QString& text) {
    m_messageText = text;
    Invalidate(MessageArea());
}

void PageFrame::SetMessageFormat(int format) {
    m_messageFormat = format;
    Invalidate(MessageArea());
}

void PageFrame::Draw(QPainter& painter) {
    if (m_captionShown) {
        DrawCaption(painter, CaptionArea(), m_captionText, m_captionIcon);
    }
    DrawMessage(painter, MessageArea(), m_messageText, m_messageFormat);
}

QRect PageFrame::ClientRect() const {
    const QWidget* window = Window();
    return window != nullptr ? window->rect() : QRect();
}

QRect PageFrame::MessageArea() const {
    QRect area = ClientRect();
    if (m_captionShown) {
        area.setTop(area.top() + m_captionHeight);
    }
    return area;
}

QRect PageFrame::CaptionArea() const {
    QRect area = ClientRect();
    area.setHeight(m_captionShown ? std::max(m_captionHeight, 0) : 0);
    return area;
}

void PageFrame::DrawMessage(QPainter& painter, const QRect& area, const QString& text, int format) {
    painter.save();
    painter.setFont(QApplication::font());
    painter.setBackgroundMode(Qt::TransparentMode);
    if (const QWidget* window = Window()) {
        painter.setPen(window->palette().color(QPalette::WindowText));
    }
    painter.drawText(area, format, text);
    painter.restore();
}

void PageFrame::DrawCaption(QPainter&, const QRect&, const QString&, const QIcon&) {}

void PageFrame::Invalidate(const QRect& area) const {
    if (QWidget* window = Window(); window != nullptr && !area.isEmpty()) {
        window->update(area);
    }
}

PageFrameWnd::PageFrameWnd(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Page Frame"));
    setWindowTitle(QStringLiteral("Page Frame"));
    setCursor(Qt::ArrowCursor);
    // Erased with the button face, as the default erase does without a theme.
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    hide();
}

PageFrameWnd::~PageFrameWnd() = default;

bool PageFrameWnd::Create(bool visible, const QRect& rect, QWidget* parent, int id) {
    setParent(parent);
    setGeometry(rect);
    m_id = id;
    m_created = true;
    setVisible(visible);
    return true;
}

QWidget* PageFrameWnd::Window() const {
    return m_created ? const_cast<PageFrameWnd*>(this) : nullptr;
}

void PageFrameWnd::SetCaption(const QString& text, const QIcon& icon) {
    // A caption without an icon drops the previous one.
    m_captionImage = QPixmap();
    if (!icon.isNull()) {
        const QList<QSize> sizes = icon.availableSizes();
        const QSize size =
            sizes.isEmpty() ? QSize(kCaptionIconSize, kCaptionIconSize) : sizes.front();
        m_captionImage = icon.pixmap(size);
    }
    PageFrame::SetCaption(text, icon);
}

QRect PageFrameWnd::MessageArea() const {
    QRect area = ClientRect();
    if (IsCaptionShown()) {
        area.setTop(area.top() + CaptionHeight() + 1);
    }
    return area;
}

QRect PageFrameWnd::CaptionArea() const {
    return PageFrame::CaptionArea();
}

void PageFrameWnd::DrawCaption(QPainter& painter, const QRect& area, const QString& text,
                               const QIcon&) {
    if (area.isEmpty()) {
        m_drawnCaption.clear();
        return;
    }
    painter.save();
    // From the inactive caption colour on the left to the frame's own
    // background on the right, one step per column.
    const QColor from = palette().color(QPalette::Inactive, QPalette::Highlight);
    const QColor to = palette().color(QPalette::Button);
    const double width = area.width();
    const double dr = (to.red() - from.red()) / width;
    const double dg = (to.green() - from.green()) / width;
    const double db = (to.blue() - from.blue()) / width;
    double r = from.red();
    double g = from.green();
    double b = from.blue();
    for (int x = area.left(); x <= area.right(); ++x) {
        painter.setPen(
            QPen(QColor(static_cast<int>(r), static_cast<int>(g), static_cast<int>(b)), 1));
        painter.drawLine(x, area.top(), x, area.bottom());
        r += dr;
        g += dg;
        b += db;
    }
    int textLeft = area.left();
    if (!m_captionImage.isNull()) {
        const int y = area.top() + area.height() / 2 - m_captionImage.height() / 2;
        painter.drawPixmap(area.left() + 3, y, m_captionImage);
        textLeft += 3 + m_captionImage.width() + 3;
    }
    textLeft += 2;
    const QRect textArea(textLeft, area.top(), std::max(area.right() - textLeft + 1, 0),
                         area.height());
    painter.setPen(palette().color(QPalette::Inactive, QPalette::HighlightedText));
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setFont(QApplication::font());
    m_drawnCaption = painter.fontMetrics().elidedText(text, Qt::ElideRight, textArea.width());
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     m_drawnCaption);
    painter.restore();
}

void PageFrameWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Draw(painter);
}
