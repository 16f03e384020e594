#include "tools/skingen/main_skin.h"

#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "liveview/control/bar_tables.h"
#include "liveview/skin/skin_tables.h"
#include "tools/skingen/skin_painter.h"

namespace skingen {

namespace {

// ---- the theme: the login dialog's colours ------------------------------------

constexpr QRgb kOutline = 0x0E2442;
constexpr QRgb kHighlight = 0x6A98CC;
constexpr QRgb kBody = 0xDDE6F0;
constexpr QRgb kPanel = 0xD3DEEA;
constexpr QRgb kCard = 0xF3F6FA;
constexpr QRgb kCardBorder = 0xB5C4D6;
constexpr QRgb kNavy = 0x2A5587;
constexpr QRgb kRed = kGlyphRed;
constexpr QRgb kDisplay = 0x0A1A30;
constexpr int kBandHeight = 30;

QRgb Mix(QRgb a, QRgb b, double t) {
    const auto channel = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
    return qRgb(channel(qRed(a), qRed(b)), channel(qGreen(a), qGreen(b)),
                channel(qBlue(a), qBlue(b)));
}

// The title band: glossy above, deeper below, a dark last row.
QRgb BandColour(int y) {
    if (y <= 0) {
        return kHighlight;
    }
    if (y >= kBandHeight - 1) {
        return kOutline;
    }
    if (y < 12) {
        return Mix(0x4A7DB5, 0x2D5A8E, y / 12.0);
    }
    return Mix(0x234C7D, 0x15345B, (y - 12) / double(kBandHeight - 13));
}

// Where the title-bar buttons sit on the band.
constexpr int kTitleButtonTop = 8;

// ---- faces -------------------------------------------------------------------

struct LookColours {
    QColor top;
    QColor bottom;
    QColor border;
    QColor ink;
};

LookColours ColoursOf(Look look) {
    switch (look) {
        case Look::kOver:
            return {QColor(0xFFFFFF), QColor(0xD8EBFC), QColor(0x2F80D6), QColor(0x1F6FC2)};
        case Look::kDown:
            return {QColor(0xB9CDE4), QColor(0xE2EBF5), QColor(0x1F4470), QColor(0x1F4470)};
        case Look::kDisabled:
            return {QColor(0xE9EDF2), QColor(0xDDE3EA), QColor(0xC3CCD6), QColor(0xA3B0BF)};
        case Look::kActive:
            return {QColor(0x4A8FDA), QColor(0x1F4F8A), QColor(0x0E2442), QColor(0xFFFFFF)};
        case Look::kActiveOver:
            return {QColor(0x6FB0F2), QColor(0x2C66AB), QColor(0x0E2442), QColor(0xFFFFFF)};
        case Look::kBand:
        case Look::kBandOver:
        case Look::kNormal:
            break;
    }
    return {QColor(0xF8FBFE), QColor(0xCFDDEC), QColor(0x8CA6C2), QColor(kNavy)};
}

// Text in the pixel font at the largest scale (up to `maxScale`) that fits.
void DrawFittedText(QPainter& p, const QRect& area, std::string_view text, QColor colour,
                    int maxScale) {
    int scale = maxScale;
    while (scale > 1 &&
           (PixelTextWidth(text, scale) > area.width() || kGlyphHeight * scale > area.height())) {
        --scale;
    }
    const int width = PixelTextWidth(text, scale);
    DrawPixelText(p,
                  {area.left() + (area.width() - width + 1) / 2,
                   area.top() + (area.height() - kGlyphHeight * scale + 1) / 2},
                  text, colour, scale);
}

// The content of a face: a glyph, a text, or a glyph left of a text.
void DrawContent(QPainter& p, const QRect& area, const MainSkinFile& file, QColor ink,
                 QColor back) {
    const int side = std::min(area.width(), area.height());
    if (file.glyph == Glyph::kText) {
        DrawFittedText(p, area, file.text, ink, area.height() >= 16 ? 2 : 1);
        return;
    }
    const bool red = file.glyph == Glyph::kRecord && file.look != Look::kDisabled;
    const QColor glyphInk = red ? QColor(kRed) : ink;
    if (file.text.empty()) {
        const double s = side;
        DrawGlyph(p,
                  QRectF(area.left() + (area.width() - s) / 2.0,
                         area.top() + (area.height() - s) / 2.0, s, s),
                  file.glyph, glyphInk, back);
        return;
    }
    const QRect glyphBox(area.left(), area.top(), side, side);
    DrawGlyph(p, QRectF(glyphBox), file.glyph, glyphInk, back);
    DrawFittedText(p, area.adjusted(side + 1, 0, 0, 0), file.text, ink, 1);
}

QImage DrawFace(const MainSkinFile& file) {
    const int w = file.width;
    const int h = file.height;
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    if (file.look == Look::kBand || file.look == Look::kBandOver) {
        // Over the title band: the band shows through, hover lights a square.
        for (int y = 0; y < h; ++y) {
            p.fillRect(0, y, w, 1, QColor(BandColour(kTitleButtonTop + y)));
        }
        const bool over = file.look == Look::kBandOver;
        if (over) {
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setPen(Qt::NoPen);
            p.setBrush(file.glyph == Glyph::kClose ? QColor(kRed) : QColor(kHighlight));
            p.drawRoundedRect(QRectF(0, 0, w, h), 2.5, 2.5);
        }
        DrawGlyph(p, QRectF(1.5, 1.5, w - 3.0, h - 3.0), file.glyph, QColor(0xE8F1FB),
                  QColor(BandColour(kTitleButtonTop + h / 2)));
        return image;
    }
    image.fill(kBody);
    p.setRenderHint(QPainter::Antialiasing, true);
    const LookColours colours = ColoursOf(file.look);
    const int side = std::min(w, h);
    const double radius = std::clamp(side / 4.0, 2.0, 5.0);
    QLinearGradient fill(0, 0, 0, h);
    fill.setColorAt(0.0, colours.top);
    fill.setColorAt(1.0, colours.bottom);
    p.setBrush(fill);
    p.setPen(QPen(colours.border, file.look == Look::kOver ? 1.5 : 1.0));
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1.0, h - 1.0), radius, radius);
    const int pad = side >= 24 ? 4 : side >= 16 ? 3 : 2;
    const int shift = file.look == Look::kDown ? 1 : 0;
    const QRect area(pad + shift, pad + shift, w - 2 * pad, h - 2 * pad);
    const QColor back = file.look == Look::kActive || file.look == Look::kActiveOver
                            ? QColor(0x2C66AB)
                            : QColor(0xE4ECF5);
    DrawContent(p, area, file, colours.ink, back);
    return image;
}

