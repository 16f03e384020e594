#include "liveview/dialogs/dlg_get_path.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <map>
#include <system_error>

namespace liveview {

namespace {

namespace fs = std::filesystem;

constexpr int kRealNameRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;

QString DisplayName(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    return path;
}

}  // namespace

CDlgGetPath::CDlgGetPath(QWidget* parent, FolderPickerSources sources)
    : QDialog(parent), m_sources(std::move(sources)) {
    setWindowTitle("Destination Path");
    m_tree = new QTreeWidget(this);
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setColumnCount(1);
    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton("CANCEL", QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
    layout->addWidget(buttons);
    resize(420, 360);

    connect(m_tree, &QTreeWidget::itemExpanded, this, &CDlgGetPath::OnItemexpandingTree);
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &CDlgGetPath::OnSelchangedTree);
    OnInitDialog();
}

CDlgGetPath::~CDlgGetPath() = default;

void CDlgGetPath::OnInitDialog() {
    // Roots in a fixed order: the file system's root, the home folder, then
    // every other mounted file system that holds files, once per folder.
    std::vector<std::string> roots{"/"};
    std::string home = m_sources.home.empty() ? QFile::encodeName(QDir::homePath()).toStdString()
                                              : m_sources.home.string();
    if (!home.empty()) {
        roots.push_back(home);
    }
    const auto mounts = ReadMountTable(m_sources.mountTable);
    for (const MountEntry& m : mounts.value_or(std::vector<MountEntry>{})) {
        if (IsNetworkFileSystem(m.type)) {
            m_networkMounts.push_back(m);
            continue;
        }
        std::error_code ec;
        if (IsPseudoFileSystem(m.type) || !m.device.starts_with('/') ||
            !fs::is_directory(m.mountPoint, ec)) {
            continue;
        }
        const std::string normal = fs::path(m.mountPoint).lexically_normal().string();
        const std::string trimmed = normal.size() > 1 && normal.back() == '/'
                                        ? normal.substr(0, normal.size() - 1)
                                        : normal;
        if (std::ranges::find(roots, trimmed) == roots.end()) {
            roots.push_back(trimmed);
        }
    }
    for (const std::string& root : roots) {
        InsertItem(nullptr, Kind::Root, root, DisplayName(root));
    }
    m_hNetworkRoot = InsertItem(nullptr, Kind::NetworkRoot, {}, "Network Neighborhood");
    // Opens collapsed with nothing selected: OK then keeps the start path.
}

QTreeWidgetItem* CDlgGetPath::InsertItem(QTreeWidgetItem* parent, Kind kind,
                                         const std::string& realName, const QString& text) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, NormalizedName(text));
    item->setData(0, kRealNameRole, QByteArray::fromStdString(realName));
    item->setData(0, kKindRole, static_cast<int>(kind));
    // Every new node shows an expand button until it is found empty.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    QFileIconProvider icons;
    switch (kind) {
        case Kind::Folder:
            item->setIcon(0, icons.icon(QFileIconProvider::Folder));
            break;
        case Kind::Root:
            item->setIcon(0, icons.icon(QFileIconProvider::Drive));
            break;
        case Kind::NetworkRoot:
            item->setIcon(0, icons.icon(QFileIconProvider::Network));
            break;
        case Kind::Server:
            item->setIcon(0, icons.icon(QFileIconProvider::Computer));
            break;
    }
    if (parent != nullptr) {
        parent->addChild(item);
    } else {
        m_tree->addTopLevelItem(item);
    }
    return item;
}

QString CDlgGetPath::NormalizedName(const QString& name) {
    const bool hasLower = std::ranges::any_of(
        name, [](QChar c) { return c.unicode() >= u'a' && c.unicode() <= u'z'; });
    if (hasLower || name.isEmpty()) {
        return name;
    }
    QString out = name.toLower();
    out[0] = out[0].toUpper();
    return out;
}

