#pragma once

#include "sheetlimits.h"

#include <QObject>
#include <QString>

#include <exception>
#include <functional>

class QThread;

// Work of a spreadsheet import that may take long, on a thread of its own, so that the windows keep
// painting and their timers keep running: reading the file and guessing the preview's choices, making
// the entrant lines and writing the list. The work gets a ReadControl to report its progress and to
// learn of a cancel. Whatever it throws (an OperationError, std::bad_alloc, anything) is caught on its
// thread and turned into the operator's message, so that no file ends the program.
class SheetTask : public QObject {
    Q_OBJECT
public:
    using Work = std::function<void(ReadControl&)>;

    // path is the file named in the messages of unexpected failures.
    SheetTask(const QString& path, Work work, QObject* parent = nullptr);
    // Cancels the work and waits for its thread (a read stops within a slice).
    ~SheetTask() override;

    void start();
    void cancel() { m_control.cancel(); }
    int permille() const { return m_control.permille(); }

    // After finished(): whether a cancel was asked for (then the outcome does not count, even when the
    // work got to its end), and the operator's message when the work failed (empty when it succeeded).
    bool wasCancelled() const { return m_control.isCancelled(); }
    QString failure() const;

Q_SIGNALS:
    void finished();

private:
    QString m_path;
    Work m_work;
    ReadControl m_control;
    std::exception_ptr m_error;
    QThread* m_thread = nullptr;
};