// The status line: a recessed light field the status text is written on.
QImage DrawStatusBar(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kBody);
    QPainter p(&image);
    QLinearGradient fill(0, 0, 0, h);
    fill.setColorAt(0.0, QColor(0xE8EEF5));
    fill.setColorAt(1.0, QColor(kCard));
    p.setPen(QPen(QColor(kCardBorder), 1.0));
    p.setBrush(fill);
    p.drawRect(QRectF(0.5, 0.5, w - 1.0, h - 1.0));
    p.setPen(QColor(0x9FB3C9));
    p.drawLine(1, 1, w - 2, 1);
    return image;
}

// The alarm and online-user icons, drawn over the status line.
QImage DrawStatusIcon(const MainSkinFile& file) {
    QImage image(file.width, file.height, QImage::Format_RGB32);
    image.fill(kCard);
    QPainter p(&image);
    const QColor colour = file.glyph == Glyph::kBell ? QColor(kRed) : QColor(kNavy);
    const double s = std::min(file.width, file.height);
    DrawGlyph(p, QRectF((file.width - s) / 2, (file.height - s) / 2, s, s), file.glyph, colour,
              QColor(kCard));
    return image;
}

// A window background for a layout slot: the title band, the bar of
// channel and command buttons, a dark screen behind the picture (as wide as
// the widest picture any family shows in this slot) and, with the panel,
// the panel's plate below it.
QImage DrawBackground(const MainSkinFile& file) {
    const int w = file.width;
    const int h = file.height;
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kBody);
    QPainter p(&image);
    for (int y = 0; y < kBandHeight; ++y) {
        p.fillRect(0, y, w, 1, QColor(BandColour(y)));
    }
    DrawPixelText(p, {15, 9}, "KESTRUNE", QColor(kOutline), 2);
    DrawPixelText(p, {14, 8}, "KESTRUNE", QColor(0xE8F1FB), 2);

    // The screen: the union of the picture rectangles of every view mode
    // that wears this skin.
    QRect screen;
    for (int mode = 0; mode < kViewModeCount; ++mode) {
        if (SkinSlot(LayoutSlot(mode)) != file.skinSlot) {
            continue;
        }
        const ViewLayoutRow& v = ViewLayoutTable[mode];
        screen |= QRect(QPoint(v[kVlVideoLeft], v[kVlVideoTop]),
                        QPoint(v[kVlVideoRight] - 1, v[kVlVideoBottom] - 1));
    }
    screen.adjust(-2, -2, 2, 2);
    screen = screen.intersected(QRect(3, 0, w - 6, h));
    p.fillRect(screen, QColor(kDisplay));
    p.setPen(QColor(kHighlight));
    p.drawRect(screen.adjusted(-1, -1, 0, 0));

    // The panel plate below the screen.
    const int plateTop = screen.bottom() + 3;
    if (file.panel) {
        p.fillRect(QRect(3, plateTop, w - 6, h - plateTop - 4), QColor(kPanel));
        p.setPen(QColor(0xF3F6FA));
        p.drawLine(3, plateTop, w - 4, plateTop);
    }
    // The outer frame.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(kOutline));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, w - 1, h - 1);
    p.setPen(QColor(0x4A7DB5));
    p.drawLine(1, kBandHeight, 1, h - 2);
    p.drawLine(w - 2, kBandHeight, w - 2, h - 2);
    p.drawLine(1, h - 2, w - 2, h - 2);
    return image;
}

