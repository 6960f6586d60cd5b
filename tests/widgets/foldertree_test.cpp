#include "gui/widgets/foldertree.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// A scratch desktop and home folder:
//   home/Desktop/{beta, Alpha/deep/er, Alpha/loop -> Alpha, Alpha/.hidden/x}
//   home/Docs/sub
struct Folders {
    QTemporaryDir dir;
    QString home, desktop;
    Folders() {
        home = QDir(dir.path()).canonicalPath() + "/home";
        desktop = home + "/Desktop";
        for (const char* p :
             {"/Desktop/beta", "/Desktop/Alpha/deep/er", "/Desktop/Alpha/.hidden/x", "/Docs/sub"})
            QDir().mkpath(home + p);
        QFile::link(desktop + "/Alpha", desktop + "/Alpha/loop");
    }
    FolderTree::Anchors anchors() const { return {desktop, home, "/"}; }
};

QStringList childTexts(const QTreeWidgetItem* item) {
    QStringList out;
    for (int i = 0; i < item->childCount(); ++i)
        out << item->child(i)->text(0);
    return out;
}

QTreeWidgetItem* child(QTreeWidgetItem* item, const QString& text) {
    for (int i = 0; i < item->childCount(); ++i)
        if (item->child(i)->text(0) == text) return item->child(i);
    return nullptr;
}

} // namespace

TEST(FolderTree, RootIsDesktopWithHomeFileSystemAndTheDesktopsFolders) {
    Folders f;
    FolderTree tree(f.anchors());
    QTreeWidget* view = tree.view();
    ASSERT_EQ(view->topLevelItemCount(), 1);
    QTreeWidgetItem* root = view->topLevelItem(0);
    EXPECT_EQ(root->text(0), "Desktop");
    EXPECT_EQ(childTexts(root), QStringList({"home", "File System", "Alpha", "beta"}));
    EXPECT_EQ(tree.SelectedFolder(), "");

    // Children are read when a folder opens; folders only, hidden ones left out.
    QTreeWidgetItem* alpha = child(root, "Alpha");
    EXPECT_EQ(alpha->childCount(), 0);
    alpha->setExpanded(true);
    EXPECT_EQ(childTexts(alpha), QStringList({"deep", "loop"}));
    QTreeWidgetItem* loop = child(alpha, "loop");
    loop->setExpanded(true);
    EXPECT_EQ(loop->childCount(), 0); // a link back to its own parent is not followed
    EXPECT_EQ(loop->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

TEST(FolderTree, SettingAFolderSelectsItAndSignalsOnlyOnChange) {
    Folders f;
    FolderTree tree(f.anchors());
    QSignalSpy selected(&tree, &FolderTree::FolderSelected);
    QStringList seenInside;
    QObject::connect(&tree, &FolderTree::FolderSelected, &tree,
                     [&](const QString&) { seenInside << tree.SelectedFolder(); });

    struct Step {
        QString set;
        bool ok;
        QString selected;
        int raised; // total so far
    };
    const Step steps[] = {
        {f.desktop + "/Alpha/deep/er", true, f.desktop + "/Alpha/deep/er", 1},
        {f.desktop + "/Alpha/deep/er/", true, f.desktop + "/Alpha/deep/er", 1}, // same folder: nothing
        {"desktop", true, "Desktop", 2},
        {f.desktop, true, "Desktop", 2},                       // the desktop folder is the root
        {f.home + "/Docs/sub", true, f.home + "/Docs/sub", 3}, // reached through the home item
        {f.desktop + "/Alpha/.hidden/x", true, f.desktop + "/Alpha/.hidden/x", 4},
        {f.desktop + "/nowhere", false, f.desktop + "/Alpha/.hidden/x", 4},
        {f.desktop + "/Alpha/loop/deep", false, f.desktop + "/Alpha/.hidden/x", 4},
        {f.desktop + "/Alpha/loop", true, f.desktop + "/Alpha/loop", 5},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(tree.SetSelectedFolder(s.set), s.ok) << s.set.toStdString();
        EXPECT_EQ(tree.SelectedFolder(), s.selected) << s.set.toStdString();
        EXPECT_EQ(selected.count(), s.raised) << s.set.toStdString();
    }
    // The signal carries the new folder and comes after the selection moved.
    EXPECT_EQ(selected[0][0].toString(), f.desktop + "/Alpha/deep/er");
    EXPECT_EQ(seenInside[1], "Desktop");
    QTreeWidgetItem* item = tree.view()->currentItem();
    EXPECT_TRUE(item->isSelected());
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        EXPECT_TRUE(p->isExpanded());
    // The hidden folder was added once, in its sorted place, not listed twice.
    QTreeWidgetItem* alpha = child(tree.view()->topLevelItem(0), "Alpha");
    EXPECT_EQ(childTexts(alpha), QStringList({".hidden", "deep", "loop"}));
}

TEST(FolderTree, FoldersOutsideHomeAreReachedThroughTheFileSystemRoot) {
    Folders f;
    const QString outside = QDir(f.dir.path()).canonicalPath() + "/elsewhere/inner";
    QDir().mkpath(outside);
    FolderTree tree({f.desktop, f.home + "/Docs", "/"});
    ASSERT_TRUE(tree.SetSelectedFolder(outside));
    EXPECT_EQ(tree.SelectedFolder(), outside);
    QTreeWidgetItem* top = tree.view()->currentItem();
    while (top->parent() && top->parent()->parent())
        top = top->parent();
    EXPECT_EQ(top->text(0), "File System");
}

TEST(FolderTree, AUsersSelectionSignalsLikeACodeSelection) {
    Folders f;
    FolderTree tree(f.anchors());
    QSignalSpy selected(&tree, &FolderTree::FolderSelected);
    QTreeWidgetItem* beta = child(tree.view()->topLevelItem(0), "beta");
    tree.view()->setCurrentItem(beta);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected[0][0].toString(), f.desktop + "/beta");
    EXPECT_TRUE(tree.SetSelectedFolder(f.desktop + "/beta"));
    EXPECT_EQ(selected.count(), 1);
}

TEST(FolderTree, ExpandingAgainShowsFoldersMadeAndRemovedMeanwhile) {
    Folders f;
    FolderTree tree(f.anchors());
    ASSERT_TRUE(tree.SetSelectedFolder(f.desktop + "/Alpha/deep/er"));
    QTreeWidgetItem* desktop = tree.view()->topLevelItem(0);
    QTreeWidgetItem* alpha = child(desktop, "Alpha");
    ASSERT_TRUE(alpha);
    ASSERT_TRUE(QDir().mkpath(f.desktop + "/Alpha/new"));
    ASSERT_TRUE(QDir().mkpath(f.desktop + "/gamma"));
    ASSERT_TRUE(QDir(f.desktop + "/beta").removeRecursively());
    alpha->setExpanded(false);
    alpha->setExpanded(true);
    EXPECT_EQ(childTexts(alpha), (QStringList{"deep", "loop", "new"}));
    EXPECT_TRUE(child(alpha, "deep")->isExpanded()); // the selected folder's branch stays open
    desktop->setExpanded(false);
    desktop->setExpanded(true);
    EXPECT_TRUE(child(desktop, "gamma"));
    EXPECT_FALSE(child(desktop, "beta"));
    EXPECT_EQ(tree.SelectedFolder(), f.desktop + "/Alpha/deep/er");
}
