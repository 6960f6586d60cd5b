#include "gui/widgets/foldertree.h"

#include "core/errortrap.h"
#include "platform/shell/specialfolders.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QSet>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int PathRole = Qt::UserRole;
constexpr int LoadedRole = Qt::UserRole + 1;
constexpr int SpecialRole = Qt::UserRole + 2; // the home and file-system items under the root

QString itemPath(const QTreeWidgetItem* item) {
    return item->data(0, PathRole).toString();
}

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString normalised(const QString& path) {
    if (path.isEmpty()) return path;
    return QDir::cleanPath(QDir::isAbsolutePath(path) ? path : QDir(path).absolutePath());
}

// True when `path` is `anchor` or lies below it.
bool isWithin(const QString& path, const QString& anchor) {
    if (anchor.isEmpty()) return false;
    if (path == anchor || anchor == u"/") return path.startsWith(u'/');
    return path.startsWith(anchor + u'/');
}

const QFileIconProvider& icons() {
    static const QFileIconProvider provider;
    return provider;
}
} // namespace

FolderTree::Anchors FolderTree::defaultAnchors() {
    return {platform::desktopFolder(), platform::homeFolder(), QStringLiteral("/")};
}

FolderTree::FolderTree(QWidget* parent) : FolderTree(defaultAnchors(), parent) {}

FolderTree::FolderTree(const Anchors& anchors, QWidget* parent) : QWidget(parent) {
    m_anchors = {normalised(anchors.desktop), normalised(anchors.home), normalised(anchors.fileSystem)};
    m_tree = new QTreeWidget(this);
    m_tree->setColumnCount(1);
    m_tree->header()->hide();
    m_tree->setUniformRowHeights(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree);
    setFocusProxy(m_tree);
    connect(m_tree, &QTreeWidget::itemExpanded, this, &FolderTree::onExpanded);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &FolderTree::onCurrentChanged);
    build();
}

FolderTree::~FolderTree() = default;

QTreeWidget* FolderTree::view() const {
    return m_tree;
}

void FolderTree::build() {
    m_root = new QTreeWidgetItem(m_tree, QStringList{kRootName});
    m_root->setData(0, PathRole, m_anchors.desktop);
    m_root->setIcon(0, icons().icon(QAbstractFileIconProvider::Desktop));

    auto special = [this](const QString& label, const QString& path,
                          QAbstractFileIconProvider::IconType icon) {
        auto* item = addFolderItem(m_root, label, path, false);
        item->setData(0, SpecialRole, true);
        item->setIcon(0, icons().icon(icon));
        return item;
    };
    if (!m_anchors.home.isEmpty() && m_anchors.home != m_anchors.desktop) {
        const QString name = QFileInfo(m_anchors.home).fileName();
        m_homeItem = special(name.isEmpty() ? m_anchors.home : name, m_anchors.home,
                             QAbstractFileIconProvider::Folder);
    }
    if (!m_anchors.fileSystem.isEmpty())
        m_fsItem = special(tr("File System"), m_anchors.fileSystem, QAbstractFileIconProvider::Drive);
    loadChildren(m_root);
    m_root->setExpanded(true);
}

QTreeWidgetItem* FolderTree::addFolderItem(QTreeWidgetItem* parent, const QString& label, const QString& path,
                                           bool inSortedPlace) {
    auto* item = new QTreeWidgetItem(QStringList{label});
    item->setData(0, PathRole, path);
    item->setIcon(0, icons().icon(QAbstractFileIconProvider::Folder));
    // Children are read on first expansion; until then assume there may be some.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    int at = parent->childCount();
    if (inSortedPlace) {
        for (int i = 0; i < parent->childCount(); ++i) {
            const QTreeWidgetItem* c = parent->child(i);
            if (!c->data(0, SpecialRole).toBool() && c->text(0).compare(label, Qt::CaseInsensitive) > 0) {
                at = i;
                break;
            }
        }
    }
    parent->insertChild(at, item);
    return item;
}