// ---- the file list ------------------------------------------------------------

struct GlyphOfControl {
    std::uint16_t controlId;
    Glyph glyph;
    const char* text;
};

// What each panel button shows, by its control id.
constexpr std::array<GlyphOfControl, 47> kControlGlyphs{{
    {8322, Glyph::kPip, ""},       {8321, Glyph::kGrid2, ""},
    {8271, Glyph::kGrid2, ""},     {8272, Glyph::kGrid3, ""},
    {8273, Glyph::kGrid4, ""},     {8573, Glyph::kGrid8, ""},
    {8280, Glyph::kPip, ""},       {8281, Glyph::kPop, ""},
    {8282, Glyph::kText, "MLT"},   {8283, Glyph::kText, "AUTO"},
    {8319, Glyph::kSearch, ""},    {8285, Glyph::kText, "VCR"},
    {8286, Glyph::kText, "LIVE"},  {8287, Glyph::kGrid2, ""},
    {8288, Glyph::kFreeze, ""},    {8291, Glyph::kZoomIn, ""},
    {8292, Glyph::kZoomOut, ""},   {8289, Glyph::kFocusNear, ""},
    {8290, Glyph::kFocusFar, ""},  {8313, Glyph::kPlus, ""},
    {8314, Glyph::kMinus, ""},     {8323, Glyph::kRecord, ""},
    {8324, Glyph::kReboot, ""},    {8325, Glyph::kText, "ESC"},
    {8326, Glyph::kEnter, ""},     {8327, Glyph::kStopRecording, ""},
    {8328, Glyph::kRecord, ""},    {8220, Glyph::kZoomIn, ""},
    {8222, Glyph::kSelect, ""},    {8223, Glyph::kLock, ""},
    {8224, Glyph::kSearch, ""},    {8225, Glyph::kEnter, ""},
    {8226, Glyph::kStop, ""},      {8227, Glyph::kRecord, ""},
    {8228, Glyph::kRewind, ""},    {8229, Glyph::kFastForward, ""},
    {8230, Glyph::kPause, ""},     {8231, Glyph::kSlow, ""},
    {8232, Glyph::kPlay, ""},      {8310, Glyph::kTurbo, ""},
    {8312, Glyph::kPtz, ""},       {8331, Glyph::kBell, "RETR"},
    {8350, Glyph::kZoomInMax, ""}, {8351, Glyph::kZoomOutMax, ""},
    {8353, Glyph::kText, "DZ"},    {8354, Glyph::kText, "SET"},
    {8355, Glyph::kSequence, ""},
}};

