#include "core/runtimeerror.h"

#include <QHash>

RuntimeError::RuntimeError(int n, QString d, int l) : number(n), description(std::move(d)), line(l) {
    m_what = QStringLiteral("Error %1 (%2)").arg(number).arg(description).toStdString();
}

RuntimeError::RuntimeError(int n, std::source_location where)
    : RuntimeError(n, errorDescription(n), static_cast<int>(where.line())) {}

QString errorDescription(int number) {
    static const QHash<int, QString> texts = {
        {3, QStringLiteral("Return without GoSub")},
        {5, QStringLiteral("Invalid procedure call or argument")},
        {6, QStringLiteral("Overflow")},
        {7, QStringLiteral("Out of memory")},
        {9, QStringLiteral("Subscript out of range")},
        {11, QStringLiteral("Division by zero")},
        {13, QStringLiteral("Type mismatch")},
        {35, QStringLiteral("Sub or Function not defined")},
        {48, QStringLiteral("Error in loading DLL")},
        {52, QStringLiteral("Bad file name or number")},
        {53, QStringLiteral("File not found")},
        {54, QStringLiteral("Bad file mode")},
        {55, QStringLiteral("File already open")},
        {57, QStringLiteral("Device I/O error")},
        {58, QStringLiteral("File already exists")},
        {61, QStringLiteral("Disk full")},
        {62, QStringLiteral("Input past end of file")},
        {67, QStringLiteral("Too many files")},
        {68, QStringLiteral("Device unavailable")},
        {70, QStringLiteral("Permission denied")},
        {71, QStringLiteral("Disk not ready")},
        {75, QStringLiteral("Path/File access error")},
        {76, QStringLiteral("Path not found")},
        {91, QStringLiteral("Object variable or With block variable not set")},
        {321, QStringLiteral("Invalid file format")},
        {380, QStringLiteral("Invalid property value")},
        {429, QStringLiteral("ActiveX component can't create object")},
        {438, QStringLiteral("Object doesn't support this property or method")},
        {457, QStringLiteral("This key is already associated with an element of this collection")},
    };
    return texts.value(number, QStringLiteral("Application-defined or object-defined error"));
}

void raiseError(int number, std::source_location where) { throw RuntimeError(number, where); }

void raiseError(int number, const QString& description, std::source_location where) {
    throw RuntimeError(number, description, static_cast<int>(where.line()));
}
