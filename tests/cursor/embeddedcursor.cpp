#include "tests/cursor/cursorfixtures.h"

#include <QFile>

// Outside any namespace, as the resource system requires.
static void initCursorResource() {
    Q_INIT_RESOURCE(cursor);
}

QByteArray fixtures::embeddedCursor() {
    initCursorResource();
    QFile f(QStringLiteral(":/CUSTOM/2001"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
