#include "core/widgets/qel_button.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QRegion>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/application/window_messages.h"

namespace {

// Loads a face straight from its file at its own size: no scaling, no
// conversion beyond a paintable pixel format. A null image on failure.
QImage LoadFace(const std::filesystem::path& file) {
    QImage image;
    if (file.empty() || !image.load(QFile::decodeName(file.c_str()), "BMP")) {
        return {};
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

bool OnGuiThread(const QObject* object) {
    return QThread::currentThread() == object->thread();
}

void ClosePolygon(std::vector<QPoint>& points) {
    if (!points.empty() && points.back() != points.front()) {
        points.push_back(points.front());
    }
}

// Points on the circle of `radius` about (cx, cy) from angle `from` to
// `to` (radians, y down as on screen), `steps` steps, both ends included.
void AddArc(std::vector<QPoint>& points, double cx, double cy, double radius, double from,
            double to, int steps) {
    for (int j = 0; j <= steps; ++j) {
        const double angle = from + (to - from) * j / steps;
        points.emplace_back(static_cast<int>(std::lround(cx + radius * std::cos(angle))),
                            static_cast<int>(std::lround(cy + radius * std::sin(angle))));
    }
}

std::vector<QPoint> ShapeIn(int kind, int left, int top, int right, int bottom) {
    std::vector<QPoint> points;
    if (right < left || bottom < top) {
        return points;
    }
    const int width = right - left;
    const int height = bottom - top;
    const double cx = left + width / 2.0;
    const double cy = top + height / 2.0;
    const int side = std::min(width, height);
    const double half = side / 2.0;
    switch (kind) {
        case CButtonOutline::kRectangle:
            points = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
            break;
        case CButtonOutline::kDiamond: {
            const auto x = [&](double v) { return static_cast<int>(std::lround(v)); };
            points = {{x(cx), x(cy - half)},
                      {x(cx + half), x(cy)},
                      {x(cx), x(cy + half)},
                      {x(cx - half), x(cy)}};
            break;
        }
        case CButtonOutline::kCircle: {
            // As many points as the radius has pixels; a tiny circle still
            // gets a triangle rather than a division by zero.
            const int count = std::max(static_cast<int>(half), 3);
            for (int j = 0; j < count; ++j) {
                const double angle = 2.0 * std::numbers::pi * j / count;
                points.emplace_back(static_cast<int>(std::lround(cx + half * std::cos(angle))),
                                    static_cast<int>(std::lround(cy + half * std::sin(angle))));
            }
            break;
        }
        case CButtonOutline::kCapsule: {
            // Two half circles of the shorter side, joined along the longer.
            const double radius = half;
            const int steps = std::max(static_cast<int>(radius) / 2, 2);
            constexpr double kPi = std::numbers::pi;
            if (width >= height) {
                AddArc(points, right - radius, cy, radius, -kPi / 2, kPi / 2, steps);
                AddArc(points, left + radius, cy, radius, kPi / 2, 3 * kPi / 2, steps);
            } else {
                AddArc(points, cx, bottom - radius, radius, 0, kPi, steps);
                AddArc(points, cx, top + radius, radius, kPi, 2 * kPi, steps);
            }
            break;
        }
        default:
            break;
    }
    ClosePolygon(points);
    return points;
}

}  // namespace

// ---- outlines ---------------------------------------------------------------

void CButtonOutline::Build(int kind, int width, int height) {
    Clear();
    if (width <= 0 || height <= 0 || kind < kRectangle || kind > kCapsule) {
        return;
    }
    for (std::size_t n = 0; n < m_outlines.size(); ++n) {
        const int inset = kInsets[n];
        m_outlines[n] = ShapeIn(kind, inset, inset, width - 1 - inset, height - 1 - inset);
    }
}

void CButtonOutline::Clear() {
    for (auto& outline : m_outlines) {
        outline.clear();
    }
}

// ---- the button -----------------------------------------------------------

CQelButton::CQelButton(QWidget* parent) : QPushButton(parent) {
    // Mouse moves arrive without a button held, so hover can be tracked.
    setMouseTracking(true);
    // A picture button is pressed by the mouse only. In a dialog a push
    // button would otherwise become the default button and take Return
    // while it has the focus: a Return held down to close a message box
    // would then repeat into it (the main window's connect button toggling
    // the connection with every repeat).
    setAutoDefault(false);
    setDefault(false);
    m_hWnd = platform::RegisterWindow(this);
}

CQelButton::~CQelButton() {
    // Once withdrawn, no posted face reaches the button.
    platform::UnregisterWindow(m_hWnd);
}

void CQelButton::HandleWindowMessage(std::uint32_t message, std::uint64_t wParam, std::uint64_t) {
    if (message == WM_PAINTSTATEFACE) {
        PaintFace(Face{FaceKind::StateNormal, static_cast<std::uint16_t>(wParam)});
    }
}

std::uint16_t CQelButton::ButtonStyle() const {
    std::lock_guard guard(m_lock);
    return m_wButtonStyle;
}

std::uint16_t CQelButton::StateCount() const {
    std::lock_guard guard(m_lock);
    return m_wStateCount;
}

int CQelButton::LoadButtonBitmap(const std::filesystem::path& file, std::uint16_t style) {
    QImage image = LoadFace(file);
    {
        std::lock_guard guard(m_lock);
        m_phStateBitmaps.clear();
        m_phHoverBitmaps.clear();
        if (image.isNull()) {
            return 0;
        }
        m_phStateBitmaps.push_back(std::move(image));
        m_wButtonStyle = style;
        m_wStateCount = 0;
    }
    m_bBitmapLoaded = true;
    m_faceChosen = false;
    update();
    return 1;
}

int CQelButton::LoadButtonBitmap(std::uint16_t count, std::span<const std::filesystem::path> files,
                                 std::uint16_t style) {
    {
        std::lock_guard guard(m_lock);
        m_wStateCount = count;
        m_phStateBitmaps.assign(count, QImage());
        m_phHoverBitmaps.assign(count, QImage());
    }
    for (std::size_t state = 0; state < count; ++state) {
        for (std::size_t face = 0; face < 2; ++face) {
            const std::size_t n = 2 * state + face;
            QImage image = n < files.size() ? LoadFace(files[n]) : QImage();
            if (image.isNull()) {
                return 0;
            }
            std::lock_guard guard(m_lock);
            (face == 0 ? m_phStateBitmaps : m_phHoverBitmaps)[state] = std::move(image);
        }
    }
    {
        std::lock_guard guard(m_lock);
        m_wButtonStyle = style;
    }
    m_bBitmapLoaded = true;
    m_faceChosen = false;
    update();
    return 1;
}

int CQelButton::LoadButtonBitmap(std::filesystem::path flat, std::filesystem::path focus,
                                 std::filesystem::path selected, std::uint16_t style) {
    {
        std::lock_guard guard(m_lock);
        m_hFlatBitmap = QImage();
        m_hFocusBitmap = QImage();
        m_hSelectedBitmap = QImage();
    }
    const std::array<std::pair<const std::filesystem::path*, QImage*>, 3> faces{{
        {&flat, &m_hFlatBitmap},
        {&focus, &m_hFocusBitmap},
        {&selected, &m_hSelectedBitmap},
    }};
    for (const auto& [file, target] : faces) {
        QImage image = LoadFace(*file);
        if (image.isNull()) {
            return 0;
        }
        std::lock_guard guard(m_lock);
        *target = std::move(image);
    }
    {
        std::lock_guard guard(m_lock);
        m_wButtonStyle = style;
    }
    m_bBitmapLoaded = true;
    m_faceChosen = false;
    update();
    return 1;
}

int CQelButton::SetState(int index) {
    std::uint16_t current = 0;
    {
        std::lock_guard guard(m_lock);
        if (index == -1) {
            if (m_wStateCount == 0) {
                return -1;
            }
            const std::uint16_t now = m_wStateIndex;
            return now == 0 ? m_wStateCount - 1 : now - 1;
        }
        if (index >= 0 && index < m_wStateCount) {
            m_wStateIndex = static_cast<std::uint16_t>(index);
        }
        if (m_phStateBitmaps.empty()) {
            return -1;
        }
        current = m_wStateIndex;
    }
    const Face face{FaceKind::StateNormal, current};
    if (OnGuiThread(this)) {
        PaintFace(face);
    } else {
        // Widgets are painted on the GUI thread only; a button destroyed in
        // the meantime drops the message.
        platform::PostWindowMessage(m_hWnd, WM_PAINTSTATEFACE, face.index, 0);
    }
    return 1;
}

int CQelButton::SetThreeState(int n) {
    static constexpr std::array<FaceKind, 3> kFaces{FaceKind::Flat, FaceKind::Focus,
                                                    FaceKind::Selected};
    if (n < 1 || n > 3) {
        return 0;
    }
    m_wStateIndex = static_cast<std::uint16_t>(n);
    PaintFace({kFaces[static_cast<std::size_t>(n - 1)], 0});
    return 1;
}

int CQelButton::StepBackState() {
    const int previous = SetState(-1);
    if (previous < 0) {
        return -1;
    }
    m_wStateIndex = static_cast<std::uint16_t>(previous);
    PaintFace({FaceKind::StateNormal, static_cast<std::uint16_t>(previous)});
    return 1;
}

CQelButton::Face CQelButton::DrawItemFace() const {
    const std::uint16_t style = ButtonStyle();
    const std::uint16_t state = m_wStateIndex;
    const Face pushFace{m_bReleased ? FaceKind::Flat : FaceKind::Selected, 0};
    if (style & kStyleSingle) {
        return {FaceKind::StateNormal, 0};
    }
    if (style & kStyleThreeFaceSet) {
        static constexpr std::array<FaceKind, 4> kFaces{FaceKind::None, FaceKind::Flat,
                                                        FaceKind::Focus, FaceKind::Selected};
        return {state < kFaces.size() ? kFaces[state] : FaceKind::None, 0};
    }
    if (style & (kStylePush | kStylePushHover)) {
        return pushFace;
    }
    if (style & kStyleThreeFaceCycle) {
        static constexpr std::array<FaceKind, 3> kFaces{FaceKind::Flat, FaceKind::Focus,
                                                        FaceKind::Selected};
        return {state < kFaces.size() ? kFaces[state] : FaceKind::None, 0};
    }
    if (style & (kStyleCycling | kStyleOwnerStates)) {
        return {FaceKind::StateNormal, state};
    }
    return pushFace;
}

CQelButton::Face CQelButton::NormalFace() const {
    if (HasStyle(kStyleCycling | kStyleOwnerStates)) {
        return {FaceKind::StateNormal, m_wStateIndex};
    }
    return {FaceKind::Flat, 0};
}

CQelButton::Face CQelButton::HoverFace() const {
    if (HasStyle(kStyleCycling | kStyleOwnerStates)) {
        return {FaceKind::StateHover, m_wStateIndex};
    }
    return {FaceKind::Focus, 0};
}

void CQelButton::DrawItem() {
    PaintFace(DrawItemFace());
}

QImage CQelButton::FaceImage(Face face) const {
    std::lock_guard guard(m_lock);
    const auto entry = [&face](const std::vector<QImage>& images) {
        return face.index < images.size() ? images[face.index] : QImage();
    };
    switch (face.kind) {
        case FaceKind::Flat:
            return m_hFlatBitmap;
        case FaceKind::Focus:
            return m_hFocusBitmap;
        case FaceKind::Selected:
            return m_hSelectedBitmap;
        case FaceKind::StateNormal:
            return entry(m_phStateBitmaps);
        case FaceKind::StateHover:
            return entry(m_phHoverBitmaps);
        case FaceKind::None:
            break;
    }
    return {};
}

QImage CQelButton::ShownImage() const {
    return FaceImage(m_shownFace);
}

void CQelButton::PaintFace(Face face) {
    m_shownFace = face;
    m_faceChosen = true;
    repaint();
}

void CQelButton::paintEvent(QPaintEvent*) {
    if (!m_faceChosen) {
        m_shownFace = DrawItemFace();
        m_faceChosen = true;
    }
    // The face is copied at its own size from the top-left corner: never
    // stretched; a smaller face leaves the rest to the parent's background,
    // a larger one is clipped. A face without a bitmap paints nothing.
    const QImage image = ShownImage();
    if (!image.isNull()) {
        QPainter painter(this);
        painter.drawImage(QPoint(0, 0), image);
    }
}

void CQelButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    if (m_bTracking ||
        !HasStyle(kStyleHover | kStyleCycling | kStylePushHover | kStyleOwnerStates)) {
        return;
    }
    const QPoint point = event->position().toPoint();
    if (point.x() < 0 || point.y() < 0 || point.x() > width() - 1 || point.y() > height() - 1) {
        return;
    }
    m_bTracking = true;
    PaintFace(HoverFace());
}

void CQelButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    if (!m_bTracking ||
        !HasStyle(kStyleHover | kStyleCycling | kStylePushHover | kStyleOwnerStates)) {
        return;
    }
    m_bTracking = false;
    PaintFace(NormalFace());
}

void CQelButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (HasStyle(kStylePush | kStylePushHover)) {
            if (m_bReleased) {
                Toggle();
            }
        } else if (HasStyle(kStyleThreeFaceCycle)) {
            AdvanceThreeFaceCycle();
        } else if (HasStyle(kStyleCycling)) {
            AdvanceState();
        }
    }
    QPushButton::mousePressEvent(event);
    // The button's pushed state changed: the owner-draw rule paints again.
    DrawItem();
}

void CQelButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && HasStyle(kStylePush | kStylePushHover) &&
        !m_bReleased) {
        Toggle();
    }
    QPushButton::mouseReleaseEvent(event);
    DrawItem();
}

void CQelButton::focusInEvent(QFocusEvent* event) {
    QPushButton::focusInEvent(event);
    DrawItem();
}

void CQelButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    DrawItem();
}

void CQelButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    // A disabled button looks exactly like an enabled one; the change only
    // repaints by the usual rule.
    if (event->type() == QEvent::EnabledChange && isVisible()) {
        DrawItem();
    }
}

void CQelButton::Toggle() {
    m_bReleased = !m_bReleased;
    PaintFace({m_bReleased ? FaceKind::Flat : FaceKind::Selected, 0});
}

void CQelButton::AdvanceState() {
    std::uint16_t next = 0;
    {
        std::lock_guard guard(m_lock);
        next = static_cast<std::uint16_t>(m_wStateIndex + 1);
        if (next >= m_wStateCount) {
            next = 0;
        }
    }
    m_wStateIndex = next;
    PaintFace({FaceKind::StateNormal, next});
}

