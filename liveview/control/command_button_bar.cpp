#include "liveview/control/command_button_bar.h"

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "core/application/string_table.h"
#include "core/application/subsystem_services.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "liveview/skin/skin_path.h"
#include "liveview/skin/skin_tables.h"

namespace {

// How many buttons of which group a product gets; count 0 for a product
// without a command bar.
struct ProductBar {
    std::uint8_t count;
    std::uint8_t group;
};

ProductBar BarOf(std::string_view productId) {
    if (IsDvrFamilyId(productId)) {
        return IsMultiChannel() != 0 ? ProductBar{7, kCommandGroupMulti}
                                     : ProductBar{6, kCommandGroupPlainDvr};
    }
    if (productId == "Q3A2" || productId == "Q9C0") {
        return {7, kCommandGroupMulti};
    }
    if (IsQ7BFamilyId(productId)) {
        return {7, kCommandGroupQ7B};
    }
    return {0, 0};
}

int CurrentSkinSlot() {
    return SkinSlot(LayoutSlot(g_lpApp->w_ViewMode.load()));
}

QString TextOf(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

}  // namespace

CCommandButtonBar::CCommandButtonBar() = default;

CCommandButtonBar::~CCommandButtonBar() = default;

void CCommandButtonBar::SetCommandHandler(std::function<void(std::uint16_t)> handler) {
    m_onCommand = std::move(handler);
}

CQelButton* CCommandButtonBar::Button(int index) const {
    return index >= 0 && index < byCount ? m_btnCommand[index].data() : nullptr;
}

const CommandButtonRow* CCommandButtonBar::Row(int index) const {
    return index >= 0 && index < byCount ? m_rows[index] : nullptr;
}

int CCommandButtonBar::Create(std::string_view productId, QWidget* window) {
    const ProductBar bar = BarOf(productId);
    if (bar.count == 0) {
        return 0;
    }
    m_guiContext = std::make_unique<QObject>();
    byGroup = bar.group;
    const int slot = CurrentSkinSlot();
    std::size_t next = 0;
    std::uint8_t created = 0;
    for (int i = 0; i < bar.count; ++i) {
        // The next table row of this group, after the previous button's.
        while (next < CommandButtonTable.size() &&
               (CommandButtonTable[next].wGroupMask & byGroup) == 0) {
            ++next;
        }
        if (next >= CommandButtonTable.size()) {
            break;
        }
        const CommandButtonRow& row = CommandButtonTable[next++];
        auto* button = new CQelButton(window);
        button->setFocusPolicy(Qt::TabFocus);
        button->setProperty("controlId", row.wControlId);
        const SkinRect rect = row.rect[slot];
        button->setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
        button->setToolTip(row.dwStateBit == kRecordButtonBit
                               ? QString::fromStdString(LoadSplitString(1005).first)
                               : TextOf(LoadText(row.wTooltip)));
        const std::uint16_t id = row.wControlId;
        QObject::connect(button, &CQelButton::clicked, m_guiContext.get(), [this, id] {
            if (m_onCommand) {
                m_onCommand(id);
            }
        });
        button->show();
        m_btnCommand[i] = button;
        m_rows[i] = &row;
        ++created;
    }
    byCount = created;
    return 1;
}

int CCommandButtonBar::LoadBitmaps() {
    for (int i = 0; i < byCount; ++i) {
        CQelButton* button = Button(i);
        const CommandButtonRow* row = m_rows[i];
        if (button == nullptr || row == nullptr) {
            continue;
        }
        const bool permitted = (row->byLevelMask >> m_byUserLevelRow) & 1u;
        if (!permitted) {
            button->setEnabled(false);
        }
        const auto& names = permitted ? row->normal : row->disabled;
        if (row->byStyle == 0x01 || row->byStyle == 0x20) {
            button->LoadButtonBitmap(SkinBitmapPath(names[0]), SkinBitmapPath(names[1]),
                                     SkinBitmapPath(names[2]), row->byStyle);
            continue;
        }
        std::vector<std::filesystem::path> files;
        for (const char* name : row->normal) {
            if (name != nullptr) {
                files.push_back(SkinBitmapPath(names[files.size()]));
            }
        }
        const auto states = static_cast<std::uint16_t>((files.size() + 1) / 2);
        button->LoadButtonBitmap(states, files, row->byStyle);
    }
    return 1;
}

int CCommandButtonBar::ArrangeButtons() {
    if (byCount == 0) {
        return 1;
    }
    const SkinRect rect = CommandButtonTable[0].rect[CurrentSkinSlot()];
    for (int k = 0; k < byCount; ++k) {
        if (CQelButton* button = Button(byCount - 1 - k)) {
            button->setGeometry(rect.left - k * rect.Width(), rect.top, rect.Width(),
                                rect.Height());
        }
    }
    return 1;
}

int CCommandButtonBar::ShowButtons(int show) {
    if (show != 0 && show != 1) {
        return 1;
    }
    for (int i = 0; i < byCount; ++i) {
        if (CQelButton* button = Button(i)) {
            button->setVisible(show == 1);
        }
    }
    return 1;
}

int CCommandButtonBar::SetButtonsState(std::uint32_t mask, std::uint8_t state) {
    for (int i = 0; i < byCount; ++i) {
        const CommandButtonRow* row = m_rows[i];
        if (row != nullptr && (row->dwStateBit & mask) != 0) {
            if (CQelButton* button = Button(i)) {
                button->SetState(state);
            }
            break;
        }
    }
    return 1;
}
