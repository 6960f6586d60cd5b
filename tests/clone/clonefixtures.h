#pragma once

// Trees of images, a private data folder with default settings, and a look into the
// clone job's files, shared by the clone tests.

#include "core/globals.h"
#include "core/settings.h"
#include "core/startuptables.h"
#include "jobs/clonejobfiles.h"
#include "jobs/clonelist.h"
#include "tests/support/fakeuiservices.h"
#include "tests/support/testdir.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '[' << l.join(", ").toStdString() << ']'; }

namespace clonetest {

// A real image by extension: colour JPEG, greyscale PNG, 1-bit TIFF.
inline QString makeImage(const QString& path) {
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    const QString ext = path.mid(path.lastIndexOf('.') + 1).toLower();
    QImage image(16, 12, ext == "tif" ? QImage::Format_Mono : ext == "png" ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    image.fill(Qt::white);
    EXPECT_TRUE(image.save(path, ext == "tif" ? "TIFF" : ext == "png" ? "PNG" : "JPG")) << path.toStdString();
    return path;
}

inline QString makeFile(const QString& path, const QByteArray& bytes = "not an image") {
    EXPECT_TRUE(writeFile(path, bytes));
    return path;
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A data folder with default settings and the filter table, the way start-up leaves them.
struct CloneEnvironment {
    ScopedStorage storage;
    ScopedFakeUi ui;
    Settings settings;
    QTemporaryDir work;
    QString root = QDir(work.path()).canonicalPath();

    CloneEnvironment() {
        settings.LoadDefaultSettings();
        AppSettings = &settings;
        modMasterLayout::FillFilterPatterns();
    }
    ~CloneEnvironment() { AppSettings = nullptr; }

    QString cloneFolder() const { return StoragePath + "/Clone"; }
    QString iniPath() const { return cloneFolder() + "/Clone.ini"; }
    QString xmlPath() const { return cloneFolder() + "/clone.xml"; }
    QStringList logLines() const { return storage.errorLog().split("\r\n", Qt::SkipEmptyParts); }
    // The statuses of the stored list as a resume would take them (its journal over it), in
    // order; empty when there is none.
    QStringList statuses() const {
        QStringList out;
        if (const auto list = clonejob::CloneJobFiles(cloneFolder()).loadList())
            for (const auto& e : list->files) out << e.status;
        return out;
    }
};

} // namespace clonetest
