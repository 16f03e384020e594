#pragma once

// The property sheet the configuration window is built on: a tree of page
// names on the left (shaped by the family's PageTreeTable), a page frame
// around the active page on the right, a title band naming the device type
// under the tree, and a progress bar in the lower band that worker threads
// drive through the sheet's SheetProgressBlock. Pages are created when first
// shown; PageWindowExists tells whether that happened.

#include <QDialog>
#include <QIcon>
#include <QRect>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/sheet/page_frame.h"
#include "config/sheet/page_tree_table.h"
#include "config/sheet/sheet_progress.h"
#include "platform/window.h"

class QStackedWidget;
class QTabBar;
class QTreeWidget;
class QTreeWidgetItem;

// A page may refuse to be left (its values do not pass a check).
class SheetPage {
public:
    virtual ~SheetPage() = default;
    // Asked before another page is shown; false keeps this one.
    virtual bool OnKillActive() { return true; }
};

// Where the sheet and the main window go: the sheet beside the main window
// in the work area, overlapping it by 2 pixels, or centred when both do not
// fit side by side.
struct SheetPlacement {
    std::optional<QPoint> mainWindow;  // none: the main window stays
    QPoint sheet;
};
SheetPlacement PlaceBesideMainWindow(const QRect& mainWindow, const QSize& sheet,
                                     const QRect& workArea);

// The title band's text for a product.
QString SheetTitleFor(const std::string& productId);

class CTreePropSheet : public QDialog, public platform::MessageTarget {
    Q_OBJECT
public:
    using PageFactory = std::function<QWidget*()>;

    CTreePropSheet(const QString& caption, QWidget* parent, std::string productId);
    ~CTreePropSheet() override;

    // Adds a page with its tab text; the page is built when first shown.
    void AddPage(const QString& caption, PageFactory factory);
    int PageCount() const { return static_cast<int>(m_pages.size()); }
    bool PageWindowExists(int index) const;
    QWidget* PageWindow(int index) const;
    int ActivePageIndex() const { return m_active; }

    // A page's own header icon (shown by its tree item and the frame's
    // caption); from an icon or an entry of an image list. false for an
    // index or entry out of range.
    bool SetPageIcon(int index, const QIcon& icon);
    bool SetPageIcon(int index, const QList<QIcon>& images, int entry);
    bool DestroyPageIcon(int index);

    // Allowed only before the window is set up: 1, else 0.
    int SetTreeMode(bool on);
    int SetTreeWidth(int width);
    void SetEmptyPageText(const QString& text) { m_emptyPageText = text; }
    int SetEmptyPageTextFormat(int format);
    // 1 only when exactly two images are given.
    int SetTreeDefaultImages(const QList<QIcon>& images);

    // Sets the sheet up (the dialog initialisation): frame, tree, placement
    // beside `mainWindow` (work area `workArea`), progress thread. Shows the
    // first page.
    void InitSheet(const QRect& mainWindow = {}, const QRect& workArea = {}, float dpiScale = 1.0f);

    bool SetActivePage(int index);
    void ActivateNextPage();
    void ActivatePreviousPage();
    bool SelectPageTreeItem(int index);

    QTreeWidget* GetPageTree() const { return m_tree; }
    QTabBar* GetTabBar() const { return m_tabs; }
    PageFrameWnd* GetPageFrame() const { return m_frame.get(); }
    QRect ProgressRect() const { return m_progressRect; }
    QRect TitleBandRect() const { return m_titleRect; }
    platform::WindowHandle Handle() const { return m_handle; }
    std::shared_ptr<SheetProgressBlock> ProgressBlock() const { return m_progress; }
    // Where the main window was asked to move, when it was.
    std::optional<QPoint> MainWindowTarget() const { return m_mainTarget; }

    // Ends the sheet: the progress thread stops and the block refuses posts.
    void done(int result) override;

    virtual QString MakeEmptyPageMessage(const QString& format, const QString& caption) const;

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Page {
        QString caption;
        PageFactory factory;
        QWidget* window = nullptr;
        QIcon icon;
    };

    void RefillPageTree();
    QTreeWidgetItem* CreatePageTreeItem(const QString& path, QTreeWidgetItem* parent);
    void UpdateCaption();
    void OnTreeSelection(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    bool KillActiveCurrentPage();
    void SelectItem(QTreeWidgetItem* item);
    void DrawTitleBand(QPainter& painter);
    void DrawProgress(QPainter& painter);
    void StopProgress();

    std::string m_productId;
    std::vector<Page> m_pages;
    int m_active = -1;
    bool m_initialised = false;
    bool m_treeMode = true;
    bool m_pageCaption = true;
    bool m_treeImages = false;
    int m_treeWidth = 150;
    QString m_emptyPageText;
    QList<QIcon> m_defaultImages;
    const PageTreeTable* m_table = nullptr;
    std::array<QTreeWidgetItem*, kPageTreeRows> m_rowItems{};
    bool m_selectionGuard = false;

    QTreeWidget* m_tree = nullptr;
    QTabBar* m_tabs = nullptr;  // outside tree mode: an ordinary tabbed sheet
    std::unique_ptr<PageFrameWnd> m_frame;
    QStackedWidget* m_stack = nullptr;
    QRect m_progressRect;
    QRect m_titleRect;
    std::optional<QPoint> m_mainTarget;

    platform::WindowHandle m_handle = 0;
    std::shared_ptr<SheetProgressBlock> m_progress;
    SheetProgressThread m_progressThread;
};