constexpr std::array<Glyph, 5> kArrowGlyphs{Glyph::kArrowLeft, Glyph::kArrowUp, Glyph::kMenu,
                                            Glyph::kArrowDown, Glyph::kArrowRight};

class FileList {
public:
    // Adds a file, or counts one more use of it at this size. The first
    // use decides what it shows.
    void Add(const char* name, int w, int h, Glyph glyph, Look look, std::string text = {}) {
        if (name == nullptr) {
            return;
        }
        const auto [it, added] = m_index.try_emplace(name, m_files.size());
        if (added) {
            MainSkinFile file;
            file.name = name;
            file.width = w;
            file.height = h;
            file.glyph = glyph;
            file.look = look;
            file.text = std::move(text);
            m_files.push_back(std::move(file));
        }
        ++m_sizes[name][{w, h}];
    }
    void AddStretched(MainSkinFile file) {
        if (m_index.try_emplace(file.name, m_files.size()).second) {
            file.stretched = true;
            m_files.push_back(std::move(file));
        }
    }

    // Each shared file takes the size most of its buttons have (the larger
    // one on a tie).
    std::vector<MainSkinFile> Finish(std::vector<std::string>* shared) {
        for (MainSkinFile& file : m_files) {
            const auto found = m_sizes.find(file.name);
            if (found == m_sizes.end()) {
                continue;
            }
            const auto& sizes = found->second;
            if (sizes.size() > 1 && shared != nullptr) {
                shared->push_back(file.name);
            }
            const auto best =
                std::max_element(sizes.begin(), sizes.end(), [](const auto& a, const auto& b) {
                    return a.second != b.second
                               ? a.second < b.second
                               : a.first.first * a.first.second < b.first.first * b.first.second;
                });
            file.width = best->first.first;
            file.height = best->first.second;
        }
        return m_files;
    }

private:
    std::vector<MainSkinFile> m_files;
    std::map<std::string, std::size_t> m_index;
    std::map<std::string, std::map<std::pair<int, int>, int>> m_sizes;
};

void AddPanelButtons(FileList& list) {
    for (const SkinFamily& family : SkinButtonTable) {
        for (int r = 0; r < kSkinButtonRows; ++r) {
            const SkinButtonRow& row = family.rows[r];
            if ((row.wFlags & kSkinPresent) == 0) {
                continue;
            }
            Glyph glyph = Glyph::kText;
            std::string text;
            if (r < 16) {
                text = std::to_string(r + 1);
            } else if (r >= 54 && r <= 58) {
                glyph = kArrowGlyphs[static_cast<std::size_t>(r - 54)];
            } else {
                for (const GlyphOfControl& g : kControlGlyphs) {
                    if (g.controlId == row.wControlId) {
                        glyph = g.glyph;
                        text = g.text;
                    }
                }
            }
            for (int slot = 0; slot < kSkinSlotCount; ++slot) {
                const int w = row.rect[slot].Width();
                const int h = row.rect[slot].Height();
                if (row.wStyle == kSkinStyleThreeBitmap) {
                    list.Add(row.files[slot * 3], w, h, glyph, Look::kNormal, text);
                    list.Add(row.files[slot * 3 + 1], w, h, glyph, Look::kOver, text);
                    continue;
                }
                const auto files = TwoStateFiles(row, slot);
                if (row.wControlId == 8356) {
                    // Action and preset modes of the PELCO keypads.
                    list.Add(files[0], w, h, Glyph::kText, Look::kNormal, "ACTION");
                    list.Add(files[2], w, h, Glyph::kText, Look::kActive, "PRESET");
                    continue;
                }
                list.Add(files[0], w, h, glyph, Look::kNormal, text);
                list.Add(files[1], w, h, glyph, Look::kOver, text);
                list.Add(files[2], w, h, glyph, Look::kActive, text);
                list.Add(files[3], w, h, glyph, Look::kActiveOver, text);
            }
        }
    }
    // Turbo faces of the arrows and of zoom and focus, in any family that
    // has those buttons.
    const SkinFamily& arrows = SkinButtonTable[1];
    for (int i = 0; i < 4; ++i) {
        const int r = kTurboArrowRows[i];
        const Glyph glyph = kArrowGlyphs[static_cast<std::size_t>(r - 54)];
        for (int slot = 0; slot < kSkinSlotCount; ++slot) {
            const SkinRect rect = arrows.rows[r].rect[slot];
            list.Add(kTurboArrowFiles[i][slot][0], rect.Width(), rect.Height(), glyph,
                     Look::kActive);
            list.Add(kTurboArrowFiles[i][slot][1], rect.Width(), rect.Height(), glyph,
                     Look::kActiveOver);
        }
    }
    const SkinFamily& ptz = SkinButtonTable[8];
    const std::array<Glyph, 4> zoomFocus{Glyph::kZoomIn, Glyph::kZoomOut, Glyph::kFocusNear,
                                         Glyph::kFocusFar};
    for (int i = 0; i < 4; ++i) {
        for (int slot = 0; slot < kSkinSlotCount; ++slot) {
            const SkinRect rect = ptz.rows[kTurboZoomFocusFirstRow + i].rect[slot];
            list.Add(kTurboZoomFocusFiles[i][0], rect.Width(), rect.Height(), zoomFocus[i],
                     Look::kActive);
            list.Add(kTurboZoomFocusFiles[i][1], rect.Width(), rect.Height(), zoomFocus[i],
                     Look::kActiveOver);
        }
    }
}

