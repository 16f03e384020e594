// The main window's skins and layout: which bitmaps the window and its
// buttons wear, where the buttons sit and which of them the user sees, all
// from the skin tables for the view mode, the current family and the user's
// level.

#include <QPainterPath>
#include <QRegion>
#include <algorithm>
#include <filesystem>
#include <vector>

#include "core/application/string_table.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "liveview/skin/skin_flags.h"
#include "liveview/skin/skin_path.h"
#include "liveview/window/main_window.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kStyleHover = CQelButton::kStyleHover;
constexpr std::uint16_t kStylePush = CQelButton::kStylePush;

fs::path Bitmap(const char* name) {
    return name != nullptr ? SkinBitmapPath(name) : fs::path();
}

QImage LoadImage(const char* name) {
    const fs::path path = SkinBitmapPath(name);
    return QImage(QString::fromStdString(path.string()));
}

QString Qs(const std::string& text) {
    return QString::fromStdString(text);
}

const ViewLayoutRow& CurrentRow() {
    const int mode = std::min<int>(g_lpApp->w_ViewMode, kViewModeCount - 1);
    return ViewLayoutTable[static_cast<std::size_t>(mode)];
}

int CurrentSkinSlot() {
    return SkinSlot(LayoutSlot(std::min<int>(g_lpApp->w_ViewMode, kViewModeCount - 1)));
}

QRect Rect(const ViewLayoutRow& v, int at) {
    return QRect(v[at], v[at + 1], v[at + 2] - v[at], v[at + 3] - v[at + 1]);
}

}  // namespace

int CDravelinDlg::LoadBackgroundBitmaps() {
    for (std::size_t slot = 0; slot < kSkinBackgrounds.size(); ++slot) {
        const SkinBackgroundSet& set = kSkinBackgrounds[slot];
        m_hBackground[slot] = LoadImage(set.background);
        if (m_hBackground[slot].isNull())
            return 0;
        m_hBackgroundEx[slot] = LoadImage(set.backgroundPanel);
        if (m_hBackgroundEx[slot].isNull())
            return 0;
        m_hStatusBar[slot] = LoadImage(set.statusBar);
        if (m_hStatusBar[slot].isNull())
            return 0;
    }
    m_hOnlineUserIcon = LoadImage(kOnlineUserIcon);
    if (m_hOnlineUserIcon.isNull())
        return 0;
    m_hAlarmIcon = LoadImage(kAlarmIcon);
    return m_hAlarmIcon.isNull() ? 0 : 1;
}

void CDravelinDlg::LoadRowBitmaps(int family, int r, int skinSlot, bool firstLoadOnly) {
    CQelButton* button = m_btnSkin.at(static_cast<std::size_t>(r));
    if (button == nullptr)
        return;
    const SkinButtonRow& row =
        SkinButtonTable[static_cast<std::size_t>(family)].rows[static_cast<std::size_t>(r)];
    if (!firstLoadOnly && g_lpApp->f_Turbo) {
        if (const int arrow = TurboArrowIndex(r); arrow >= 0) {
            const auto& files = kTurboArrowFiles[static_cast<std::size_t>(arrow)]
                                                [static_cast<std::size_t>(skinSlot)];
            button->LoadButtonBitmap(Bitmap(files[0]), Bitmap(files[1]), Bitmap(files[0]),
                                     kStylePush);
            return;
        }
        if (r >= kTurboZoomFocusFirstRow && r < kTurboZoomFocusFirstRow + 4) {
            const auto& files =
                kTurboZoomFocusFiles[static_cast<std::size_t>(r - kTurboZoomFocusFirstRow)];
            button->LoadButtonBitmap(Bitmap(files[0]), Bitmap(files[1]), Bitmap(files[1]),
                                     kStylePush);
            return;
        }
    }
    const std::uint16_t flags = SkinFlags(family, r);
    const bool load = firstLoadOnly ? (flags & kSkinEnabled) != 0 && !button->BitmapLoaded()
                                    : (flags & kSkinPerSkin) != 0 ||
                                          ((flags & kSkinEnabled) != 0 && !button->BitmapLoaded());
    if (!load)
        return;
    if (row.wStyle == kSkinStyleThreeBitmap) {
        const std::size_t base = static_cast<std::size_t>(skinSlot) * 3;
        if ((flags & kSkinThirdFile) != 0) {
            const fs::path third = Bitmap(row.files[base + 2]);
            button->LoadButtonBitmap(third, third, third, kStylePush);
        } else {
            const fs::path hover = Bitmap(row.files[base + 1]);
            button->LoadButtonBitmap(Bitmap(row.files[base]), hover, hover, kStylePush);
        }
    } else if (row.wStyle == kSkinStyleTwoStateCycling || row.wStyle == kSkinStyleTwoState) {
        std::vector<fs::path> files;
        for (const char* name : TwoStateFiles(row, skinSlot)) files.push_back(Bitmap(name));
        button->LoadButtonBitmap(2, files, row.wStyle);
    }
}

