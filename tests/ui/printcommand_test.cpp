// "Print" through the real shell seam, with stand-ins for lp: what the print command says
// when it fails is what the user is told.
#include "gui/ui/qtuiservices.h"

#include "tests/support/testdir.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(PrintCommand, AFailingCommandsOwnWordsComeBackAndSuccessIsQuiet) {
    QTemporaryDir dir;
    const QString file = dir.path() + "/scan 1.tif";
    ASSERT_TRUE(writeFile(file, "x"));
    QtUiServices shell;
    // The file arrives as one last argument, blank and all.
    shell.printCommand = {"/bin/sh", "-c",
                          "test -f \"$1\" && test \"$#\" = 1 || exit 9; "
                          "echo 'lp: Error - No default destination.' >&2; exit 1",
                          "lp"};
    ShellResult r = shell.ShellExecute("Print", file, QString(), QString());
    EXPECT_EQ(r.outcome, ShellResult::Failed);
    EXPECT_EQ(r.reason, "lp: Error - No default destination.");

    shell.printCommand = {"/bin/sh", "-c", "exit 3", "lp"}; // fails without a word
    r = shell.ShellExecute("print", file, QString(), QString());
    EXPECT_EQ(r.outcome, ShellResult::Failed);
    EXPECT_EQ(r.reason, "The print command /bin/sh ended with code 3.");

    shell.printCommand = {dir.path() + "/no-such-lp"};
    r = shell.ShellExecute("Print", file, QString(), QString());
    EXPECT_EQ(r.outcome, ShellResult::Failed);
    EXPECT_TRUE(r.reason.startsWith("The print command " + dir.path() + "/no-such-lp could not be started"))
        << r.reason.toStdString();

    shell.printCommand = {"/bin/sh", "-c", "echo 'request id is office-1 (1 file(s))'", "lp"};
    r = shell.ShellExecute("Print", file, QString(), QString());
    EXPECT_TRUE(r.started()) << r.reason.toStdString();
}

TEST(PrintCommand, ACommandThatNeverEndsIsStoppedAtItsLimit) {
    QtUiServices shell;
    shell.printCommand = {"/bin/sh", "-c", "exec sleep 600", "lp"};
    shell.printLimit = std::chrono::milliseconds(50);
    const ShellResult r = shell.ShellExecute("Print", "/dev/null", QString(), QString());
    EXPECT_EQ(r.outcome, ShellResult::Failed);
    EXPECT_TRUE(r.reason.contains("did not finish")) << r.reason.toStdString();
}