MainSkinFile Stretched(const char* name, int w, int h, Glyph glyph) {
    MainSkinFile file;
    file.name = name;
    file.width = w;
    file.height = h;
    file.glyph = glyph;
    return file;
}

void AddWindowFiles(FileList& list) {
    for (int slot = 0; slot < kSkinSlotCount; ++slot) {
        const ViewLayoutRow& v = ViewLayoutTable[slot];
        const SkinBackgroundSet& set = kSkinBackgrounds[slot];
        MainSkinFile plain =
            Stretched(set.background, v[2] - v[0], v[3] - v[1], Glyph::kBackground);
        plain.skinSlot = slot;
        list.AddStretched(plain);
        MainSkinFile panel =
            Stretched(set.backgroundPanel, v[6] - v[4], v[7] - v[5], Glyph::kBackground);
        panel.skinSlot = slot;
        panel.panel = true;
        list.AddStretched(panel);
        list.AddStretched(Stretched(set.statusBar, v[kVlStatusLeft + 2] - v[kVlStatusLeft],
                                    v[kVlStatusLeft + 3] - v[kVlStatusLeft + 1],
                                    Glyph::kStatusBar));
        const int upW = v[kVlPanelUpX + 2];
        const int upH = v[kVlPanelUpX + 3];
        list.Add(kPanelUpFiles[slot][0], upW, upH, Glyph::kChevronUp, Look::kNormal);
        list.Add(kPanelUpFiles[slot][1], upW, upH, Glyph::kChevronUp, Look::kOver);
        const int downW = v[kVlPanelDownX + 2];
        const int downH = v[kVlPanelDownX + 3];
        list.Add(kPanelDownFiles[slot][0], downW, downH, Glyph::kChevronDown, Look::kNormal);
        list.Add(kPanelDownFiles[slot][1], downW, downH, Glyph::kChevronDown, Look::kOver);
    }
    const ViewLayoutRow& v = ViewLayoutTable[0];
    const int iconW = v[kVlIconsLeft + 2] - v[kVlIconsLeft];
    const int iconH = v[kVlIconsLeft + 3] - v[kVlIconsLeft + 1];
    list.Add(kOnlineUserIcon, iconW, iconH, Glyph::kPerson, Look::kNormal);
    list.Add(kAlarmIcon, iconW, iconH, Glyph::kBell, Look::kNormal);
    const std::array<Glyph, 3> title{Glyph::kMinimise, Glyph::kFullscreen, Glyph::kClose};
    for (int i = 0; i < 3; ++i) {
        list.Add(kTitleBarFiles[i][0], v[kVlTitleWidth], v[kVlTitleHeight], title[i], Look::kBand);
        list.Add(kTitleBarFiles[i][1], v[kVlTitleWidth], v[kVlTitleHeight], title[i],
                 Look::kBandOver);
    }
    const std::array<Look, 3> powerLooks{Look::kNormal, Look::kOver, Look::kDown};
    for (int i = 0; i < 3; ++i) {
        list.Add(kPowerFiles[i], v[kVlPowerWidth], v[kVlPowerHeight], Glyph::kPower, powerLooks[i]);
    }
}

