#include "config/sheet/tree_prop_sheet.h"

#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTreeWidget>

#include <cmath>

#include "core/state/device_family.h"

namespace {

// The page area before the tree is put beside it, and the sheet's margins.
constexpr int kMargin = 7;
constexpr int kPageWidth = 460;
constexpr int kPageHeight = 360;
constexpr int kButtonBand = 40;  // the sheet's own button row below the pages
constexpr int kExtraBottom = 80;
constexpr int kTreeControlId = 0x7EEE;

// A rectangle from its edges, right and bottom exclusive.
QRect Edges(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

void Draw3dFrame(QPainter& painter, const QRect& r, const QColor& topLeft,
                 const QColor& bottomRight) {
    const int l = r.left();
    const int t = r.top();
    const int rr = r.left() + r.width() - 1;
    const int b = r.top() + r.height() - 1;
    painter.setPen(topLeft);
    painter.drawLine(l, t, rr - 1, t);
    painter.drawLine(l, t, l, b - 1);
    painter.setPen(bottomRight);
    painter.drawLine(rr, t, rr, b);
    painter.drawLine(l, b, rr, b);
}

// Splits a tree path at its first "::" that no odd run of backslashes
// escapes; the first part loses its escapes.
std::pair<QString, QString> SplitTreePath(const QString& path) {
    int split = -1;
    for (int i = 0; i + 1 < path.size(); ++i) {
        if (path[i] == ':' && path[i + 1] == ':') {
            int slashes = 0;
            for (int j = i - 1; j >= 0 && path[j] == '\\'; --j) {
                ++slashes;
            }
            if (slashes % 2 == 0) {
                split = i;
                break;
            }
        }
    }
    QString first = split < 0 ? path : path.left(split);
    const QString rest = split < 0 ? QString() : path.mid(split + 2);
    first.replace("\\::", "::");
    first.replace("\\\\", "\\");
    return {first, rest};
}

}  // namespace

SheetPlacement PlaceBesideMainWindow(const QRect& main, const QSize& sheet, const QRect& work) {
    SheetPlacement placement;
    int x = 0;
    int y = 0;
    if (main.left() + main.width() + sheet.width() <= work.width()) {
        x = main.left();
        y = main.top();
    } else if (main.width() + sheet.width() <= work.width()) {
        x = (work.width() - main.width() - sheet.width()) >> 1;
        y = (work.height() - main.height()) >> 1;
    } else {
        placement.sheet = QPoint((work.width() - sheet.width()) >> 1,
                                 std::max((work.height() - sheet.height()) >> 1, 0));
        return placement;
    }
    placement.mainWindow = QPoint(x, y);
    placement.sheet = QPoint(x + main.width() - 2, y);
    return placement;
}

QString SheetTitleFor(const std::string& productId) {
    if (productId == "Q3A2" || productId == "Q9C0") {
        return QStringLiteral("Video Server");
    }
    if (productId == "Q8A7") {
        return QStringLiteral("16CH DVR");
    }
    if (productId == "Q8A5") {
        return QStringLiteral("8CH DVR");
    }
    if (productId == "Q8A3") {
        return QStringLiteral("4CH DVR");
    }
    if (IsQ7BFamilyId(productId)) {
        return QStringLiteral("DVR Setting");
    }
    return {};
}

CTreePropSheet::CTreePropSheet(const QString& caption, QWidget* parent, std::string productId)
    : QDialog(parent), m_productId(std::move(productId)) {
    setWindowTitle(caption);
    m_handle = platform::RegisterWindow(this);
}

CTreePropSheet::~CTreePropSheet() {
    StopProgress();
    platform::UnregisterWindow(m_handle);
    delete m_tree;
    m_tree = nullptr;
    m_frame.reset();
}

void CTreePropSheet::AddPage(const QString& caption, PageFactory factory) {
    m_pages.push_back(Page{caption, std::move(factory), nullptr, QIcon()});
    if (m_tabs != nullptr) {
        const QSignalBlocker block(m_tabs);
        m_tabs->addTab(caption);
    }
    if (m_initialised && m_treeMode) {
        RefillPageTree();
        SelectPageTreeItem(m_active);
    }
}

bool CTreePropSheet::PageWindowExists(int index) const {
    return PageWindow(index) != nullptr;
}

QWidget* CTreePropSheet::PageWindow(int index) const {
    return index >= 0 && index < PageCount() ? m_pages[static_cast<std::size_t>(index)].window
                                             : nullptr;
}

bool CTreePropSheet::SetPageIcon(int index, const QIcon& icon) {
    if (index < 0 || index >= PageCount()) {
        return false;
    }
    m_pages[static_cast<std::size_t>(index)].icon = icon;
    if (m_initialised && m_treeMode) {
        RefillPageTree();
        SelectPageTreeItem(m_active);
        UpdateCaption();
    }
    return true;
}

bool CTreePropSheet::SetPageIcon(int index, const QList<QIcon>& images, int entry) {
    if (entry < 0 || entry >= images.size()) {
        return false;
    }
    return SetPageIcon(index, images[entry]);
}

bool CTreePropSheet::DestroyPageIcon(int index) {
    return SetPageIcon(index, QIcon());
}

int CTreePropSheet::SetTreeMode(bool on) {
    if (m_initialised) {
        return 0;
    }
    m_treeMode = on;
    if (on) {
        m_pageCaption = true;
        m_treeImages = true;
    }
    return 1;
}

int CTreePropSheet::SetTreeWidth(int width) {
    if (m_initialised) {
        return 0;
    }
    m_treeWidth = width;
    return 1;
}

int CTreePropSheet::SetEmptyPageTextFormat(int format) {
    if (!m_frame) {
        return PageFrame::kDefaultMessageFormat;
    }
    const int previous = m_frame->MessageFormat();
    m_frame->SetMessageFormat(format);
    return previous;
}

int CTreePropSheet::SetTreeDefaultImages(const QList<QIcon>& images) {
    if (images.size() != 2) {
        return 0;
    }
    m_defaultImages = images;
    if (m_initialised && m_treeMode) {
        RefillPageTree();
        SelectPageTreeItem(m_active);
    }
    return 1;
}

QString CTreePropSheet::MakeEmptyPageMessage(const QString& format, const QString& caption) const {
    return QString(format).replace(QStringLiteral("%s"), caption);
}

void CTreePropSheet::InitSheet(const QRect& mainWindow, const QRect& workArea, float dpiScale) {
    if (m_initialised) {
        return;
    }
    m_initialised = true;
    const QRect pageArea(kMargin, kMargin, kPageWidth, kPageHeight);
    const int tree = m_treeMode ? m_treeWidth : 0;
    const QSize sheetSize(
        kMargin + kPageWidth + kMargin + tree,
        kMargin + kPageHeight + kMargin + kButtonBand + (m_treeMode ? kExtraBottom : 0));
    setFixedSize(sheetSize);

    m_frame = std::make_unique<PageFrameWnd>();
    m_frame->Create(true, pageArea.translated(tree, 0), this, 0xFFFF);
    const int captionHeight = fontMetrics().height() + 8;
    m_frame->ShowCaption(m_treeMode && m_pageCaption);
    m_frame->SetCaptionHeight(captionHeight);
    m_stack = new QStackedWidget(m_frame.get());
    m_stack->setGeometry(m_frame->MessageArea());
    m_stack->hide();

    if (m_treeMode) {
        const int treeBottom =
            pageArea.top() + pageArea.height() + static_cast<int>(std::trunc(28 * dpiScale));
        const QRect treeRect =
            Edges(pageArea.left(), pageArea.top(), pageArea.left() + m_treeWidth - 5, treeBottom);
        const int pageBottom = pageArea.top() + pageArea.height();
        const int treeRight = treeRect.left() + treeRect.width();
        m_progressRect =
            Edges(treeRight + 15, pageBottom + 15, sheetSize.width() - 15, pageBottom + 40);
        m_titleRect =
            Edges(treeRect.left() + 2, treeBottom + 10, treeRight - 2, sheetSize.height() - 40);

        m_tree = new QTreeWidget(this);
        m_tree->setObjectName(QStringLiteral("PageTree"));
        m_tree->setProperty("controlId", kTreeControlId);
        m_tree->setHeaderHidden(true);
        m_tree->setRootIsDecorated(true);
        m_tree->setGeometry(treeRect);
        connect(m_tree, &QTreeWidget::currentItemChanged, this, &CTreePropSheet::OnTreeSelection);
        RefillPageTree();
    } else {
        m_tabs = new QTabBar(this);
        for (const Page& page : m_pages) {
            m_tabs->addTab(page.caption);
        }
        const int tabHeight = m_tabs->sizeHint().height();
        m_tabs->setGeometry(pageArea.left(), pageArea.top(), pageArea.width(), tabHeight);
        m_frame->setGeometry(pageArea.adjusted(0, tabHeight, 0, 0));
        m_stack->setGeometry(m_frame->MessageArea());
        connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
            if (index != m_active && !SetActivePage(index)) {
                const QSignalBlocker block(m_tabs);
                m_tabs->setCurrentIndex(m_active);
            }
        });
    }

    if (!mainWindow.isNull() && !workArea.isNull()) {
        const SheetPlacement placement = PlaceBesideMainWindow(mainWindow, sheetSize, workArea);
        m_mainTarget = placement.mainWindow;
        if (QWidget* main = parentWidget(); main != nullptr && placement.mainWindow) {
            main->move(*placement.mainWindow);
        }
        move(placement.sheet);
    }

    if (!m_pages.empty()) {
        SetActivePage(0);
    }
    UpdateCaption();

    m_progress = std::make_shared<SheetProgressBlock>(m_handle);
    m_progressThread.Start(m_progress);
}

