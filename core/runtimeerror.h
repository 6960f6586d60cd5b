#pragma once

#include <QString>
#include <exception>
#include <source_location>
#include <string>

// A failure as a number and its description, in the classic runtime numbering.
// Numbers used: 5 invalid procedure call, 6 overflow, 9 subscript out of range,
// 13 type mismatch, 53 file not found, 61 disk full, 70 permission denied,
// 75 path/file access error, 76 path not found.
class RuntimeError : public std::exception {
public:
    RuntimeError(int number, QString description, int line = 0);
    explicit RuntimeError(int number, std::source_location where = std::source_location::current());

    int number;
    QString description;
    int line; // source line of the throw, 0 when unknown

    const char* what() const noexcept override { return m_what.c_str(); }

private:
    std::string m_what;
};

// The runtime's standard description for an error number ("Application-defined or
// object-defined error" for numbers it has no text for).
QString errorDescription(int number);

// Raises error `number` with its standard description, recording the caller's line.
[[noreturn]] void raiseError(int number, std::source_location where = std::source_location::current());
[[noreturn]] void raiseError(int number, const QString& description,
                             std::source_location where = std::source_location::current());
