#pragma once
// Exceptions of the system: each carries the French (or engine) message shown to the user.

#include <QByteArray>
#include <QString>
#include <exception>

namespace ov {

class Error : public std::exception {
public:
    explicit Error(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Raised by the database layer with the engine's own message.
class DatabaseError : public Error {
public:
    using Error::Error;
};

// The alias file names a database whose folder does not exist (a removable disk not plugged in):
// nothing was created there.
class MissingFolderError : public DatabaseError {
public:
    MissingFolderError(QString message, QString path)
        : DatabaseError(std::move(message)), m_path(std::move(path)) {}
    const QString& path() const { return m_path; }

private:
    QString m_path;
};

// Raised by the integer conversion of text: "'%s' is not a valid integer value".
class ConversionError : public Error {
public:
    using Error::Error;
};

} // namespace ov
