// Folder Conversion: hands the folder selected in the tree to the clone dialog.

#include "mainwindow/frmmain.h"

#include "core/errortrap.h"
#include "core/uiservices.h"
#include "gui/widgets/foldertree.h"
#include "search/filesearch.h"
#include "tools/frmclonedirectory.h"

#include <QLineEdit>

void frmMain::cmdCloneDir_Click() {
    trap(u"cmdCloneDir_Click", u" of Form frmMain at time", [&] {
        // The tree's root "Desktop" is the desktop folder; the dialog checks the path.
        const QString folder = filesearch::SearchFolderFor(ftvFolder->SelectedFolder());
        frmCloneDirectory dialog(this);
        dialog.txtCloningFrom->setText(folder);
        Ui().ShowModal(&dialog);
    });
}
