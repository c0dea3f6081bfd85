#include "closerequests.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#endif

namespace {

QPointer<QWidget>& watchedWindow() {
    static QPointer<QWidget> window;
    return window;
}

bool blocked(const QWidget* window) {
    const QWidget* modal = QApplication::activeModalWidget();
    return modal && modal != window && modal->isVisible();
}

#ifndef Q_OS_WIN
// An atom of the X server the program is connected to (0 when there is none).
xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return found;
}

// Whether the X event is the window manager's WM_DELETE_WINDOW for window id.
bool isDeleteRequest(void* message, quintptr id) {
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    if (client->format != 32 || client->window != id)
        return false;
    static xcb_atom_t protocols = XCB_ATOM_NONE;
    static xcb_atom_t deleteWindow = XCB_ATOM_NONE;
    if (protocols == XCB_ATOM_NONE) {
        const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11 || !x11->connection())
            return false;
        protocols = atom(x11->connection(), "WM_PROTOCOLS");
        deleteWindow = atom(x11->connection(), "WM_DELETE_WINDOW");
    }
    return client->type == protocols && client->data.data32[0] == deleteWindow;
}
#endif

} // namespace

void CloseRequests::watch(QWidget* window) {
    static CloseRequests* filter = nullptr;
    if (!filter) {
        filter = new CloseRequests;
        qApp->installNativeEventFilter(filter);
    }
    watchedWindow() = window;
}

bool CloseRequests::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) {
    Q_UNUSED(result);
    QWidget* window = watchedWindow().data();
    if (!window || !window->isVisible() || !window->testAttribute(Qt::WA_WState_Created))
        return false;
    const quintptr id = window->winId();
    bool request = false;
#ifdef Q_OS_WIN
    if (eventType == "windows_generic_MSG" || eventType == "windows_dispatcher_MSG") {
        const MSG* msg = static_cast<const MSG*>(message);
        request = reinterpret_cast<quintptr>(msg->hwnd) == id &&
                  (msg->message == WM_CLOSE ||
                   (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == SC_CLOSE));
    }
#else
    request = eventType == "xcb_generic_event_t" && isDeleteRequest(message, id);
#endif
    if (!request || !blocked(window))
        return false;
    // Boxes run event loops of their own: the closing runs on the next turn of whichever loop runs,
    // never inside the window system's dispatch.
    QTimer::singleShot(0, window, [window = QPointer<QWidget>(window)] {
        if (window)
            closeThrough(window);
    });
    return false; // Qt drops it as before; the closing above does the work
}

bool CloseRequests::closeThrough(QWidget* window) {
    const QPointer<QWidget> guarded(window);
    // At most as many as there are modal windows open; each close either hides its window or refuses.
    while (guarded && blocked(guarded)) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal->close() || modal->isVisible())
            return false;
    }
    return guarded && guarded->close();
}
