#pragma once

#include <QFileDevice>
#include <QString>

// The operating system's reason for a failed file operation, in the operator's language. The
// program's own messages ("Unable to write to <path>", "Cannot create file ...") stay as they are;
// only the reason the system gives is said in Chinese, chosen from the error code.
namespace SystemReason {

// The reason for an errno value ("No space left on device" is "磁盘空间不足").
QString ofErrno(int error);

// The reason a file device failed: errno as it stood right after the failing call when it is known
// (non-zero), otherwise the device's own error code.
QString ofFile(const QFileDevice& file, int error = 0);

// A reason already put into words by the system or by Qt (a QFile's errorString(), strerror's text):
// the Chinese for it when it is one the program knows, else the text as it stands. For callers that
// no longer hold the code.
QString localise(const QString& reason);

} // namespace SystemReason
