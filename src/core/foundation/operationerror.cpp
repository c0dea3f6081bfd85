#include "operationerror.h"

#include "systemreason.h"

OperationError OperationError::cannotOpen(const QString& path, const QString& reason) {
    return OperationError(
        QStringLiteral("Cannot open file \"%1\". %2").arg(path, SystemReason::localise(reason)));
}

OperationError OperationError::cannotCreate(const QString& path, const QString& reason) {
    return OperationError(
        QStringLiteral("Cannot create file \"%1\". %2").arg(path, SystemReason::localise(reason)));
}

OperationError OperationError::unableToWrite(const QString& path) {
    return OperationError(QStringLiteral("Unable to write to %1").arg(path));
}

OperationError OperationError::notAnInteger(const QString& text) {
    return OperationError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}
