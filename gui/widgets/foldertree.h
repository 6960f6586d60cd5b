#pragma once

// The folder tree: folders only, loaded lazily (a folder's children are read the first
// time it is expanded or walked through, and again at each later expansion, so folders
// made meanwhile appear). Its root item is "Desktop", standing for the desktop folder;
// under it sit the home folder, the file-system root and the desktop's subfolders, so
// every folder can be reached. Symbolic links to folders are listed but
// never expanded into a folder that is already one of their ancestors.

#include <QString>
#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;

class FolderTree : public QWidget {
    Q_OBJECT
public:
    // The text of the root item, and what SelectedFolder answers for it.
    static inline const QString kRootName = QStringLiteral("Desktop");

    // The folders the top of the tree stands for; the defaults are the user's desktop,
    // home folder and "/". Tests point them at a scratch tree.
    struct Anchors {
        QString desktop;
        QString home;
        QString fileSystem;
    };
    static Anchors defaultAnchors();

    explicit FolderTree(QWidget* parent = nullptr);
    FolderTree(const Anchors& anchors, QWidget* parent = nullptr);
    ~FolderTree() override;

    // The selected folder's path without a trailing "/" (except "/" itself), "Desktop"
    // for the root item, "" when nothing is selected.
    QString SelectedFolder() const;
    // Expands down to the folder and selects it; "Desktop" (any case) selects the root.
    // Raises FolderSelected once, before returning, when the selection changes; nothing
    // when the folder is already selected. A folder that does not exist leaves the
    // selection alone and answers false.
    bool SetSelectedFolder(const QString& path);

    // Enabled is QWidget's own (setEnabled); a disabled tree takes no clicks.
    QTreeWidget* view() const; // for focus, screenshots and tests

signals:
    // The selection moved to another folder, by the user or by SetSelectedFolder.
    void FolderSelected(const QString& folder);

private:
    void build();
    void loadChildren(QTreeWidgetItem* item);
    void rereadChildren(QTreeWidgetItem* item);
    void onExpanded(QTreeWidgetItem* item);
    static bool isAncestor(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* item);
    QTreeWidgetItem* addFolderItem(QTreeWidgetItem* parent, const QString& label, const QString& path,
                                   bool inSortedPlace);
    QTreeWidgetItem* childNamed(QTreeWidgetItem* parent, const QString& name);
    QTreeWidgetItem* itemForPath(const QString& path);
    bool isLoopLink(QTreeWidgetItem* item) const;
    void onCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);

    Anchors m_anchors;
    QTreeWidget* m_tree = nullptr;
    QTreeWidgetItem* m_root = nullptr;
    QTreeWidgetItem* m_homeItem = nullptr;
    QTreeWidgetItem* m_fsItem = nullptr;
    bool m_selectingFromCode = false;
};