void CDravelinDlg::LoadPanelButtonBitmaps(int skinSlot) {
    const auto slot = static_cast<std::size_t>(skinSlot);
    if (m_btnPanelUp != nullptr) {
        m_btnPanelUp->LoadButtonBitmap(Bitmap(kPanelUpFiles[slot][0]),
                                       Bitmap(kPanelUpFiles[slot][1]),
                                       Bitmap(kPanelUpFiles[slot][0]), kStyleHover);
    }
    if (m_btnPanelDown != nullptr) {
        m_btnPanelDown->LoadButtonBitmap(Bitmap(kPanelDownFiles[slot][0]),
                                         Bitmap(kPanelDownFiles[slot][1]),
                                         Bitmap(kPanelDownFiles[slot][0]), kStyleHover);
    }
}

int CDravelinDlg::LoadSkinButtons(int skinSlot) {
    if (m_buttonFamily < 0)
        return 1;
    for (int r = 0; r < kSkinButtonRows; ++r) LoadRowBitmaps(m_buttonFamily, r, skinSlot, false);
    LoadPanelButtonBitmaps(skinSlot);
    return 1;
}

int CDravelinDlg::LoadTitleBarBitmaps(int viewMode) {
    for (std::size_t i = 0; i < m_btnTitle.size(); ++i) {
        if (m_btnTitle[i] == nullptr)
            continue;
        m_btnTitle[i]->LoadButtonBitmap(Bitmap(kTitleBarFiles[i][0]), Bitmap(kTitleBarFiles[i][1]),
                                        Bitmap(kTitleBarFiles[i][0]), kStyleHover);
    }
    const int firstSkin = g_lpApp->CSettingINI.m_dwImageResolution == 0 ? 0 : 1;
    if (m_buttonFamily >= 0) {
        for (int r = 0; r < kSkinButtonRows; ++r)
            LoadRowBitmaps(m_buttonFamily, r, firstSkin, true);
    }
    if (m_btnPower != nullptr && UserLevelEnables(kPowerButtonId)) {
        m_btnPower->LoadButtonBitmap(Bitmap(kPowerFiles[0]), Bitmap(kPowerFiles[1]),
                                     Bitmap(kPowerFiles[2]), CQelButton::kStylePushHover);
    }
    m_commandBar.LoadBitmaps();
    LoadPanelButtonBitmaps(SkinSlot(LayoutSlot(viewMode)));
    return 1;
}

int CDravelinDlg::ApplySkin(int skinSlot) {
    {
        std::lock_guard lock(m_csSkin);
        LoadSkinButtons(skinSlot);
    }
    return ApplyButtonLayout();
}

bool CDravelinDlg::UserLevelEnables(std::uint32_t controlId) const {
    const std::uint8_t row = std::min<std::uint8_t>(g_lpApp->b_UserLevelRow, 3);
    return ::UserLevelEnables(UserLevelTable[row], controlId);
}

std::uint8_t CDravelinDlg::RightsByte() const {
    return UserLevelTable[std::min<std::uint8_t>(g_lpApp->b_UserLevelRow, 3)].byRights;
}

