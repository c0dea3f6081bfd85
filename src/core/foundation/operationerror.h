#pragma once

#include <QString>
#include <exception>

// The one exception type of the program: a failed file operation or an unconvertible value.
// It carries the message the operator sees; the event handler that started the operation catches
// it in one place, shows the error box and abandons the rest of that operation.
class OperationError : public std::exception {
public:
    explicit OperationError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

    // "Cannot open file "<path>". <reason>"
    static OperationError cannotOpen(const QString& path, const QString& reason);
    // "Cannot create file "<path>". <reason>"
    static OperationError cannotCreate(const QString& path, const QString& reason);
    // "Unable to write to <path>"
    static OperationError unableToWrite(const QString& path);
    // "'<text>' is not a valid integer value"
    static OperationError notAnInteger(const QString& text);

private:
    QString m_message;
    QByteArray m_utf8;
};
