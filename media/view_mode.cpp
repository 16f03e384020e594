#include "media/view_mode.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>

#include "core/application/subsystem_services.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"

namespace {

// A picture size that selects a code. kAnyHeight matches every height not
// named by an earlier rule of the same width: the DVR and Q3A2/Q7B devices
// tell NTSC from PAL by the height alone.
struct SizeRule {
    std::uint16_t width;
    std::uint16_t height;
    std::uint8_t code;
};
inline constexpr std::uint16_t kAnyHeight = 0;

// A layout row with its code, as the window opens before any picture.
struct StartView {
    std::uint16_t row;
    std::uint8_t code;
};

inline constexpr std::uint16_t kKeepRow = 0xFFFF;
inline constexpr std::size_t kCodeCount = 6;

// Everything the selection needs to know of one device family.
struct FamilyRules {
    std::span<const SizeRule> sizes;
    // The layout row of each picture-size code; kKeepRow leaves the row.
    std::array<std::uint16_t, kCodeCount> rowByCode;
    // The DVR family's channel bar follows the picture size.
    bool arrangesChannelBar;
    // Whether the opening view depends on the video standard at all.
    bool startUsesStandard;
    // [video standard 0 NTSC / 1 PAL][Image Resolution: other, 1, 2]. The
    // quarter-size rows (4, 5, 10, 11, 16) never stay selected: the window
    // opens with the half-size row and keeps the quarter code.
    std::array<std::array<StartView, 3>, 2> start;
};

constexpr std::array<SizeRule, 4> kDvrSizes{{
    {320, 228, kSizeNtscHalf},
    {320, kAnyHeight, kSizePalHalf},
    {640, 228, kSizeNtscFull},
    {640, kAnyHeight, kSizePalFull},
}};

constexpr std::array<SizeRule, 4> kQ3A2Q7BSizes{{
    {352, 240, kSizeNtscHalf},
    {352, kAnyHeight, kSizePalHalf},
    {704, 240, kSizeNtscFull},
    {704, kAnyHeight, kSizePalFull},
}};

constexpr std::array<SizeRule, 3> kQ9C0Sizes{{
    {320, 240, kSizeNtscHalf},
    {640, 480, kSizeNtscFull},
    {160, 120, kSizeNtscQuarter},
}};

constexpr FamilyRules kDvrRules{
    .sizes = kDvrSizes,
    .rowByCode = {0, 1, 2, 3, kKeepRow, kKeepRow},
    .arrangesChannelBar = true,
    .startUsesStandard = true,
    .start = {{
        {{{0, kSizeNtscFull}, {1, kSizeNtscHalf}, {1, kSizeNtscQuarter}}},
        {{{2, kSizePalFull}, {3, kSizePalHalf}, {3, kSizePalQuarter}}},
    }},
};

constexpr FamilyRules kQ3A2Q7BRules{
    .sizes = kQ3A2Q7BSizes,
    .rowByCode = {6, 7, 8, 9, kKeepRow, kKeepRow},
    .arrangesChannelBar = false,
    .startUsesStandard = true,
    .start = {{
        {{{6, kSizeNtscFull}, {7, kSizeNtscHalf}, {7, kSizeNtscQuarter}}},
        {{{8, kSizePalFull}, {9, kSizePalHalf}, {9, kSizePalQuarter}}},
    }},
};

constexpr FamilyRules kQ9C0Rules{
    .sizes = kQ9C0Sizes,
    .rowByCode = {12, 13, kKeepRow, kKeepRow, kKeepRow, kKeepRow},
    .arrangesChannelBar = false,
    .startUsesStandard = false,
    .start = {{
        {{{12, kSizeNtscFull}, {13, kSizeNtscHalf}, {13, kSizeNtscQuarter}}},
        {{{12, kSizeNtscFull}, {13, kSizeNtscHalf}, {13, kSizeNtscQuarter}}},
    }},
};

// The skin of each picture-size code; the quarter sizes keep the skin.
constexpr std::array<std::optional<LiveSkin>, kCodeCount> kSkinByCode{
    LiveSkin::NtscVga, LiveSkin::NtscQvga, LiveSkin::PalVga,
    LiveSkin::PalQvga, std::nullopt,       std::nullopt,
};

// Q3A2 and the Q7B family are tested first, then Q9C0, then the DVR family;
// any other device has no rules.
const FamilyRules* CurrentFamilyRules() {
    if (IsQ3A2() || IsQ7BFamily())
        return &kQ3A2Q7BRules;
    if (IsQ9C0())
        return &kQ9C0Rules;
    if (IsDvrFamily())
        return &kDvrRules;
    return nullptr;
}

std::optional<std::uint8_t> CodeForSize(const FamilyRules& rules, std::uint16_t width,
                                        std::uint16_t height) {
    const auto rule = std::ranges::find_if(rules.sizes, [&](const SizeRule& r) {
        return r.width == width && (r.height == height || r.height == kAnyHeight);
    });
    if (rule == rules.sizes.end())
        return std::nullopt;
    return rule->code;
}

}  // namespace

int CViewModeSelector::ResetViewMode() {
    const FamilyRules* rules = CurrentFamilyRules();
    if (rules == nullptr || g_lpApp == nullptr)
        return 1;
    AppGlobalState& app = *g_lpApp;

    std::size_t standard = 0;
    if (rules->startUsesStandard) {
        const std::uint8_t s = app.b_VideoStandard;
        if (s > 1)
            return 1;  // an unknown standard leaves the view as it is
        standard = s;
    }
    const std::uint32_t resolution = app.CSettingINI.m_dwImageResolution;
    const std::size_t column = resolution == 1 ? 1 : resolution == 2 ? 2 : 0;
    const StartView view = rules->start[standard][column];

    std::lock_guard guard(m_lock);
    app.w_ViewMode = view.row;
    app.b_ViewSize = view.code;
    app.b_ViewSizeOld = view.code;
    return 1;
}

int CViewModeSelector::UpdatePictureSize(std::uint16_t width, std::uint16_t height) {
    std::lock_guard guard(m_lock);
    m_wWidth = width;
    m_wHeight = height;
    const FamilyRules* rules = CurrentFamilyRules();
    if (rules == nullptr || g_lpApp == nullptr)
        return 1;
    AppGlobalState& app = *g_lpApp;

    if (const auto code = CodeForSize(*rules, width, height))
        app.b_ViewSize = *code;
    const std::uint8_t code = app.b_ViewSize;
    if (code == app.b_ViewSizeOld)
        return 1;

    if (code < kCodeCount && rules->rowByCode[code] != kKeepRow) {
        app.w_ViewMode = rules->rowByCode[code];
    }
    app.b_ViewSizeOld = code;

    // Each of these only posts to the main window; none waits for it.
    LiveViewServices& window = LiveView();
    if (rules->arrangesChannelBar)
        window.ArrangeChannelButtons();
    window.ChangeItemPositionForDeviceModified();
    if (code < kCodeCount && kSkinByCode[code])
        window.ApplySkin(*kSkinByCode[code]);
    return 1;
}

std::uint8_t CViewModeSelector::GetPictureSizeCode() const {
    return g_lpApp != nullptr ? g_lpApp->b_ViewSize.load() : 0;
}