void AddBarFiles(FileList& list) {
    for (const ChannelButtonRow& row : kChannelRowsQ8A7) {
        Glyph glyph = Glyph::kText;
        std::string text;
        if (row.dwRole == kChannelRoleLeft) {
            glyph = Glyph::kArrowLeft;
        } else if (row.dwRole == kChannelRoleRight) {
            glyph = Glyph::kArrowRight;
        } else {
            text = row.wControlId == kChannelDvrId ? "DVR"
                                                   : std::to_string(row.wControlId - kChannelDvrId);
        }
        const bool arrow = row.dwRole != kChannelRoleChannel;
        // Channel buttons: state 0 (enable) is the channel shown. The arrows
        // rest in state 1, whose face is the _Down file, lit by the plain
        // file under the mouse.
        const std::array<Look, 4> looks =
            arrow ? std::array{Look::kOver, Look::kOver, Look::kNormal, Look::kOver}
                  : std::array{Look::kActive, Look::kActiveOver, Look::kNormal, Look::kOver};
        for (int k = 0; k < 4; ++k) {
            list.Add(row.files[k], row.wWidth, row.wHeight, glyph, looks[k], text);
        }
    }
    for (const Q3A2ChannelRow& row : kChannelRowsQ3A2) {
        for (int k = 0; k < 16; ++k) {
            list.Add(row.files[k], row.rect[k / 4].Width(), row.rect[k / 4].Height(), Glyph::kText,
                     Look::kNormal);
        }
    }
    struct CommandFace {
        const char* name;
        Glyph glyph;
        const char* text;
        Look look;
    };
    const std::array<CommandFace, 20> faces{{
        {"link", Glyph::kLink, "", Look::kNormal},
        {"link_over", Glyph::kLink, "", Look::kOver},
        {"link_off", Glyph::kUnlink, "", Look::kNormal},
        {"link_off_over", Glyph::kUnlink, "", Look::kOver},
        {"qvga", Glyph::kText, "QVGA", Look::kNormal},
        {"qvga_over", Glyph::kText, "QVGA", Look::kOver},
        {"vga", Glyph::kText, "VGA", Look::kNormal},
        {"vga_over", Glyph::kText, "VGA", Look::kOver},
        {"high", Glyph::kText, "HI", Look::kNormal},
        {"high_over", Glyph::kText, "HI", Look::kOver},
        {"mid", Glyph::kText, "MID", Look::kNormal},
        {"mid_over", Glyph::kText, "MID", Look::kOver},
        {"low", Glyph::kText, "LOW", Look::kNormal},
        {"low_over", Glyph::kText, "LOW", Look::kOver},
        {"Image_Quality", Glyph::kColour, "", Look::kNormal},
        {"snapshoot", Glyph::kCamera, "", Look::kNormal},
        {"snapshoot_down", Glyph::kCamera, "", Look::kDown},
        {"Record_Button", Glyph::kRecord, "", Look::kNormal},
        {"Recording_Button", Glyph::kRecord, "", Look::kActive},
        {"system_setting", Glyph::kGear, "", Look::kNormal},
    }};
    const auto faceOf = [&faces](std::string_view name) -> CommandFace {
        for (const CommandFace& face : faces) {
            if (name == face.name) {
                return face;
            }
        }
        // A hover name: the face of its normal name, lit.
        for (const CommandFace& face : faces) {
            if (name == std::string(face.name) + "_over") {
                return {nullptr, face.glyph, face.text,
                        face.look == Look::kActive ? Look::kActiveOver : Look::kOver};
            }
        }
        return {nullptr, Glyph::kText, "", Look::kNormal};
    };
    for (const CommandButtonRow& row : CommandButtonTable) {
        for (int slot = 0; slot < kSkinSlotCount; ++slot) {
            const int w = row.rect[slot].Width();
            const int h = row.rect[slot].Height();
            for (int k = 0; k < 6; ++k) {
                if (row.normal[k] == nullptr) {
                    continue;
                }
                const CommandFace face = faceOf(row.normal[k]);
                list.Add(row.normal[k], w, h, face.glyph, face.look, face.text);
                list.Add(row.disabled[k], w, h, face.glyph, Look::kDisabled, face.text);
            }
        }
    }
}

