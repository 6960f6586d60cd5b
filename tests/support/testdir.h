#pragma once

#include "core/globals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// A private data folder for one test: StoragePath points into a fresh temporary
// folder and is restored afterwards.
class ScopedStorage {
public:
    ScopedStorage() : m_oldPath(StoragePath), m_oldSlash(StoragePathSlash) {
        StoragePath = m_dir.path() + QStringLiteral("/Brevart Technologies/Quillmere 3.1");
        QDir().mkpath(StoragePath);
        StoragePathSlash = StoragePath + QLatin1Char('/');
    }
    ~ScopedStorage() {
        StoragePath = m_oldPath;
        StoragePathSlash = m_oldSlash;
    }
    QString root() const { return m_dir.path(); }
    QString errorLog() const {
        QFile f(StoragePath + QStringLiteral("/Errors.Log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private:
    QTemporaryDir m_dir;
    QString m_oldPath, m_oldSlash;
};

// The temporary folder redirected for one test.
class ScopedTmpDir {
public:
    explicit ScopedTmpDir(const QString& path) : m_old(qgetenv("TMPDIR")) {
        qputenv("TMPDIR", path.toLocal8Bit());
    }
    ~ScopedTmpDir() { m_old.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", m_old); }

private:
    QByteArray m_old;
};

inline bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(data) == data.size();
}

// The whole file; empty when it cannot be read.
inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