void CTreePropSheet::RefillPageTree() {
    if (m_tree == nullptr) {
        return;
    }
    const bool guard = m_selectionGuard;
    m_selectionGuard = true;
    m_tree->clear();
    m_rowItems.fill(nullptr);
    m_table = PageTreeTableFor(m_productId);
    g_lpPageTreeTable = m_table;
    for (int i = 0; m_table != nullptr && i < PageCount(); ++i) {
        const QString text = m_pages[static_cast<std::size_t>(i)].caption.left(260);
        std::size_t row = 0;
        while (row < m_table->size() &&
               QString::fromUtf8((*m_table)[row].pageCaption.data(),
                                 static_cast<int>((*m_table)[row].pageCaption.size())) != text) {
            ++row;
        }
        if (row == m_table->size()) {
            break;  // a tab without a row ends the tree here
        }
        QTreeWidgetItem* parent = nullptr;
        if (const auto parentCaption = (*m_table)[row].parentCaption; !parentCaption.empty()) {
            for (std::size_t p = 0; p < m_table->size(); ++p) {
                if ((*m_table)[p].pageCaption == parentCaption) {
                    parent = m_rowItems[p];
                    break;
                }
            }
        }
        QTreeWidgetItem* item = CreatePageTreeItem(text, parent);
        item->setData(0, Qt::UserRole, i);
        // The page's own icon, else the last default image.
        const QIcon& pageIcon = m_pages[static_cast<std::size_t>(i)].icon;
        if (m_treeImages && !pageIcon.isNull()) {
            item->setIcon(0, pageIcon);
        } else if (m_treeImages && !m_defaultImages.isEmpty()) {
            item->setIcon(0, m_defaultImages.back());
        }
        m_rowItems[row] = item;
    }
    m_tree->expandAll();
    m_selectionGuard = guard;
}

