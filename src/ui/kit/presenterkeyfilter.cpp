#include "presenterkeyfilter.h"

#include <QApplication>
#include <QKeyEvent>

PresenterKeyFilter::PresenterKeyFilter(Stage stage, QObject* parent)
    : QObject(parent), m_stage(std::move(stage)) {
    qApp->installEventFilter(this);
}

void PresenterKeyFilter::serve(QWidget* window, std::function<bool()> confirmToggles) {
    m_windows.append({window, std::move(confirmToggles)});
}

void PresenterKeyFilter::uncover() {
    if (m_keys.cover() == PresenterKeys::Cover::None)
        return;
    m_keys.uncover();
    m_stage.cover(PresenterKeys::Cover::None);
}

const PresenterKeyFilter::Served* PresenterKeyFilter::served(const QObject* watched) const {
    if (!watched->isWidgetType())
        return nullptr;
    const QWidget* window = static_cast<const QWidget*>(watched)->window();
    for (const Served& each : m_windows)
        if (each.window == window)
            return &each;
    return nullptr;
}

bool PresenterKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    const Served* window = served(watched);
    if (!window)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // The window system repeats a key held down as releases and presses at the very time of the
    // release before (X's auto-repeat); Qt marks them so only when it sees the next press in time. A
    // press at the time of the last release of the same key is taken as a repeat whatever its mark,
    // and so is the release after it (a button clicks on Space's release).
    if (event->type() == QEvent::KeyRelease) {
        const bool repeated = m_repeating && key->key() == m_lastRelease.key;
        if (!key->isAutoRepeat())
            m_lastRelease = {key->key(), key->timestamp()};
        m_repeating = false;
        return repeated;
    }
    m_repeating = key->timestamp() != 0 && key->key() == m_lastRelease.key &&
                  key->timestamp() == m_lastRelease.timestamp;
    for (const QWidget* widget = static_cast<QWidget*>(watched); widget; widget = widget->parentWidget())
        if (widget->property(kOwnKeys).toBool())
            return false;
    PresenterKeys::Press press;
    press.key = key->key();
    press.modifiers = key->modifiers();
    press.autoRepeat = key->isAutoRepeat() || m_repeating;
    // The window's focus, not the receiver: a key a text field leaves alone goes on to its parents.
    press.typing = PresenterKeys::takesTyping(static_cast<QWidget*>(watched)->window()->focusWidget());
    press.rolling = m_stage.rolling();
    press.confirmToggles = window->confirmToggles && window->confirmToggles();
    switch (m_keys.press(press)) {
    case PresenterKeys::Action::Pass:
        return false;
    case PresenterKeys::Action::Toggle:
        m_stage.toggle(PresenterKeys::clickerDraws(key->key()));
        break;
    case PresenterKeys::Action::PreviousPrize:
        m_stage.previousPrize();
        break;
    case PresenterKeys::Action::ScrollUp:
        return m_stage.scroll(-1);
    case PresenterKeys::Action::ScrollDown:
        return m_stage.scroll(1);
    case PresenterKeys::Action::CoverChanged:
        m_stage.cover(m_keys.cover());
        break;
    case PresenterKeys::Action::Close:
        m_stage.close();
        break;
    case PresenterKeys::Action::Swallow:
        break;
    }
    return true;
}
