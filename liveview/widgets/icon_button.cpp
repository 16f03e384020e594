#include "liveview/widgets/icon_button.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace liveview {

namespace {

void Draw3dRect(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    p.setPen(topLeft);
    p.drawLine(r.left(), r.top(), r.right() - 1, r.top());
    p.drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
    p.setPen(bottomRight);
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
}

bool Drawable(const QImage& image) {
    return !image.isNull() && image.width() > 0 && image.height() > 0;
}

// The picture in 32-bit ARGB, pixels of the transparent colour cleared.
QImage Masked(const QImage& image, QColor transparent) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    if (out.isNull() || !transparent.isValid()) {
        return out;
    }
    const QRgb key = transparent.rgb() & 0xFFFFFFu;
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((row[x] & 0xFFFFFFu) == key) {
                row[x] = 0;
            }
        }
    }
    return out;
}

template <typename Op>
QImage Derived(const QImage& image, QColor keep, Op op) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = keep.isValid() ? keep.rgb() & 0xFFFFFFu : 0xFFFFFFFFu;
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if (qAlpha(row[x]) == 0 || (row[x] & 0xFFFFFFu) == key) {
                continue;
            }
            row[x] = op(row[x]);
        }
    }
    return out;
}

}  // namespace

CIconButton::CIconButton(QWidget* parent) : QPushButton(parent) {
    setMouseTracking(true);
    setAutoDefault(false);
    SetDefaultColors(false);
    connect(this, &QPushButton::clicked, this, &CIconButton::OnClicked);
}

CIconButton::~CIconButton() = default;

void CIconButton::AttachStyle(unsigned style) {
    m_typeStyle = style & 0x1Fu;
    if ((m_typeStyle & 2u) != 0) {
        m_bIsCheckBox = true;
    } else if (m_typeStyle == 1u) {
        m_bIsDefault = true;
    }
}

void CIconButton::FreeResources() {
    m_icons = {};
    m_bitmaps = {};
}

QImage CIconButton::GrayImage(const QImage& image, QColor keep) {
    return Derived(image, keep, [](QRgb c) {
        const int gray = static_cast<int>(0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c));
        return qRgba(gray, gray, gray, qAlpha(c));
    });
}

QImage CIconButton::DarkerImage(const QImage& image, QColor keep) {
    return Derived(image, keep, [](QRgb c) {
        const auto dark = [](int v) { return static_cast<int>(v - 0.25 * v); };
        return qRgba(dark(qRed(c)), dark(qGreen(c)), dark(qBlue(c)), qAlpha(c));
    });
}

int CIconButton::SetImages(bool isIcon, const QImage& in, QColor inTransparent, const QImage& out,
                           QColor outTransparent, int outMode) {
    FreeResources();
    std::array<QImage, 2>& slot = isIcon ? m_icons : m_bitmaps;
    if (!Drawable(in) || (!out.isNull() && !Drawable(out))) {
        Repaint(true);
        return kResourceNotLoaded;
    }
    QImage inImage = isIcon ? in.convertToFormat(QImage::Format_ARGB32) : Masked(in, inTransparent);
    QImage outImage;
    if (outMode == kOutGray || outMode == kOutDarker) {
        // Icons keep their black outline; bitmaps their transparent colour.
        const QColor keep = isIcon ? QColor(Qt::black) : inTransparent;
        outImage = outMode == kOutGray ? GrayImage(inImage, keep) : DarkerImage(inImage, keep);
    } else if (!out.isNull()) {
        outImage =
            isIcon ? out.convertToFormat(QImage::Format_ARGB32) : Masked(out, outTransparent);
    }
    if (inImage.isNull() || (!out.isNull() && outImage.isNull())) {
        Repaint(true);
        return kMaskNotCreated;
    }
    slot = {inImage, outImage};
    Repaint(true);
    return kOk;
}

int CIconButton::SetIcon(const QImage& in, int outMode) {
    return SetImages(true, in, {}, {}, {}, outMode);
}

int CIconButton::SetIcon(const QImage& in, const QImage& out) {
    return SetImages(true, in, {}, out, {}, kOutNone);
}

int CIconButton::SetIcon(const QString& inFile, const QString& outFile) {
    const QImage out = QFile::exists(outFile) ? QImage(outFile) : QImage();
    return SetIcon(QFile::exists(inFile) ? QImage(inFile) : QImage(), out);
}

int CIconButton::SetIcon(const QString& inFile, int outMode) {
    return SetIcon(QFile::exists(inFile) ? QImage(inFile) : QImage(), outMode);
}

int CIconButton::SetBitmaps(const QImage& in, QColor inTransparent, int outMode) {
    return SetImages(false, in, inTransparent, {}, {}, outMode);
}

