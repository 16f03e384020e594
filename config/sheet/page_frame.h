#pragma once

// The frame the configuration sheet draws around its active page: a caption
// strip along the top with the page's title and an optional icon, and a
// message in the middle while no page is shown. PageFrame keeps the caption
// and message state and lays them out; PageFrameWnd is the widget that
// draws them, with a gradient caption.

#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

class QPainter;

class PageFrame {
public:
    // Centred both ways, one line, no mnemonic processing.
    static constexpr int kDefaultMessageFormat = Qt::AlignCenter | Qt::TextSingleLine;

    virtual ~PageFrame() = default;

    // Creates the frame's window as a child of `parent` over `rect`.
    virtual bool Create(bool visible, const QRect& rect, QWidget* parent, int id) = 0;
    // The frame's window; none before Create.
    virtual QWidget* Window() const = 0;

    virtual void ShowCaption(bool show);
    virtual void SetCaptionHeight(int height);
    virtual void SetCaption(const QString& text, const QIcon& icon = {});
    virtual void SetMessageText(const QString& text);
    virtual void SetMessageFormat(int format);

    virtual void Draw(QPainter& painter);
    virtual QRect MessageArea() const;
    virtual void DrawMessage(QPainter& painter, const QRect& area, const QString& text, int format);
    virtual QRect CaptionArea() const;
    virtual void DrawCaption(QPainter& painter, const QRect& area, const QString& text,
                             const QIcon& icon);

    bool IsCaptionShown() const { return m_captionShown; }
    int CaptionHeight() const { return m_captionHeight; }
    const QString& CaptionText() const { return m_captionText; }
    const QIcon& CaptionIcon() const { return m_captionIcon; }
    const QString& MessageText() const { return m_messageText; }
    int MessageFormat() const { return m_messageFormat; }

protected:
    // The window's client rectangle; empty without a window.
    QRect ClientRect() const;

private:
    // Repaints an area of the window; nothing while no window exists.
    void Invalidate(const QRect& area) const;

    bool m_captionShown = false;
    int m_captionHeight = 0;
    QString m_captionText;
    QIcon m_captionIcon;
    QString m_messageText;
    int m_messageFormat = kDefaultMessageFormat;
};

class PageFrameWnd : public QWidget, public PageFrame {
    Q_OBJECT
public:
    explicit PageFrameWnd(QWidget* parent = nullptr);
    ~PageFrameWnd() override;

    bool Create(bool visible, const QRect& rect, QWidget* parent, int id) override;
    QWidget* Window() const override;
    void SetCaption(const QString& text, const QIcon& icon = {}) override;
    QRect MessageArea() const override;
    QRect CaptionArea() const override;
    void DrawCaption(QPainter& painter, const QRect& area, const QString& text,
                     const QIcon& icon) override;

    int ControlId() const { return m_id; }
    // The caption icon as drawn (null when none) and the caption text as it
    // was last drawn, ellipsis included.
    const QPixmap& CaptionImage() const { return m_captionImage; }
    const QString& DrawnCaptionText() const { return m_drawnCaption; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_created = false;
    int m_id = 0;
    QPixmap m_captionImage;
    QString m_drawnCaption;
};

// The holder of a visual-styles library. None is ever loaded: no theme is
// active and the frame is always drawn the classic way.
class ThemeLibrary {
public:
    static bool IsThemeActive() { return false; }
};
