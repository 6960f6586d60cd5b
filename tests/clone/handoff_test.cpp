// Folder Conversion from the main window: the tree's folder reaches the clone dialog,
// which writes the mirrored PDFs.
#include "tests/mainwindow/mainwindowfixture.h"

#include "core/modgetspecialfolder.h"
#include "gui/widgets/foldertree.h"
#include "tools/frmclonedirectory.h"

#include <QImage>
#include <QLineEdit>
#include <QPushButton>

namespace {

struct CloneHandOff : MainWindowFixture {
    QTemporaryDir tree;
    QString root = QDir(tree.path()).canonicalPath();
    QStringList sources; // what the dialog's source box showed when it opened

    // Every dialog opened: note its source, run a job into root/out, close it.
    void driveDialogs() {
        ui.fake.onShowModal = [this](QObject* dialog) {
            auto* d = qobject_cast<frmCloneDirectory*>(dialog);
            if (!d) return 0;
            sources << d->txtCloningFrom->text();
            d->txtoutputFld->setText(root + "/out");
            d->cmdOk->click();
            return 0;
        };
    }
};

} // namespace

TEST_F(CloneHandOff, TheTreesFolderIsClonedIntoPdfs) {
    QDir().mkpath(root + "/out");
    for (const char* f : {"scans/a.jpg", "scans/July/b.png"}) {
        QDir().mkpath(QFileInfo(root + "/" + f).path());
        ASSERT_TRUE(QImage(8, 8, QImage::Format_RGB32).save(root + "/" + f));
    }
    driveDialogs();
    frmMain w;
    w.ftvFolder->SetSelectedFolder(root + "/scans");
    w.cmdCloneDir->click();
    EXPECT_EQ(sources, QStringList{root + "/scans"});
    EXPECT_TRUE(QFileInfo(root + "/out/scans/a.pdf").size() > 0);
    EXPECT_TRUE(QFileInfo(root + "/out/scans/July/b.pdf").size() > 0);

    // The tree's root is the desktop folder.
    const auto previous = modGetSpecialFolder::setSpecialFolderSource(
        [this](int id) { return id == modGetSpecialFolder::CSIDL_DESKTOP ? root + "/scans" : QString(); });
    w.ftvFolder->SetSelectedFolder("Desktop");
    w.cmdCloneDir->click();
    modGetSpecialFolder::setSpecialFolderSource(previous);
    EXPECT_EQ(sources.value(1), root + "/scans");
}