QTreeWidgetItem* CTreePropSheet::CreatePageTreeItem(const QString& path, QTreeWidgetItem* parent) {
    const auto [first, rest] = SplitTreePath(path);
    QTreeWidgetItem* found = nullptr;
    const int count = parent != nullptr ? parent->childCount() : m_tree->topLevelItemCount();
    for (int i = 0; i < count && found == nullptr; ++i) {
        QTreeWidgetItem* child = parent != nullptr ? parent->child(i) : m_tree->topLevelItem(i);
        if (child->text(0) == first) {
            found = child;
        }
    }
    if (found == nullptr) {
        found = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
        found->setText(0, first);
        found->setData(0, Qt::UserRole, -1);
        if (!rest.isEmpty() && m_treeImages && m_defaultImages.size() == 2) {
            found->setIcon(0, m_defaultImages.front());
        }
    }
    return rest.isEmpty() ? found : CreatePageTreeItem(rest, found);
}

bool CTreePropSheet::KillActiveCurrentPage() {
    QWidget* page = PageWindow(m_active);
    if (page == nullptr || !page->isVisibleTo(this)) {
        return true;
    }
    if (auto* hooks = dynamic_cast<SheetPage*>(page); hooks != nullptr && !hooks->OnKillActive()) {
        return false;
    }
    page->hide();
    m_stack->hide();
    m_active = -1;
    return true;
}

bool CTreePropSheet::SetActivePage(int index) {
    if (index < 0 || index >= PageCount() || m_stack == nullptr) {
        return false;
    }
    if (index != m_active && !KillActiveCurrentPage()) {
        return false;
    }
    Page& page = m_pages[static_cast<std::size_t>(index)];
    if (page.window == nullptr) {
        page.window = page.factory ? page.factory() : new QWidget();
        m_stack->addWidget(page.window);
    }
    m_active = index;
    if (m_tabs != nullptr) {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(index);
    }
    m_stack->setCurrentWidget(page.window);
    page.window->show();
    m_stack->show();
    if (m_treeMode) {
        SelectPageTreeItem(index);
        UpdateCaption();
    }
    return true;
}