void CQelButton::AdvanceThreeFaceCycle() {
    static constexpr std::array<FaceKind, 3> kNextFace{FaceKind::Focus, FaceKind::Selected,
                                                       FaceKind::Flat};
    const std::uint16_t state = m_wStateIndex < 3 ? m_wStateIndex.load() : 2;
    m_wStateIndex = static_cast<std::uint16_t>((state + 1) % 3);
    PaintFace({kNextFace[state], 0});
}

// ---- outline shapes -------------------------------------------------------

void CQelButton::SetOutlineShape(int kind) {
    m_outline.Build(kind, width(), height());
    ApplyOutlineMask();
}

void CQelButton::SetOutline(const CButtonOutline& outline) {
    m_outline = outline;
    ApplyOutlineMask();
}

void CQelButton::ApplyOutlineMask() {
    if (m_outline.Empty()) {
        clearMask();
    } else {
        const auto& points = m_outline.Polygon(0);
        setMask(QRegion(QPolygon(QList<QPoint>(points.begin(), points.end())), Qt::OddEvenFill));
    }
    update();
}

double CQelButton::EdgeWeight(QPoint point, QPoint centre) {
    // Screen y grows downwards; the angle is taken with y pointing up, so
    // the light falls from the upper left (3π/4).
    const double theta = std::atan2(static_cast<double>(centre.y() - point.y()),
                                    static_cast<double>(point.x() - centre.x()));
    return (std::cos(std::abs(3.0 * std::numbers::pi / 4.0 - theta)) + 1.0) / 2.0;
}

QRgb CQelButton::BlendEdgeColour(double weight, QRgb a, QRgb b) {
    const double w = std::clamp(weight, 0.0, 1.0);
    const auto mix = [w](int x, int y) { return static_cast<int>(w * x + (1.0 - w) * y); };
    return qRgb(mix(qRed(a), qRed(b)), mix(qGreen(a), qGreen(b)), mix(qBlue(a), qBlue(b)));
}
