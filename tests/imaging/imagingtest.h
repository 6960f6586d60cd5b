#pragma once

// Shared helpers of the imaging tests: a scratch folder and one call sequence the way
// the engine makes it (create, optional compression, add, close).

#include "platform/imaging/imagetopdf.h"
#include "tests/imaging/fixtures.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

struct Conversion {
    int added = 0;
    int closed = 0;
    QString error;
};

inline Conversion convertImage(const QString& input, const QString& output, int colourClass = 0,
                               const QString& name = QString()) {
    Conversion c;
    const int handle = imaging::ApCreate(output);
    if (handle <= 0) {
        c.added = c.closed = handle;
        c.error = imaging::ApLastError();
        return c;
    }
    if (colourClass) imaging::ApSetFunction(handle, 123, colourClass, 0, name, 0);
    c.added = imaging::ApAddImage(handle, input);
    if (c.added <= 0) c.error = imaging::ApLastError();
    c.closed = imaging::ApClose(handle);
    if (c.closed != 0 && c.error.isEmpty()) c.error = imaging::ApLastError();
    return c;
}

class ImagingTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    QString write(const QString& name, const QByteArray& bytes) const {
        EXPECT_TRUE(fx::writeBytes(path(name), bytes));
        return path(name);
    }
    // QM_KEEP_TEST_FILES=1 leaves the fixtures and PDFs behind for a look.
    ImagingTest() { m_dir.setAutoRemove(qEnvironmentVariableIsEmpty("QM_KEEP_TEST_FILES")); }
    QTemporaryDir m_dir;
};
