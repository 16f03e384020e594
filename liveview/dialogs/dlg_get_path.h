#pragma once

// The "Destination Path" dialog: one tree of the file system's root, the home
// folder, the mounted file systems and a "Network Neighborhood" node holding
// the network mounts grouped by server. Folders are read when their node is
// first expanded. After the dialog has closed, GetPath() holds the chosen
// folder (ending with '/') or, when nothing was selected, the start path.
//
// Folder names are shown tidied (an all-capitals name in title case), but the
// path handed back is built from the names exactly as they are on disk.

#include <QDialog>
#include <QString>
#include <filesystem>
#include <string>
#include <vector>

#include "liveview/dialogs/mount_table.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace liveview {

// Where the dialog finds its roots; tests give a fake mount table and home.
struct FolderPickerSources {
    std::filesystem::path mountTable = "/proc/self/mounts";
    std::filesystem::path home;  // empty: the user's home folder
};

class CDlgGetPath : public QDialog {
    Q_OBJECT

public:
    explicit CDlgGetPath(QWidget* parent = nullptr, FolderPickerSources sources = {});
    ~CDlgGetPath() override;

    void SetPath(const std::string& path) { m_strPath = path; }
    const std::string& GetPath() const { return m_strPath; }

    // The component of path between the index-th and the next '/' (index 0:
    // before the first); false when path has fewer separators than index.
    static bool GetPathPart(const std::string& path, int index, std::string& component);

    // The text a name is shown with: a name without any lower-case letter
    // a..z becomes lower case with its first character upper case.
    static QString NormalizedName(const QString& name);

    // The path of a node, from the real names on disk, ending with '/';
    // empty for the network node and servers.
    std::string GetItemPath(const QTreeWidgetItem* item) const;

    QTreeWidget* tree() const { return m_tree; }
    QPushButton* okButton() const { return m_ok; }
    QTreeWidgetItem* networkRoot() const { return m_hNetworkRoot; }

    // Counts folder listings, so a test can see that a node is read once.
    int folderReads() const { return m_folderReads; }

    void done(int result) override;

private:
    enum class Kind { Folder, Root, NetworkRoot, Server };

    void OnInitDialog();
    void OnItemexpandingTree(QTreeWidgetItem* item);
    void OnSelchangedTree();
    QTreeWidgetItem* InsertItem(QTreeWidgetItem* parent, Kind kind, const std::string& realName,
                                const QString& text);
    void PopulateTree(const std::string& path, QTreeWidgetItem* item);
    void EnumNetwork(QTreeWidgetItem* item);
    static Kind KindOf(const QTreeWidgetItem* item);

    FolderPickerSources m_sources;
    std::vector<MountEntry> m_networkMounts;
    QTreeWidget* m_tree = nullptr;
    QPushButton* m_ok = nullptr;
    QTreeWidgetItem* m_hNetworkRoot = nullptr;
    std::string m_strPath;
    int m_folderReads = 0;
};

}  // namespace liveview