struct Built {
    std::vector<MainSkinFile> files;
    std::vector<std::string> shared;
};

const Built& BuiltFiles() {
    static const Built built = [] {
        FileList list;
        AddWindowFiles(list);
        AddPanelButtons(list);
        AddBarFiles(list);
        Built result;
        result.files = list.Finish(&result.shared);
        // The Q3A2's channel faces are the DVR bar's (same names): they
        // were added with the looks of the Q8A7 rows first.
        return result;
    }();
    return built;
}

}  // namespace

const std::vector<MainSkinFile>& MainSkinFiles() {
    return BuiltFiles().files;
}

std::vector<std::string> MainSkinSharedSizeNames() {
    return BuiltFiles().shared;
}

QImage DrawMainSkinFile(const MainSkinFile& file) {
    switch (file.glyph) {
        case Glyph::kBackground:
            return DrawBackground(file);
        case Glyph::kStatusBar:
            return DrawStatusBar(file.width, file.height);
        default:
            break;
    }
    if (file.name == kOnlineUserIcon || file.name == kAlarmIcon) {
        return DrawStatusIcon(file);
    }
    return DrawFace(file);
}

std::size_t WriteMainSkin(const std::filesystem::path& programFolder) {
    const std::filesystem::path folder = programFolder / "BMP";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::size_t written = 0;
    for (const MainSkinFile& file : MainSkinFiles()) {
        const std::filesystem::path target = folder / (file.name + ".bmp");
        // 24 bits per pixel, as the skins have always been stored.
        const QImage image = DrawMainSkinFile(file).convertToFormat(QImage::Format_RGB888);
        if (image.isNull() || !image.save(QFile::decodeName(target.c_str()), "BMP")) {
            throw std::runtime_error("cannot write " + target.string());
        }
        ++written;
    }
    return written;
}

QImage DrawMainSkinContactSheet() {
    constexpr int kScale = 2;
    constexpr int kGap = 6;
    constexpr int kSheetWidth = 1400;
    // Lay the faces out in rows, at twice their size.
    std::vector<std::pair<QPoint, const MainSkinFile*>> places;
    int x = kGap;
    int y = kGap;
    int rowHeight = 0;
    for (const MainSkinFile& file : MainSkinFiles()) {
        if (file.stretched) {
            continue;
        }
        const int w = file.width * kScale;
        const int h = file.height * kScale;
        if (x + w + kGap > kSheetWidth) {
            x = kGap;
            y += rowHeight + kGap;
            rowHeight = 0;
        }
        places.emplace_back(QPoint(x, y), &file);
        x += w + kGap;
        rowHeight = std::max(rowHeight, h);
    }
    const int facesBottom = y + rowHeight + kGap;
    // Below the faces, the backgrounds of the two NTSC skins with their panel.
    const auto& files = MainSkinFiles();
    const auto findFile = [&files](std::string_view name) {
        return std::find_if(files.begin(), files.end(),
                            [name](const MainSkinFile& f) { return f.name == name; });
    };
    const QImage vga = DrawMainSkinFile(*findFile("N_VGA_BG_EX"));
    const QImage qvga = DrawMainSkinFile(*findFile("N_QVGA_BG_EX"));
    QImage sheet(kSheetWidth, facesBottom + std::max(vga.height(), qvga.height()) + kGap,
                 QImage::Format_RGB32);
    sheet.fill(0x8795A6);
    QPainter p(&sheet);
    for (const auto& [at, file] : places) {
        p.drawImage(QRect(at, QSize(file->width * kScale, file->height * kScale)),
                    DrawMainSkinFile(*file));
    }
    p.drawImage(QPoint(kGap, facesBottom), vga);
    p.drawImage(QPoint(2 * kGap + vga.width(), facesBottom), qvga);
    return sheet;
}