bool FolderTree::isLoopLink(QTreeWidgetItem* item) const {
    const QFileInfo info(itemPath(item));
    if (!info.isSymLink()) return false;
    const QString target = info.canonicalFilePath();
    if (target.isEmpty() || target == u"/") return true; // dangling, or everything again
    // A link to one of its own ancestors (in the file system or in this tree) repeats forever.
    const QString parentDir = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (parentDir == target || parentDir.startsWith(target + u'/')) return true;
    for (const QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        if (QFileInfo(itemPath(p)).canonicalFilePath() == target) return true;
    return false;
}

void FolderTree::onExpanded(QTreeWidgetItem* item) {
    if (item->data(0, LoadedRole).toBool())
        rereadChildren(item);
    else
        loadChildren(item);
}

void FolderTree::loadChildren(QTreeWidgetItem* item) {
    if (!item || item->data(0, LoadedRole).toBool()) return;
    item->setData(0, LoadedRole, true);
    if (!isLoopLink(item)) {
        const QString path = itemPath(item);
        const QFileInfoList entries =
            QDir(path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo& e : entries)
            addFolderItem(item, e.fileName(), joinPath(path, e.fileName()), false);
    }
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

// A folder expanded again shows what is there now: folders made since appear, folders
// gone disappear; the items that stay keep their own expansion.
void FolderTree::rereadChildren(QTreeWidgetItem* item) {
    if (isLoopLink(item)) return;
    const QString path = itemPath(item);
    const QFileInfoList entries =
        QDir(path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    QSet<QString> present;
    for (const QFileInfo& e : entries)
        present.insert(joinPath(path, e.fileName()));
    QSet<QString> shown;
    for (int i = item->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* c = item->child(i);
        if (c->data(0, SpecialRole).toBool()) continue;
        const QString childPath = itemPath(c);
        // A hidden folder reached through a path is not listed, but stays while it exists.
        if (!present.contains(childPath) && !QFileInfo(childPath).isDir()) {
            if (m_tree->currentItem() == c || isAncestor(c, m_tree->currentItem())) continue;
            delete item->takeChild(i);
            continue;
        }
        shown.insert(childPath);
    }
    for (const QFileInfo& e : entries)
        if (!shown.contains(joinPath(path, e.fileName())))
            addFolderItem(item, e.fileName(), joinPath(path, e.fileName()), true);
}

bool FolderTree::isAncestor(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* item) {
    for (const QTreeWidgetItem* p = item ? item->parent() : nullptr; p; p = p->parent())
        if (p == ancestor) return true;
    return false;
}

QTreeWidgetItem* FolderTree::childNamed(QTreeWidgetItem* parent, const QString& name) {
    if (isLoopLink(parent)) return nullptr;
    loadChildren(parent);
    const QString path = joinPath(itemPath(parent), name);
    for (int i = 0; i < parent->childCount(); ++i) {
        QTreeWidgetItem* c = parent->child(i);
        if (!c->data(0, SpecialRole).toBool() && itemPath(c) == path) return c;
    }
    // Hidden folders are not listed, but a path may still lead through one.
    if (QFileInfo(path).isDir()) return addFolderItem(parent, name, path, true);
    return nullptr;
}

QTreeWidgetItem* FolderTree::itemForPath(const QString& path) {
    if (path.trimmed().compare(kRootName, Qt::CaseInsensitive) == 0) return m_root;
    const QString target = normalised(path.trimmed());
    if (target.isEmpty() || !QFileInfo(target).isDir()) return nullptr;
    // Start from the anchor that holds the folder most closely.
    QTreeWidgetItem* item = nullptr;
    QString base;
    const std::pair<QString, QTreeWidgetItem*> anchors[] = {
        {m_anchors.desktop, m_root}, {m_anchors.home, m_homeItem}, {m_anchors.fileSystem, m_fsItem}};
    for (const auto& [anchorPath, anchorItem] : anchors) {
        if (anchorItem && isWithin(target, anchorPath) && anchorPath.size() > base.size()) {
            base = anchorPath;
            item = anchorItem;
        }
    }
    if (!item) return nullptr;
    const QString rest = target.mid(base.size());
    for (const QString& name : rest.split(u'/', Qt::SkipEmptyParts)) {
        item = childNamed(item, name);
        if (!item) return nullptr;
    }
    return item;
}

QString FolderTree::SelectedFolder() const {
    const QTreeWidgetItem* item = m_tree->currentItem();
    if (!item) return QString();
    return item == m_root ? kRootName : itemPath(item);
}

bool FolderTree::SetSelectedFolder(const QString& path) {
    QTreeWidgetItem* item = itemForPath(path);
    if (!item) return false;
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        p->setExpanded(true);
    m_tree->scrollToItem(item);
    if (item == m_tree->currentItem()) {
        item->setSelected(true);
        return true;
    }
    m_selectingFromCode = true;
    m_tree->setCurrentItem(item);
    m_selectingFromCode = false;
    emit FolderSelected(SelectedFolder());
    return true;
}

void FolderTree::onCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem*) {
    if (m_selectingFromCode || !current) return;
    // A user's click: a handler's failure must not escape into the event loop.
    quietly([&] { emit FolderSelected(SelectedFolder()); });
}
