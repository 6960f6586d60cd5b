#include "gui/ui/defaultapp.h"

#include "tests/support/testdir.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// The MIME database of a scratch desktop: one program registered for PNG files only.
// GIO reads its application lists once per process, so this program has this test alone.
TEST(DefaultApplication, AskedOfTheMimeDatabaseByContentType) {
    QTemporaryDir home;
    const QString data = home.path() + "/data", config = home.path() + "/config";
    ASSERT_TRUE(writeFile(data + "/applications/viewer.desktop",
                          "[Desktop Entry]\nType=Application\nName=Viewer\nExec=true %f\n"
                          "MimeType=image/png;x-scheme-handler/https;\n"));
    ASSERT_TRUE(writeFile(config + "/mimeapps.list", "[Default Applications]\nimage/png=viewer.desktop\n"));
    // The index the desktop's package tools keep: the viewer takes https links, no default named.
    ASSERT_TRUE(writeFile(data + "/applications/mimeinfo.cache",
                          "[MIME Cache]\nx-scheme-handler/https=viewer.desktop;\n"));
    qputenv("XDG_DATA_HOME", data.toUtf8());
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    // The system's content types, but none of the system's programs.
    ASSERT_TRUE(QDir().mkpath(home.path() + "/system"));
    ASSERT_TRUE(QFile::link("/usr/share/mime", home.path() + "/system/mime"));
    qputenv("XDG_DATA_DIRS", (home.path() + "/system").toUtf8());
    qputenv("XDG_CONFIG_DIRS", config.toUtf8());

    const QString png = home.path() + "/scan.png", odd = home.path() + "/notes.qmx-unknown";
    ASSERT_TRUE(writeFile(png, QByteArray::fromHex("89504e470d0a1a0a0000000d49484452")));
    ASSERT_TRUE(writeFile(odd, QByteArray("\x01\x02\x03\x04 binary", 11)));
    EXPECT_TRUE(platform::hasDefaultApplication(QFile::encodeName(png)));
    EXPECT_FALSE(platform::hasDefaultApplication(QFile::encodeName(odd)));
    EXPECT_FALSE(platform::hasDefaultApplication(QFile::encodeName(home.path() + "/missing.png")));
    EXPECT_FALSE(platform::hasDefaultApplication(QFile::encodeName(home.path()))); // no file manager
    // Links by their scheme: nothing takes mail.
    EXPECT_TRUE(platform::hasDefaultApplicationForScheme("https"));
    EXPECT_FALSE(platform::hasDefaultApplicationForScheme("mailto"));
}