void CTreePropSheet::OnTreeSelection(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (m_selectionGuard || current == nullptr) {
        return;
    }
    m_selectionGuard = true;
    const int index = current->data(0, Qt::UserRole).toInt();
    bool allowed = true;
    if (index < 0 || index >= PageCount()) {
        allowed = KillActiveCurrentPage();
    } else {
        allowed = SetActivePage(index);
    }
    if (!allowed && previous != nullptr) {
        m_tree->setCurrentItem(previous);  // the page refused: stay
    }
    m_tree->setFocus();
    m_selectionGuard = false;
    UpdateCaption();
}

void CTreePropSheet::UpdateCaption() {
    if (m_tree == nullptr || m_frame == nullptr) {
        return;
    }
    QTreeWidgetItem* item = m_tree->currentItem();
    if (item == nullptr) {
        return;
    }
    QString caption = item->text(0);
    for (std::size_t row = 0; m_table != nullptr && row < m_table->size(); ++row) {
        if (m_rowItems[row] == item && !(*m_table)[row].frameCaption.empty()) {
            caption = QString::fromUtf8((*m_table)[row].frameCaption.data(),
                                        static_cast<int>((*m_table)[row].frameCaption.size()));
        }
    }
    const QWidget* page = PageWindow(m_active);
    if (page == nullptr || !page->isVisibleTo(m_stack) || !m_stack->isVisibleTo(this)) {
        m_frame->SetMessageText(MakeEmptyPageMessage(m_emptyPageText, caption));
    }
    if (m_frame->IsCaptionShown()) {
        QIcon icon;
        if (m_treeImages) {
            icon = item->icon(0);
        } else if (page != nullptr && m_active >= 0) {
            icon = m_pages[static_cast<std::size_t>(m_active)].icon;
        }
        m_frame->SetCaption(caption, icon);
    }
}

bool CTreePropSheet::SelectPageTreeItem(int index) {
    if (m_tree == nullptr || index < 0 || index >= PageCount()) {
        return false;
    }
    std::function<QTreeWidgetItem*(QTreeWidgetItem*)> search =
        [&](QTreeWidgetItem* item) -> QTreeWidgetItem* {
        if (item->data(0, Qt::UserRole).toInt() == index) {
            return item;
        }
        for (int i = 0; i < item->childCount(); ++i) {
            if (QTreeWidgetItem* found = search(item->child(i))) {
                return found;
            }
        }
        return nullptr;
    };
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        if (QTreeWidgetItem* found = search(m_tree->topLevelItem(i))) {
            const bool guard = m_selectionGuard;
            m_selectionGuard = true;
            m_tree->setCurrentItem(found);
            m_selectionGuard = guard;
            return true;
        }
    }
    return false;
}

void CTreePropSheet::SelectItem(QTreeWidgetItem* item) {
    if (item != nullptr) {
        m_tree->setCurrentItem(item);  // the page follows through the selection
    }
}

void CTreePropSheet::ActivateNextPage() {
    if (m_tree == nullptr) {
        if (PageCount() > 0) {
            SetActivePage(m_active + 1 < PageCount() ? m_active + 1 : 0);
        }
        return;
    }
    QTreeWidgetItem* item = m_tree->currentItem();
    if (item == nullptr) {
        SelectItem(m_tree->topLevelItem(0));
        return;
    }
    if (item->childCount() > 0) {
        SelectItem(item->child(0));
        return;
    }
    for (QTreeWidgetItem* at = item; at != nullptr; at = at->parent()) {
        QTreeWidgetItem* parent = at->parent();
        const int count = parent != nullptr ? parent->childCount() : m_tree->topLevelItemCount();
        const int position =
            parent != nullptr ? parent->indexOfChild(at) : m_tree->indexOfTopLevelItem(at);
        if (position + 1 < count) {
            SelectItem(parent != nullptr ? parent->child(position + 1)
                                         : m_tree->topLevelItem(position + 1));
            return;
        }
    }
    SelectItem(m_tree->topLevelItem(0));
}

