#include "sheettask.h"

#include <QThread>

#include <new>

SheetTask::SheetTask(const QString& path, Work work, QObject* parent)
    : QObject(parent), m_path(path), m_work(std::move(work)) {}

SheetTask::~SheetTask() {
    if (m_thread) {
        m_control.cancel();
        m_thread->wait();
        delete m_thread;
    }
}

void SheetTask::start() {
    if (m_thread)
        return;
    m_thread = QThread::create([this] {
        try {
            m_work(m_control);
        } catch (...) {
            m_error = std::current_exception();
        }
    });
    // The thread's finished() comes from the thread; this object lives on the GUI thread, so it
    // arrives queued, after the work's results are complete.
    connect(m_thread, &QThread::finished, this, &SheetTask::finished);
    m_thread->start();
}

QString SheetTask::failure() const {
    if (!m_error)
        return {};
    try {
        std::rethrow_exception(m_error);
    } catch (const ReadCancelled&) {
        return {};
    } catch (const OperationError& error) {
        return error.message();
    } catch (const std::bad_alloc&) {
        return SheetErrors::outOfMemory(m_path).message();
    } catch (const std::exception& error) {
        return SheetErrors::unexpected(m_path, QString::fromLocal8Bit(error.what())).message();
    } catch (...) {
        return SheetErrors::unexpected(m_path, QStringLiteral("未知错误")).message();
    }
}
