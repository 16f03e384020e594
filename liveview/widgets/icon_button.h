#pragma once

// A push button painted by itself: an icon or a bitmap (an "in" image shown
// while the mouse is over it or it is pressed, and an "out" image otherwise)
// beside, above or under its caption, six state colours, a flat mode that
// lights up under the mouse, a check-box mode, a popup menu, a URL opened on
// click, a tooltip and a cursor of its own.
//
// Images of any size are accepted only when they can be drawn: an empty or
// zero-size image is refused with kResourceNotLoaded and leaves no image, so
// painting never reads outside a picture.

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <array>
#include <functional>

class QMenu;

namespace liveview {

class CIconButton : public QPushButton {
    Q_OBJECT

public:
    // Setter results.
    enum Result : int {
        kOk = 0,
        kResourceNotLoaded = 1,
        kMaskNotCreated = 2,
        kInvalidIndex = 3,
        kInvalidAlign = 4,
        kBadParam = 5,
        kInvalidPressedStyle = 6,
    };
    // Out-image choices besides a picture of its own.
    static constexpr int kOutNone = -1;
    static constexpr int kOutGray = -2;
    static constexpr int kOutDarker = -3;

    enum Color : int {
        kColorBkIn = 0,
        kColorFgIn,
        kColorBkOut,
        kColorFgOut,
        kColorBkFocus,
        kColorFgFocus,
        kMaxColors
    };
    enum Align : int { kAlignHoriz = 0, kAlignVert, kAlignHorizRight, kAlignOverlap };
    enum PressedStyle : int { kPressedRightBottom = 0, kPressedBottom = 1 };

    explicit CIconButton(QWidget* parent = nullptr);
    ~CIconButton() override;

    // Applies the type bits of a button window style: a check-box type (bit
    // value 2) switches on check-box mode; a default push button (type 1)
    // sets the default flag.
    void AttachStyle(unsigned style);
    unsigned TypeStyle() const { return m_typeStyle; }

    // Icons: images with their own transparency. `outMode` is kOutNone,
    // kOutGray or kOutDarker. Files that do not exist give no icon.
    int SetIcon(const QImage& in, int outMode = kOutNone);
    int SetIcon(const QImage& in, const QImage& out);
    int SetIcon(const QString& inFile, const QString& outFile);
    int SetIcon(const QString& inFile, int outMode);

    // Bitmaps: drawn through a mask made from their transparent colour; a
    // derived out image uses the in image's transparent colour.
    int SetBitmaps(const QImage& in, QColor inTransparent, int outMode = kOutNone);
    int SetBitmaps(const QImage& in, QColor inTransparent, const QImage& out,
                   QColor outTransparent);
    int SetBitmaps(const QString& inFile, QColor inTransparent, int outMode = kOutNone);
    int SetBitmaps(const QString& inFile, QColor inTransparent, const QString& outFile,
                   QColor outTransparent);

    void SizeToContent();

    int SetFlat(bool flat = true, bool repaint = true);
    int SetAlign(int align, bool repaint = true);
    int SetPressedStyle(int style, bool repaint = true);
    int SetCheck(int check, bool repaint = true);
    int GetCheck() const { return m_nCheck; }
    int SetColor(int index, QColor color, bool repaint = true);
    int GetColor(int index, QColor& color) const;
    int OffsetColor(int index, int offset, bool repaint = true);
    int SetDefaultColors(bool repaint = true);
    int SetAlwaysTrack(bool always = true);
    int SetBtnCursor(const QCursor* cursor, bool repaint = true);
    int DrawBorder(bool enable = true, bool repaint = true);
    int DrawFlatFocus(bool enable, bool repaint = true);
    int SetURL(const QString& url);
    int SetMenu(QMenu* menu, QWidget* owner, bool repaint = true);
    // Told before the menu opens, with the menu and the callback's value.
    int SetMenuCallback(std::function<void(QMenu*, long)> callback, long lParam);
    int SetFont(int pointSize, const QString& face, bool repaint = true);
    int DrawTransparent(bool repaint = false);
    int SetBk(const QPixmap& background);
    void SetTooltipText(const QString& text, bool activate = true);
    void ActivateTooltip(bool activate = true);
    int EnableBalloonTooltip();
    bool GetDefault() const { return m_bIsDefault; }
    void SetDefault(bool isDefault) { m_bIsDefault = isDefault; }

    // State, for the owner and for tests.
    bool IsFlat() const { return m_bIsFlat; }
    bool IsCheckBox() const { return m_bIsCheckBox; }
    bool IsHighlighted() const { return m_bMouseOnButton; }
    bool HasIcon() const { return !m_icons[0].isNull(); }
    bool HasBitmap() const { return !m_bitmaps[0].isNull(); }
    const QImage& InImage() const;
    const QImage& OutImage() const;
    unsigned TooltipStyle() const { return m_tooltipStyle; }
    const QString& URL() const { return m_url; }

    // Derived images: gray 0.299 R + 0.587 G + 0.114 B, or each component
    // reduced by a quarter; pixels of `keep` (and fully transparent ones)
    // stay as they are.
    static QImage GrayImage(const QImage& image, QColor keep);
    static QImage DarkerImage(const QImage& image, QColor keep);

signals:
    // The command chosen in the popup menu, for the menu's owner.
    void menuCommand(int id);
    // A URL click; opened with the desktop's handler unless a test listens.
    void urlOpened(const QString& url);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void OnClicked();
    void FreeResources();
    void CancelHover();
    void Repaint(bool repaint);
    bool IsPressedLook() const;
    int SetImages(bool isIcon, const QImage& in, QColor inTransparent, const QImage& out,
                  QColor outTransparent, int outMode);
    QRect PrepareImageRect(bool hasCaption, const QRect& item, QRect& caption, bool pressed,
                           QSize image) const;

    bool m_bGrayDisabled = true;
    int m_imageOriginX = 3, m_imageOriginY = 3;
    int m_pressedOffsetX = 1, m_pressedOffsetY = 1;
    bool m_bIsFlat = true;
    bool m_bMouseOnButton = false;
    bool m_bDrawTransparent = false;
    bool m_bIsDefault = false;
    bool m_bIsCheckBox = false;
    int m_align = kAlignHoriz;
    bool m_bDrawBorder = true;
    bool m_bDrawFlatFocus = false;
    std::array<QColor, kMaxColors> m_colors;
    QPointer<QWidget> m_menuOwner;
    bool m_bMenuDisplayed = false;
    QPointer<QMenu> m_menu;
    QPixmap m_background;
    bool m_bAlwaysTrack = true;
    int m_nCheck = 0;
    unsigned m_typeStyle = 0x1F;
    unsigned m_tooltipStyle = 0;
    QString m_url;
    QString m_tooltipText;
    bool m_bTooltipActive = false;
    std::array<QImage, 2> m_icons;    // in, out; carry their own alpha
    std::array<QImage, 2> m_bitmaps;  // in, out; transparent colour turned into alpha
    std::function<void(QMenu*, long)> m_menuCallback;
    long m_menuCallbackParam = 0;
};

}  // namespace liveview