void CTreePropSheet::ActivatePreviousPage() {
    if (m_tree == nullptr) {
        if (PageCount() > 0) {
            SetActivePage(m_active > 0 ? m_active - 1 : PageCount() - 1);
        }
        return;
    }
    const auto lastDescendant = [](QTreeWidgetItem* item) {
        while (item != nullptr && item->childCount() > 0) {
            item = item->child(item->childCount() - 1);
        }
        return item;
    };
    QTreeWidgetItem* item = m_tree->currentItem();
    if (item != nullptr) {
        QTreeWidgetItem* parent = item->parent();
        const int position =
            parent != nullptr ? parent->indexOfChild(item) : m_tree->indexOfTopLevelItem(item);
        if (position > 0) {
            SelectItem(lastDescendant(parent != nullptr ? parent->child(position - 1)
                                                        : m_tree->topLevelItem(position - 1)));
            return;
        }
        if (parent != nullptr) {
            SelectItem(parent);
            return;
        }
    }
    const int roots = m_tree->topLevelItemCount();
    if (roots > 0) {
        SelectItem(lastDescendant(m_tree->topLevelItem(roots - 1)));
    }
}

bool CTreePropSheet::event(QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (tab && (key->modifiers() & Qt::ControlModifier)) {
            if ((key->modifiers() & Qt::ShiftModifier) || key->key() == Qt::Key_Backtab) {
                ActivatePreviousPage();
            } else {
                ActivateNextPage();
            }
            return true;
        }
    }
    return QDialog::event(e);
}

void CTreePropSheet::HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                                         std::uint64_t) {
    if (message != WM_SHEETPROGRESS) {
        return;
    }
    if (wParam == kProgressHide) {
        update();
    } else {
        update(m_progressRect);
    }
}

void CTreePropSheet::paintEvent(QPaintEvent* e) {
    QDialog::paintEvent(e);
    if (!m_treeMode || !m_initialised) {
        return;
    }
    QPainter painter(this);
    DrawTitleBand(painter);
    DrawProgress(painter);
}

void CTreePropSheet::DrawTitleBand(QPainter& painter) {
    if (m_titleRect.isEmpty()) {
        return;
    }
    painter.fillRect(m_titleRect, QColor(0, 50, 128));
    Draw3dFrame(painter, m_titleRect, QColor(0, 100, 230), QColor(0, 25, 64));
    Draw3dFrame(painter, m_titleRect.adjusted(1, 1, -1, -1), QColor(0, 100, 230),
                QColor(0, 25, 64));
    const QString title = SheetTitleFor(m_productId);
    if (title.isEmpty()) {
        return;
    }
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(std::max(m_titleRect.height() * 7 / 10, 1));
    font.setItalic(true);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::Serif);
    // The band is only the tree's width: a title that would overrun it is
    // drawn smaller.
    while (font.pixelSize() > 6 &&
           QFontMetrics(font).horizontalAdvance(title) > m_titleRect.width() - 8) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    painter.setFont(font);
    painter.setPen(QColor(255, 255, 0));
    const QRect textRect(m_titleRect.left(), m_titleRect.top() + 3, m_titleRect.width(),
                         m_titleRect.height() - 3);
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, title);
}

void CTreePropSheet::DrawProgress(QPainter& painter) {
    if (!m_progress || m_progressRect.isEmpty()) {
        return;
    }
    const SheetProgressState state = m_progress->State();
    if (!state.shown) {
        return;
    }
    const QRect& r = m_progressRect;
    painter.fillRect(r, QColor(0, 100, 255));
    Draw3dFrame(painter, r, QColor(0, 100, 255), QColor(0, 25, 64));
    Draw3dFrame(painter, r.adjusted(1, 1, -1, -1), QColor(0, 100, 255), QColor(0, 25, 64));
    const int right = r.left() + r.width();
    const int bottom = r.top() + r.height();
    const ProgressBarLayout layout = LayoutProgressBar(r.left(), right, state);
    QColor textColour(196, 255, 0);
    if (layout.filled) {
        const QRect fill =
            Edges(r.left() + 2, r.top() + 3, r.left() + 2 + layout.fillWidth, bottom - 3);
        painter.fillRect(fill, QColor(196, 255, 0));
        Draw3dFrame(painter, fill, QColor(100, 128, 0), QColor(255, 255, 0));
        if (layout.textInside) {
            textColour = QColor(0, 100, 255);
        }
    }
    painter.setPen(textColour);
    painter.setFont(font());
    const QString text = QStringLiteral("%1 %").arg(layout.percent, 3);
    painter.drawText(QRect(layout.textX, r.top() + 3, r.width(), r.height() - 3),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

void CTreePropSheet::StopProgress() {
    if (m_progress && SheetProgressBlockRef() == m_progress) {
        PublishSheetProgressBlock(nullptr);
    }
    m_progressThread.Stop();
}

void CTreePropSheet::done(int result) {
    StopProgress();
    QDialog::done(result);
}
