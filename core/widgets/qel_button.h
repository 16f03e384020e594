#pragma once

// The picture button of every skinned window: a push button whose face is
// never drawn by the style but painted from bitmaps loaded from files. Which
// bitmap shows depends on the style word given with the bitmaps and on the
// button's state: held down or released, mouse over it or not, and for
// multi-state buttons a state index that a press or the owner sets. The
// button draws no text, no focus frame and no disabled look.
//
// It lives in core/ although the main window's panels are its biggest user:
// the login dialog, which core owns, is skinned with it too, and a library
// may not reach up into liveview/.

#include <QImage>
#include <QPoint>
#include <QPushButton>
#include <QRgb>
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <vector>

#include "platform/window.h"

// Four closed polygons over a button: outline 0 follows the button's client
// rectangle (right and bottom edge pulled in by one pixel), outlines 1 to 3
// are the same shape inset by 1, 2 and 4 pixels.
class CButtonOutline {
public:
    enum Kind : int { kRectangle = 0, kDiamond = 1, kCircle = 2, kCapsule = 3 };
    static constexpr std::array<int, 4> kInsets{0, 1, 2, 4};

    // Builds the four outlines of `kind` for a button of width x height
    // pixels; an unknown kind or an empty size leaves the outlines empty.
    void Build(int kind, int width, int height);
    void Clear();
    bool Empty() const { return m_outlines[0].empty(); }

    // Outline n (0 to 3); each list ends with a copy of its first point.
    const std::vector<QPoint>& Polygon(std::size_t n) const { return m_outlines.at(n); }

private:
    std::array<std::vector<QPoint>, 4> m_outlines;
};

class CQelButton : public QPushButton, public platform::MessageTarget {
    Q_OBJECT

public:
    // Bits of the style word.
    static constexpr std::uint16_t kStyleHover = 0x01;           // flat, hover face over it
    static constexpr std::uint16_t kStylePush = 0x02;            // flat, selected while held
    static constexpr std::uint16_t kStyleThreeFaceSet = 0x04;    // owner picks flat/focus/selected
    static constexpr std::uint16_t kStyleThreeFaceCycle = 0x08;  // each press shows the next face
    static constexpr std::uint16_t kStyleCycling = 0x10;         // each press advances the state
    static constexpr std::uint16_t kStylePushHover = 0x20;       // push plus hover face
    static constexpr std::uint16_t kStyleOwnerStates = 0x40;     // states set by the owner
    static constexpr std::uint16_t kStyleSingle = 0x80;          // one bitmap, always

    // Which bitmap a paint shows.
    enum class FaceKind { None, Flat, Focus, Selected, StateNormal, StateHover };
    struct Face {
        FaceKind kind = FaceKind::None;
        std::uint16_t index = 0;  // the state, for StateNormal and StateHover
        friend bool operator==(const Face&, const Face&) = default;
    };

    explicit CQelButton(QWidget* parent = nullptr);
    ~CQelButton() override;

    // Single-bitmap form: drops every state bitmap, then loads `file` as the
    // one state bitmap. 1 and the style taken on success; 0 when the file
    // cannot be loaded (the button then holds no state bitmap; style and
    // loaded flag unchanged).
    int LoadButtonBitmap(const std::filesystem::path& file, std::uint16_t style);
    // Multi-state form: `files` holds 2 x count names, the normal and the
    // hover face of state 0, of state 1, and so on. The state count becomes
    // `count`; the first file that cannot be loaded (or is missing from the
    // list) ends the call with 0, leaving the rest empty and the style and
    // loaded flag unchanged. The state index is kept.
    int LoadButtonBitmap(std::uint16_t count, std::span<const std::filesystem::path> files,
                         std::uint16_t style);
    // Three-face form: flat, focus (hover) and selected (pressed), loaded in
    // that order; the first failure returns 0, the faces loaded before it
    // stay. State bitmaps and the pressed flag are not touched.
    int LoadButtonBitmap(std::filesystem::path flat, std::filesystem::path focus,
                         std::filesystem::path selected, std::uint16_t style);

    // Makes `index` the current state when it is below the state count, then
    // paints the current state's normal face and returns 1; -1 without
    // painting when the button has no state bitmaps. -1 as the index asks
    // for the state before the current one and changes nothing. Callable
    // from any thread: off the GUI thread the paint is queued to it.
    int SetState(int index);
    // Style 0x04: n = 1, 2, 3 shows flat, focus or selected and keeps n as
    // the state; 1, or 0 for any other n.
    int SetThreeState(int n);
    // The state before the current one (wrapping) becomes current and its
    // normal face is painted; 1, or -1 without states.
    int StepBackState();

    // The owner-draw rule: paints the face the style and state select.
    void DrawItem();

    // Outline shapes: build the outlines of `kind` (CButtonOutline::Kind),
    // or copy another's, and make outline 0 the button's window shape.
    void SetOutlineShape(int kind);
    void SetOutline(const CButtonOutline& outline);
    const CButtonOutline& Outline() const { return m_outline; }

    // Edge shading of an outline point: the weight (cos(|3π/4 − θ|) + 1) / 2
    // of the point's angle θ about the centre (y pointing up), and the
    // per-channel blend w × a + (1 − w) × b of two colours.
    static double EdgeWeight(QPoint point, QPoint centre);
    static QRgb BlendEdgeColour(double weight, QRgb a, QRgb b);

    // State, for the owners' skin loaders and for tests.
    std::uint16_t ButtonStyle() const;
    // Set by every successful load; never cleared.
    bool BitmapLoaded() const { return m_bBitmapLoaded.load(); }
    std::uint16_t StateIndex() const { return m_wStateIndex.load(); }
    std::uint16_t StateCount() const;
    bool IsReleased() const { return m_bReleased; }
    bool IsTracking() const { return m_bTracking; }
    // The face painted last, and its bitmap (null when it has none).
    Face ShownFace() const { return m_shownFace; }
    QImage ShownImage() const;
    QImage FaceImage(Face face) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    // A state face set from another thread is painted here, on the GUI thread.
    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

private:
    Face DrawItemFace() const;
    Face NormalFace() const;
    Face HoverFace() const;
    void PaintFace(Face face);
    void Toggle();
    void AdvanceState();
    void AdvanceThreeFaceCycle();
    void ApplyOutlineMask();
    bool HasStyle(std::uint16_t bits) const { return (ButtonStyle() & bits) != 0; }

    // Face bitmaps and the style word: loaded on the GUI thread, read by
    // SetState from any thread.
    mutable std::mutex m_lock;
    QImage m_hFlatBitmap;
    QImage m_hFocusBitmap;
    QImage m_hSelectedBitmap;
    std::uint16_t m_wButtonStyle = 0;
    std::uint16_t m_wStateCount = 0;
    std::vector<QImage> m_phStateBitmaps;
    std::vector<QImage> m_phHoverBitmaps;

    std::atomic<std::uint16_t> m_wStateIndex{0};
    std::atomic<bool> m_bBitmapLoaded{false};
    bool m_bTracking = false;
    bool m_bReleased = true;

    // The face of the last paint; until something paints, the owner-draw
    // rule decides.
    Face m_shownFace;
    bool m_faceChosen = false;

    CButtonOutline m_outline;
    // Posted faces travel through the platform's message queue, whose lock
    // the thread checkers see (Qt's own queued calls hide theirs).
    platform::WindowHandle m_hWnd = 0;
};