int CIconButton::SetBitmaps(const QImage& in, QColor inTransparent, const QImage& out,
                            QColor outTransparent) {
    if (out.isNull()) {
        FreeResources();
        return kResourceNotLoaded;  // the out bitmap failed to load
    }
    return SetImages(false, in, inTransparent, out, outTransparent, kOutNone);
}

int CIconButton::SetBitmaps(const QString& inFile, QColor inTransparent, int outMode) {
    return SetBitmaps(QImage(inFile), inTransparent, outMode);
}

int CIconButton::SetBitmaps(const QString& inFile, QColor inTransparent, const QString& outFile,
                            QColor outTransparent) {
    return SetBitmaps(QImage(inFile), inTransparent, QImage(outFile), outTransparent);
}

const QImage& CIconButton::InImage() const {
    return HasIcon() ? m_icons[0] : m_bitmaps[0];
}

const QImage& CIconButton::OutImage() const {
    return HasIcon() ? m_icons[1] : m_bitmaps[1];
}

void CIconButton::SizeToContent() {
    if (HasIcon()) {
        m_imageOriginX = 0;
        m_imageOriginY = 0;
        resize(m_icons[0].size());
    } else if (HasBitmap()) {
        resize(m_bitmaps[0].size());
    }
}

void CIconButton::Repaint(bool repaint) {
    if (repaint) {
        update();
    }
}

int CIconButton::SetFlat(bool flat, bool repaint) {
    m_bIsFlat = flat;
    Repaint(repaint);
    return kOk;
}

int CIconButton::SetAlign(int align, bool repaint) {
    if (align < kAlignHoriz || align > kAlignOverlap) {
        return kInvalidAlign;
    }
    m_align = align;
    Repaint(repaint);
    return kOk;
}

int CIconButton::SetPressedStyle(int style, bool repaint) {
    switch (style) {
        case kPressedRightBottom:
            m_pressedOffsetX = 1, m_pressedOffsetY = 1;
            break;
        case kPressedBottom:
            m_pressedOffsetX = 0, m_pressedOffsetY = 2;
            break;
        default:
            return kInvalidPressedStyle;
    }
    Repaint(repaint);
    return kOk;
}

int CIconButton::SetCheck(int check, bool repaint) {
    if (m_bIsCheckBox) {
        m_nCheck = check == 0 ? 0 : 1;
        Repaint(repaint);
    }
    return kOk;
}

int CIconButton::SetColor(int index, QColor color, bool repaint) {
    if (index < 0 || index >= kMaxColors) {
        return kInvalidIndex;
    }
    m_colors[static_cast<std::size_t>(index)] = color;
    Repaint(repaint);
    return kOk;
}

int CIconButton::GetColor(int index, QColor& color) const {
    if (index < 0 || index >= kMaxColors) {
        return kInvalidIndex;
    }
    color = m_colors[static_cast<std::size_t>(index)];
    return kOk;
}

int CIconButton::OffsetColor(int index, int offset, bool repaint) {
    if (index < 0 || index >= kMaxColors) {
        return kInvalidIndex;
    }
    if (offset < -255 || offset > 255) {
        return kBadParam;
    }
    QColor& c = m_colors[static_cast<std::size_t>(index)];
    // The same amount on all three components, shrunk so none leaves 0..255.
    int amount = offset;
    if (offset > 0) {
        amount = std::min(offset, 255 - std::max({c.red(), c.green(), c.blue()}));
    } else if (offset < 0) {
        amount = std::max(offset, -std::min({c.red(), c.green(), c.blue()}));
    }
    c = QColor(c.red() + amount, c.green() + amount, c.blue() + amount);
    Repaint(repaint);
    return kOk;
}

int CIconButton::SetDefaultColors(bool repaint) {
    const QPalette pal = QApplication::palette();
    const QColor face = pal.color(QPalette::Button);
    const QColor text = pal.color(QPalette::ButtonText);
    m_colors = {face, text, face, text, face, text};
    Repaint(repaint);
    return kOk;
}

int CIconButton::SetAlwaysTrack(bool always) {
    m_bAlwaysTrack = always;
    return kOk;
}

int CIconButton::SetBtnCursor(const QCursor* cursor, bool repaint) {
    if (cursor != nullptr) {
        setCursor(*cursor);
    } else {
        unsetCursor();
    }
    Repaint(repaint);
    return kOk;
}

int CIconButton::DrawBorder(bool enable, bool repaint) {
    m_bDrawBorder = enable;
    Repaint(repaint);
    return kOk;
}

int CIconButton::DrawFlatFocus(bool enable, bool repaint) {
    m_bDrawFlatFocus = enable;
    Repaint(repaint);
    return kOk;
}