void CDravelinDlg::SetUserLevelControls(bool allEntries) {
    const UserLevelRow& row = UserLevelTable[std::min<std::uint8_t>(g_lpApp->b_UserLevelRow, 3)];
    for (std::uint32_t i = allEntries ? 0 : 6; i < row.dwCount && i < kUserLevelControls; ++i) {
        CQelButton* button = FindButton(row.dwControlId[i]);
        if (button == nullptr)
            continue;
        const bool enabled = row.dwEnabled[i] != 0;
        button->setEnabled(enabled);
        if (!enabled && (row.dwControlId[i] == kPanelUpId || row.dwControlId[i] == kPanelDownId))
            button->hide();
    }
}

void CDravelinDlg::SetRoundedRegion(const QRect& rect, int corner) {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), corner / 2.0, corner / 2.0);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void CDravelinDlg::SetWindowRect(const QRect& rect, bool centre) {
    resize(rect.size());
    SetRoundedRegion(QRect(QPoint(0, 0), rect.size()), 15);
    if (centre) {
        move(m_rcWorkArea.left() + (m_rcWorkArea.width() - rect.width()) / 2,
             m_rcWorkArea.top() + (m_rcWorkArea.height() - rect.height()) / 2);
        raise();
    }
}

void CDravelinDlg::LayoutRows(int family, int slot, bool cameraOnly) {
    const int level = g_lpApp->w_UserLevel;
    const std::uint8_t rights = RightsByte();
    const SkinFamily& table = SkinButtonTable[static_cast<std::size_t>(family)];
    for (int r = 0; r < kSkinButtonRows; ++r) {
        CQelButton* button = m_btnSkin[static_cast<std::size_t>(r)];
        if (button == nullptr)
            continue;
        const std::uint16_t flags = SkinFlags(family, r);
        if ((flags & kSkinPresent) == 0) {
            button->hide();
            continue;
        }
        const SkinRect& rect =
            table.rows[static_cast<std::size_t>(r)].rect[static_cast<std::size_t>(slot)];
        button->setGeometry(rect.left, rect.top, std::max(rect.Width(), 1),
                            std::max(rect.Height(), 1));
        button->setVisible(SkinButtonShown(flags, rights, level, cameraOnly));
        button->setEnabled((flags & kSkinEnabled) != 0);
    }
}

void CDravelinDlg::HideAllRows() {
    for (CQelButton* button : m_btnSkin) {
        if (button != nullptr)
            button->hide();
    }
}

int CDravelinDlg::ApplyButtonLayout() {
    if (g_lpApp == nullptr || m_buttonFamily < 0)
        return 1;
    const ViewLayoutRow& v = CurrentRow();
    for (std::size_t i = 0; i < m_btnTitle.size(); ++i) {
        m_btnTitle[i]->setGeometry(
            v[kVlTitleX] + static_cast<int>(i) * (v[kVlTitleWidth] + v[kVlTitleGap]), v[kVlTitleY],
            v[kVlTitleWidth], v[kVlTitleHeight]);
    }
    m_commandBar.ArrangeButtons();
    m_btnPower->setGeometry(v[kVlPowerRight] - v[kVlPowerWidth], v[kVlPowerTop], v[kVlPowerWidth],
                            v[kVlPowerHeight]);
    m_btnPanelUp->setGeometry(v[kVlPanelUpX], v[kVlPanelUpX + 1], v[kVlPanelUpX + 2],
                              v[kVlPanelUpX + 3]);
    m_btnPanelDown->setGeometry(v[kVlPanelDownX], v[kVlPanelDownX + 1], v[kVlPanelDownX + 2],
                                v[kVlPanelDownX + 3]);
    if (m_bFullScreen)
        return 1;
    if (m_bPanelShown) {
        SetWindowRect(Rect(v, kVlPanelWindowLeft), false);
        LayoutRows(m_buttonFamily, CurrentSkinSlot(), false);
    } else {
        SetWindowRect(Rect(v, kVlWindowLeft), false);
        HideAllRows();
    }
    update();
    return 1;
}