QImage DrawMainWindowPreview(int family, int viewMode) {
    const auto& files = MainSkinFiles();
    const auto draw = [&files](std::string_view name) {
        const auto it = std::find_if(files.begin(), files.end(),
                                     [name](const MainSkinFile& f) { return f.name == name; });
        return it != files.end() ? DrawMainSkinFile(*it) : QImage();
    };
    const ViewLayoutRow& v = ViewLayoutTable.at(static_cast<std::size_t>(viewMode));
    const int layoutSlot = LayoutSlot(viewMode);
    const int skin = SkinSlot(layoutSlot);
    const SkinBackgroundSet& set = kSkinBackgrounds[static_cast<std::size_t>(layoutSlot)];
    QImage window = draw(set.backgroundPanel).convertToFormat(QImage::Format_RGB32);
    QPainter p(&window);
    const auto put = [&p, &draw](std::string_view name, int x, int y, int w, int h) {
        p.drawImage(QRect(x, y, w, h), draw(name));
    };
    put(set.statusBar, v[kVlStatusLeft], v[kVlStatusLeft + 1],
        v[kVlStatusLeft + 2] - v[kVlStatusLeft], v[kVlStatusLeft + 3] - v[kVlStatusLeft + 1]);
    DrawPixelText(p, {v[kVlStatusLeft] + 6, v[kVlStatusLeft + 1] + 7}, "FR 25.00 FPS DR 1523 KBPS",
                  QColor(kNavy));
    put(kAlarmIcon, v[kVlIconsLeft], v[kVlIconsLeft + 1], v[kVlIconsLeft + 2] - v[kVlIconsLeft],
        v[kVlIconsLeft + 3] - v[kVlIconsLeft + 1]);
    p.fillRect(QRect(QPoint(v[kVlVideoLeft], v[kVlVideoTop]),
                     QPoint(v[kVlVideoRight] - 1, v[kVlVideoBottom] - 1)),
               QColor(0x3C5A46));
    for (int i = 0; i < 3; ++i) {
        put(kTitleBarFiles[static_cast<std::size_t>(i)][0],
            v[kVlTitleX] + i * (v[kVlTitleWidth] + v[kVlTitleGap]), v[kVlTitleY], v[kVlTitleWidth],
            v[kVlTitleHeight]);
    }
    put(kPanelDownFiles[static_cast<std::size_t>(skin)][0], v[kVlPanelDownX], v[kVlPanelDownX + 1],
        v[kVlPanelDownX + 2], v[kVlPanelDownX + 3]);
    for (const SkinButtonRow& row : SkinButtonTable.at(static_cast<std::size_t>(family)).rows) {
        if ((row.wFlags & kSkinPresent) == 0) {
            continue;
        }
        const SkinRect r = row.rect[static_cast<std::size_t>(skin)];
        const char* face = row.wStyle == kSkinStyleThreeBitmap
                               ? row.files[static_cast<std::size_t>(skin) * 3]
                               : TwoStateFiles(row, skin)[0];
        put(face, r.left, r.top, r.Width(), r.Height());
    }
    // The Q8A7's bars: the DVR view and the first channels, then the command
    // buttons right-aligned.
    const bool qvga = !IsVgaSkin(skin);
    int x = 21;
    for (std::size_t i = 0; i < kChannelRowsQ8A7.size() && x < (qvga ? 160 : 340); ++i) {
        const ChannelButtonRow& row = kChannelRowsQ8A7[i];
        if (row.dwRole != kChannelRoleChannel) {
            continue;
        }
        put(row.files[i == 1 ? 0 : 2], x, 32, row.wWidth, row.wHeight);
        x += row.wWidth;
    }
    put(kChannelRowsQ8A7[18].files[2], x + 3, 37, 9, 16);
    const SkinRect command = CommandButtonTable[0].rect[static_cast<std::size_t>(skin)];
    for (std::size_t k = 0; k < CommandButtonTable.size(); ++k) {
        const CommandButtonRow& row = CommandButtonTable[CommandButtonTable.size() - 1 - k];
        put(row.normal[0], command.left - static_cast<int>(k) * command.Width(), command.top,
            command.Width(), command.Height());
    }
    return window;
}

}  // namespace skingen