int CIconButton::SetURL(const QString& url) {
    m_url = url;
    return kOk;
}

int CIconButton::SetMenu(QMenu* menu, QWidget* owner, bool repaint) {
    m_menu = menu;
    m_menuOwner = owner;
    Repaint(repaint);
    return kOk;
}

int CIconButton::SetMenuCallback(std::function<void(QMenu*, long)> callback, long lParam) {
    m_menuCallback = std::move(callback);
    m_menuCallbackParam = lParam;
    return kOk;
}

int CIconButton::SetFont(int pointSize, const QString& face, bool repaint) {
    QFont f(face);
    if (pointSize > 0) {
        f.setPointSize(pointSize);
    }
    setFont(f);
    Repaint(repaint);
    return kOk;
}

int CIconButton::DrawTransparent(bool repaint) {
    m_bDrawTransparent = true;
    m_background = QPixmap();
    Repaint(repaint);
    return kOk;
}

int CIconButton::SetBk(const QPixmap& background) {
    if (!m_bDrawTransparent || background.isNull()) {
        return kBadParam;
    }
    m_background = background.copy(geometry());
    return kOk;
}

void CIconButton::SetTooltipText(const QString& text, bool activate) {
    m_tooltipText = text;
    ActivateTooltip(activate);
}

void CIconButton::ActivateTooltip(bool activate) {
    m_bTooltipActive = activate;
    setToolTip(activate ? m_tooltipText : QString());
}

int CIconButton::EnableBalloonTooltip() {
    m_tooltipStyle |= 0x40u;
    return kOk;
}

bool CIconButton::IsPressedLook() const {
    bool pressed = isDown();
    if (m_bIsCheckBox) {
        pressed = pressed || m_nCheck != 0;
    }
    return pressed || m_bMenuDisplayed;
}

void CIconButton::OnClicked() {
    setFocus(Qt::MouseFocusReason);
    if (m_bIsCheckBox) {
        m_nCheck = m_nCheck == 0 ? 1 : 0;
        update();
    } else if (m_menu) {
        m_bMenuDisplayed = true;
        repaint();
        if (m_menuCallback) {
            m_menuCallback(m_menu, m_menuCallbackParam);
        }
        const QAction* chosen = m_menu->exec(mapToGlobal(rect().bottomLeft()));
        m_bMenuDisplayed = false;
        update();
        if (chosen != nullptr) {
            emit menuCommand(chosen->data().toInt());
        }
    } else if (!m_url.isEmpty()) {
        emit urlOpened(m_url);
        QDesktopServices::openUrl(QUrl(m_url));
    }
}

void CIconButton::CancelHover() {
    if (m_bMouseOnButton) {
        m_bMouseOnButton = false;
        update();
    }
}

void CIconButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    if (((event->buttons() & Qt::LeftButton) != 0 && !m_bMouseOnButton) || !m_bIsFlat) {
        return;
    }
    const bool over = rect().contains(event->position().toPoint()) &&
                      (m_bAlwaysTrack || QApplication::activeWindow() != nullptr);
    if (over && !m_bMouseOnButton) {
        m_bMouseOnButton = true;
        update();
    } else if (!over) {
        CancelHover();
    }
}

void CIconButton::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    if (m_bIsFlat && !m_bMouseOnButton &&
        (m_bAlwaysTrack || QApplication::activeWindow() != nullptr)) {
        m_bMouseOnButton = true;
        update();
    }
}

void CIconButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    CancelHover();
}

void CIconButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double click counts as another press.
    mousePressEvent(event);
}

void CIconButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    CancelHover();
}

void CIconButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    switch (event->type()) {
        case QEvent::EnabledChange:
            if (!isEnabled()) {
                CancelHover();
            }
            break;
        case QEvent::ActivationChange:
            if (!isActiveWindow()) {
                CancelHover();
            }
            break;
        case QEvent::PaletteChange:
            m_background = QPixmap();
            SetDefaultColors(true);
            break;
        default:
            break;
    }
}