void CDravelinDlg::SetTooltips() {
    const int family = m_buttonFamily;
    const SkinFamily& table = SkinButtonTable[static_cast<std::size_t>(family)];
    for (int r = 0; r < kSkinButtonRows; ++r) {
        CQelButton* button = m_btnSkin[static_cast<std::size_t>(r)];
        if (button == nullptr)
            continue;
        const SkinButtonRow& row = table.rows[static_cast<std::size_t>(r)];
        const std::uint16_t flags = SkinFlags(family, r);
        if ((flags & (kSkinTooltipFirstHalf | kSkinTooltipSecondHalf)) != 0) {
            const SplitText halves = LoadSplitString(row.wControlId);
            button->setToolTip(
                Qs((flags & kSkinTooltipFirstHalf) != 0 ? halves.first : halves.second));
        } else {
            const std::string_view text = LoadText(row.wTooltip);
            button->setToolTip(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        }
    }
    const auto setHalf = [this](std::uint32_t id, bool first) {
        if (CQelButton* button = FindButton(id)) {
            const SplitText halves = LoadSplitString(id);
            button->setToolTip(Qs(first ? halves.first : halves.second));
        }
    };
    AppGlobalState& app = *g_lpApp;
    setHalf(8312, app.C_ControlD.IsCurrentMaster() == 0);
    setHalf(8310, app.f_Turbo.load());
    setHalf(8331, app.C_ControlD.GetRetrState() != 0);
    setHalf(8356, !app.f_PresetMode.load());
}

int CDravelinDlg::ChangeItemPositionForDeviceModified() {
    if (g_lpApp == nullptr || m_buttonFamily < 0)
        return 1;
    AppGlobalState& app = *g_lpApp;
    const int family = CurrentFamily();
    // The buttons stay; the rows follow the new family's flags and places.
    m_buttonFamily = family;
    const std::uint32_t resolution = app.CSettingINI.m_dwImageResolution;
    if (resolution <= 2) {
        const bool pal = app.b_VideoMode != 0;
        LoadSkinButtons((pal ? 2 : 0) + (resolution == 0 ? 0 : 1));
    }
    if (app.lp_MainDialog.load() == this)
        SetTooltips();

    const ViewLayoutRow& v = CurrentRow();
    const bool cameraOnly = IsCameraOnlyFamily(family);
    const bool panelUpAllowed = UserLevelEnables(kPanelUpId);
    const bool panelDownAllowed = UserLevelEnables(kPanelDownId);
    if (cameraOnly) {
        if (m_bPanelShown) {
            m_bPanelShown = false;
            SetWindowRect(Rect(v, kVlWindowLeft), true);
            HideAllRows();
            m_btnPanelUp->hide();
            m_btnPanelDown->hide();
        } else {
            LayoutRows(family, CurrentSkinSlot(), true);
            m_btnPanelUp->hide();
            m_btnPanelDown->setVisible(panelDownAllowed);
        }
    } else if (m_bPanelShown) {
        LayoutRows(family, CurrentSkinSlot(), false);
        m_btnPanelUp->hide();
        m_btnPanelDown->setVisible(panelDownAllowed);
    } else {
        HideAllRows();
        m_btnPanelUp->setVisible(panelUpAllowed);
        m_btnPanelDown->hide();
    }

    const int type = app.C_ControlD.GetCurrentType();
    const bool ptzType = type == 11 || type == 18;
    if (IsDvrFamily() && !FirmwareOlderThan("1035")) {
        app.b_PtzClickMode = ptzType && HasFeature(2) ? 2 : 1;
    } else {
        app.b_PtzClickMode = ptzType ? 2 : 1;
    }
    if (IsMultiChannel()) {
        if (CQelButton* ptz = FindButton(8312))
            ptz->hide();
    }
    update(QRect(v[4], v[5] + v[15], v[6] - v[4], v[7] - v[5] - v[15]));
    return 1;
}

QRect CDravelinDlg::OnMoving(const QRect& proposed) const {
    const ViewLayoutRow& v = CurrentRow();
    if (width() == v[2] - v[0])
        return proposed;
    // The window keeps the position it is dragged to and the layout's size.
    const QRect layout = m_bPanelShown ? Rect(v, kVlPanelWindowLeft) : Rect(v, kVlWindowLeft);
    return QRect(proposed.topLeft(), layout.size());
}
