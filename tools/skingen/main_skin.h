#pragma once

// The main window's skin: backgrounds, status lines, title-bar, power and
// panel buttons, the 68 panel buttons of every device family, and the faces
// of the channel bar and the command bar. The names and sizes come from the
// window's own tables, so every file the window loads is drawn, and every
// face blitted unscaled has its button's size.

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/skingen/main_skin_glyphs.h"

namespace skingen {

// How a face looks.
enum class Look : std::uint8_t {
    kNormal,
    kOver,  // hover (three-bitmap buttons also show it while pressed)
    kDown,  // pressed, where a button has a face of its own for it
    kDisabled,
    kActive,  // the state that is on: selected channel, turbo on, recording
    kActiveOver,
    kBand,  // title-bar button over the title band
    kBandOver,
};

struct MainSkinFile {
    std::string name;  // without BMP/ and .bmp
    int width = 0;
    int height = 0;
    Glyph glyph = Glyph::kText;
    Look look = Look::kNormal;
    std::string text;        // caption drawn with (or instead of) the glyph
    int skinSlot = -1;       // backgrounds: the layout slot they serve
    bool panel = false;      // backgrounds: with the control panel
    bool stretched = false;  // backgrounds and bars are stretched to fit
};

// Every file of the main window's skin, each once, in a stable order.
const std::vector<MainSkinFile>& MainSkinFiles();

// Names that buttons of different sizes share; their file has the size most
// of those buttons have.
std::vector<std::string> MainSkinSharedSizeNames();

QImage DrawMainSkinFile(const MainSkinFile& file);

// Writes every file as a 24-bit BMP into programFolder/BMP. Returns the
// number written; throws std::runtime_error naming a file it cannot write.
std::size_t WriteMainSkin(const std::filesystem::path& programFolder);

// The button faces side by side at twice their size, for a person to look at.
QImage DrawMainSkinContactSheet();

// The window with its panel as the skin dresses it for one device family
// and view mode: background, status line, title-bar, power and panel
// buttons, the family's panel buttons, and the Q8A7's channel and command
// bars. For a person to judge the skin as a whole.
QImage DrawMainWindowPreview(int family, int viewMode);

}  // namespace skingen