CDlgGetPath::Kind CDlgGetPath::KindOf(const QTreeWidgetItem* item) {
    return static_cast<Kind>(item->data(0, kKindRole).toInt());
}

void CDlgGetPath::OnItemexpandingTree(QTreeWidgetItem* item) {
    if (item == nullptr || item->childCount() != 0) {
        return;  // read once; collapsing and expanding again reads nothing
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    PopulateTree(GetItemPath(item), item);
    QApplication::restoreOverrideCursor();
    if (m_tree->currentItem() != item) {
        m_tree->setCurrentItem(item);
    }
}

void CDlgGetPath::PopulateTree(const std::string& path, QTreeWidgetItem* item) {
    const Kind kind = KindOf(item);
    if (kind == Kind::NetworkRoot || kind == Kind::Server) {
        EnumNetwork(item);
    } else {
        ++m_folderReads;
        // Hidden folders are listed too; a folder that cannot be read simply
        // has no children. Sorted by name, as the operator looks for one.
        std::vector<std::string> names;
        std::error_code ec;
        fs::directory_iterator it(path, fs::directory_options::skip_permission_denied, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            std::error_code typeError;
            if (it->is_directory(typeError)) {
                names.push_back(it->path().filename().string());
            }
        }
        std::ranges::sort(names);
        for (const std::string& name : names) {
            InsertItem(item, Kind::Folder, name, DisplayName(name));
        }
    }
    if (item->childCount() == 0) {
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }
}

void CDlgGetPath::EnumNetwork(QTreeWidgetItem* item) {
    if (item != m_hNetworkRoot) {
        return;  // a server's shares are added with it
    }
    // Network mounts grouped by their server; a mount whose device names no
    // server stands directly under the network node.
    std::map<std::string, QTreeWidgetItem*> servers;
    for (const MountEntry& m : m_networkMounts) {
        QTreeWidgetItem* parent = item;
        if (const std::string server = NetworkServerOf(m.device); !server.empty()) {
            auto [pos, added] = servers.try_emplace(server, nullptr);
            if (added) {
                pos->second = InsertItem(item, Kind::Server, {}, DisplayName(server));
            }
            parent = pos->second;
        }
        QTreeWidgetItem* share =
            InsertItem(parent, Kind::Root, m.mountPoint, DisplayName(m.mountPoint));
        share->setToolTip(0, DisplayName(m.device));
    }
}

std::string CDlgGetPath::GetItemPath(const QTreeWidgetItem* item) const {
    std::string path;
    for (; item != nullptr; item = item->parent()) {
        const std::string name = item->data(0, kRealNameRole).toByteArray().toStdString();
        switch (KindOf(item)) {
            case Kind::Folder:
                path = name + "/" + path;
                break;
            case Kind::Root:
                return WithSlash(name) + path;
            case Kind::NetworkRoot:
            case Kind::Server:
                return {};
        }
    }
    return {};
}

bool CDlgGetPath::GetPathPart(const std::string& path, int index, std::string& component) {
    if (index < 0) {
        return false;
    }
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        const std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) {
            return false;
        }
        start = slash + 1;
    }
    const std::size_t end = path.find('/', start);
    component = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return true;
}

void CDlgGetPath::OnSelchangedTree() {
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    const QTreeWidgetItem* item = selected.isEmpty() ? nullptr : selected.front();
    const bool network =
        item != nullptr && (KindOf(item) == Kind::NetworkRoot || KindOf(item) == Kind::Server);
    m_ok->setEnabled(!network);
}

void CDlgGetPath::done(int result) {
    // The chosen path is taken as the dialog closes, after OK or Cancel alike.
    if (const QList<QTreeWidgetItem*> selected = m_tree->selectedItems(); !selected.isEmpty()) {
        const QTreeWidgetItem* item = selected.front();
        if (const std::string path = GetItemPath(item); !path.empty()) {
            m_strPath = path;
        }
    }
    QDialog::done(result);
}

}  // namespace liveview