QRect CIconButton::PrepareImageRect(bool hasCaption, const QRect& item, QRect& caption,
                                    bool pressed, QSize image) const {
    const int w = image.width();
    const int h = image.height();
    QRect r = item;
    switch (m_align) {
        case kAlignHoriz:
            if (hasCaption) {
                r.setLeft(r.left() + m_imageOriginX);
                caption.setLeft(caption.left() + w + m_imageOriginX);
            } else {
                r.setLeft(r.left() + (item.width() - w) / 2);
            }
            r.setTop(r.top() + (item.height() - h) / 2);
            break;
        case kAlignVert:
            r.setLeft(r.left() + (item.width() - w) / 2);
            if (hasCaption) {
                r.setTop(m_imageOriginY);
                caption.setTop(caption.top() + h);
            } else {
                r.setTop(r.top() + (item.height() - h) / 2);
            }
            break;
        case kAlignHorizRight:
            if (hasCaption) {
                r.setLeft(rect().right() + 1 - w - m_imageOriginX);
                r.setTop(r.top() + (item.height() - h) / 2);
                caption.setLeft(m_imageOriginX);
                caption.setRight(caption.width() - w - m_imageOriginX);
            } else {
                r.setLeft(r.left() + (item.width() - w) / 2);
            }
            break;
        case kAlignOverlap:
            break;
    }
    r.setSize(image);
    if (pressed && !m_bIsCheckBox) {
        r.translate(m_pressedOffsetX, m_pressedOffsetY);
    }
    return r;
}

void CIconButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette pal = palette();
    const bool pressed = IsPressedLook();
    const bool focused = hasFocus();
    const bool disabled = !isEnabled();
    QRect item = rect();

    // Background.
    if (m_bDrawTransparent) {
        // A child widget shows its parent's pixels wherever it paints nothing,
        // so only a background handed over with SetBk needs drawing.
        if (!m_background.isNull()) {
            p.drawPixmap(0, 0, m_background);
        }
    } else {
        if (!m_bIsFlat && (focused || m_bIsDefault)) {
            p.setPen(Qt::black);
            p.drawRect(item.adjusted(0, 0, -1, -1));
            item.adjust(1, 1, -1, -1);
        }
        const QColor bk = m_bMouseOnButton || pressed ? m_colors[kColorBkIn]
                          : focused                   ? m_colors[kColorBkFocus]
                                                      : m_colors[kColorBkOut];
        p.fillRect(item, bk);
    }

    // Border.
    const QColor shadow = pal.color(QPalette::Dark);
    const QColor highlight = pal.color(QPalette::Light);
    if (pressed) {
        if (!m_bIsFlat) {
            p.setPen(shadow);
            p.drawRect(item.adjusted(0, 0, -1, -1));
        } else if (m_bDrawBorder) {
            Draw3dRect(p, item, shadow, highlight);
        }
    } else if (!m_bIsFlat) {
        Draw3dRect(p, item, highlight, pal.color(QPalette::Shadow));
        Draw3dRect(p, item.adjusted(1, 1, -1, -1), pal.color(QPalette::Midlight), shadow);
    } else if (m_bMouseOnButton && m_bDrawBorder) {
        Draw3dRect(p, item, highlight, shadow);
    }

    // Image: the in picture when pressed or under the mouse (in check-box
    // mode only when checked or pressed), else the out picture if any.
    const QString caption = text();
    QRect captionRect = item;
    const bool useIn = m_bIsCheckBox ? pressed : (pressed || m_bMouseOnButton);
    const std::array<QImage, 2>& images = HasIcon() ? m_icons : m_bitmaps;
    if (!images[0].isNull()) {
        const QImage& chosen = useIn || images[1].isNull() ? images[0] : images[1];
        const QRect where =
            PrepareImageRect(!caption.isEmpty(), item, captionRect, pressed, images[0].size());
        QPixmap pixmap = QPixmap::fromImage(chosen);
        if (disabled && (HasIcon() || m_bGrayDisabled)) {
            if (!HasIcon()) {
                QImage onWhite(chosen.size(), QImage::Format_ARGB32);
                onWhite.fill(Qt::white);
                QPainter w(&onWhite);
                w.drawImage(0, 0, chosen);
                w.end();
                pixmap = QPixmap::fromImage(onWhite);
            }
            QStyleOption opt;
            opt.initFrom(this);
            pixmap = style()->generatedIconPixmap(QIcon::Disabled, pixmap, &opt);
        }
        p.drawPixmap(where.topLeft(), pixmap);
    }

    // Caption.
    if (!caption.isEmpty()) {
        if (pressed && !m_bIsCheckBox) {
            captionRect.translate(m_pressedOffsetX, m_pressedOffsetY);
        }
        constexpr int kFlags = Qt::AlignCenter | Qt::TextWordWrap;
        if (disabled) {
            p.setPen(highlight);
            p.drawText(captionRect.translated(1, 1), kFlags, caption);
            p.setPen(shadow);
            p.drawText(captionRect, kFlags, caption);
        } else {
            p.setPen(m_bMouseOnButton || pressed ? m_colors[kColorFgIn]
                     : focused                   ? m_colors[kColorFgFocus]
                                                 : m_colors[kColorFgOut]);
            p.drawText(captionRect, kFlags, caption);
        }
    }

    // Focus rectangle.
    if (focused && (!m_bIsFlat || m_bDrawFlatFocus)) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

}  // namespace liveview
