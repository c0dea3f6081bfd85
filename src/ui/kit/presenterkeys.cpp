#include "presenterkeys.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {
enum class Key { Other, Next, Previous, Up, Down, Black, White, Start, Escape, Confirm };

Key keyOf(int key) {
    switch (key) {
    case Qt::Key_PageDown:
    case Qt::Key_Right:
        return Key::Next;
    case Qt::Key_PageUp:
    case Qt::Key_Left:
        return Key::Previous;
    case Qt::Key_Up:
        return Key::Up;
    case Qt::Key_Down:
        return Key::Down;
    case Qt::Key_B:
    case Qt::Key_Period:
        return Key::Black;
    case Qt::Key_W:
    case Qt::Key_Comma:
        return Key::White;
    case Qt::Key_F5:
        return Key::Start;
    case Qt::Key_Escape:
        return Key::Escape;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Key::Confirm;
    default:
        return Key::Other;
    }
}
} // namespace

PresenterKeys::Action PresenterKeys::press(const Press& p) {
    const Key key = keyOf(p.key);
    if (key == Key::Other || p.typing ||
        (p.modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return Action::Pass;
    const bool scroll = key == Key::Up || key == Key::Down;
    // A key held down is one press: its repeats reach neither the draw toggle nor a focused button
    // (an auto-default button clicks on every repeated Enter).
    if (p.autoRepeat && !scroll)
        return Action::Swallow;

    if (key == Key::Black || key == Key::White) {
        const Cover wanted = key == Key::Black ? Cover::Black : Cover::White;
        m_cover = m_cover == wanted ? Cover::None : wanted;
        return Action::CoverChanged;
    }
    if (m_cover != Cover::None) {
        if (p.autoRepeat)
            return Action::Swallow;
        m_cover = Cover::None;
        return Action::CoverChanged;
    }
    switch (key) {
    case Key::Next:
        return Action::Toggle;
    case Key::Previous:
        return p.rolling ? Action::Swallow : Action::PreviousPrize;
    case Key::Up:
        return Action::ScrollUp;
    case Key::Down:
        return Action::ScrollDown;
    case Key::Escape:
        return Action::Close;
    case Key::Start:
        return Action::Swallow;
    default:
        // Space and Enter work the focused button as they always did, or the draw toggle where the
        // window has no draw button of its own in sight.
        return p.confirmToggles ? Action::Toggle : Action::Pass;
    }
}

bool PresenterKeys::clickerDraws(int key) {
    return keyOf(key) == Key::Next;
}

bool PresenterKeys::takesTyping(const QWidget* widget) {
    if (!widget)
        return false;
    if (qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget))
        return true;
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->isEditable();
    if (const auto* text = qobject_cast<const QTextEdit*>(widget))
        return !text->isReadOnly();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget))
        return !plain->isReadOnly();
    return false;
}
