#include "stagebox.h"

#include "headerstrip.h"
#include "stagescale.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Tells the repeats of a key held down from fresh presses. X repeats a held key as a release and a
// press at the very time of the release; Qt marks them as repeats only when it sees the next press in
// time, so a press at the time of the last release of the same key counts as a repeat too.
class RepeatWatch {
public:
    void released(const QKeyEvent* key) { m_last = {key->key(), key->timestamp()}; }
    bool repeats(const QKeyEvent* key) const {
        return key->isAutoRepeat() ||
               (key->timestamp() != 0 && key->key() == m_last.key && key->timestamp() == m_last.timestamp);
    }

private:
    struct {
        int key = 0;
        quint64 timestamp = 0;
    } m_last;
};

RepeatWatch& repeatWatch() {
    static RepeatWatch watch;
    return watch;
}

// Eats what is left of the key that closed a box: its release and the repeats of it held down, which
// would otherwise reach the window beneath once the box is gone. It goes with the next fresh press of
// any key, which it lets through.
class KeyRemainder : public QObject {
public:
    explicit KeyRemainder(int key) : QObject(qApp), m_key(key) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (type == QEvent::KeyRelease) {
            if (key->key() != m_key)
                return false;
            repeatWatch().released(key);
            return true;
        }
        if (key->key() == m_key && repeatWatch().repeats(key))
            return true;
        if (type == QEvent::KeyPress)
            finish();
        return false;
    }

private:
    void finish() {
        if (m_done)
            return;
        m_done = true;
        qApp->removeEventFilter(this);
        deleteLater();
    }

    int m_key;
    bool m_done = false;
};

QString css(const QColor& color) {
    return color.name(QColor::HexArgb);
}

QStyle::StandardPixmap pixmapOf(Dialogs::Icon icon) {
    switch (icon) {
    case Dialogs::Icon::Information:
        return QStyle::SP_MessageBoxInformation;
    case Dialogs::Icon::Warning:
        return QStyle::SP_MessageBoxWarning;
    case Dialogs::Icon::Question:
        return QStyle::SP_MessageBoxQuestion;
    case Dialogs::Icon::Critical:
        return QStyle::SP_MessageBoxCritical;
    }
    return QStyle::SP_MessageBoxInformation;
}

} // namespace

std::optional<StageBox::KeyAction> StageBox::actionOf(int key, Qt::KeyboardModifiers modifiers) const {
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return std::nullopt;
    const bool several = m_buttons.size() > 1;
    const auto answer = [](int index) { return KeyAction{0, false, index}; };
    switch (key) {
    case Qt::Key_Tab:
        return KeyAction{1, true, -1};
    case Qt::Key_Backtab:
        return KeyAction{-1, true, -1};
    case Qt::Key_Right:
    case Qt::Key_Left:
        if (several)
            return KeyAction{key == Qt::Key_Right ? 1 : -1, false, -1};
        return answer(m_content.presenterIndex);
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        return answer(m_current >= 0 ? m_current : m_content.presenterIndex);
    case Qt::Key_Y:
        return m_content.yesIndex >= 0 ? std::optional(answer(m_content.yesIndex)) : std::nullopt;
    case Qt::Key_N:
        return m_content.noIndex >= 0 ? std::optional(answer(m_content.noIndex)) : std::nullopt;
    case Qt::Key_Escape:
        return answer(m_content.escapeIndex);
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
    case Qt::Key_F5:
        return answer(m_content.presenterIndex);
    default:
        return std::nullopt;
    }
}

StageBox::StageBox(QWidget* owner, const Look& look, const Content& content)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), m_content(content) {
    setObjectName(QStringLiteral("stageBox"));
    setWindowTitle(content.caption);
    const auto px = [&look](int design) { return std::max(1, qRound(design * look.scale)); };
    const QColor deep = look.back.darker(170);
    setStyleSheet(QStringLiteral(
                      "#stageBox { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2);"
                      " border: %3px solid %4; }"
                      "QLabel { color: %5; background: transparent; }"
                      "QLabel#caption { color: %4; font-weight: bold; font-size: %6px; }"
                      "QLabel#text { font-size: %7px; font-weight: bold; }"
                      "QPushButton { color: %5; background: %8; border: %9px solid %4; border-radius: %10px;"
                      " font-size: %11px; font-weight: bold; min-width: %12px; min-height: %13px;"
                      " padding: 0 %14px; }"
                      "QPushButton:hover { border-color: %5; }"
                      "QPushButton[current=\"true\"] { color: %8; background: %4; border-color: %5; }")
                      .arg(css(look.back), css(deep))
                      .arg(px(3))
                      .arg(css(look.accent), css(look.text))
                      .arg(px(28))
                      .arg(px(36))
                      .arg(css(deep))
                      .arg(px(2))
                      .arg(px(8))
                      .arg(px(28))
                      .arg(px(170))
                      .arg(px(60))
                      .arg(px(24)));
    const QFont face = withCjkFallbacks(font(), font().family());
    setFont(face);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(px(36), px(22), px(36), px(30));
    layout->setSpacing(px(22));
    auto* caption = new QLabel(content.caption, this);
    caption->setObjectName(QStringLiteral("caption"));
    layout->addWidget(caption);
    auto* rule = new QWidget(this);
    rule->setFixedHeight(px(2));
    rule->setStyleSheet(QStringLiteral("background: %1;").arg(css(look.accent)));
    layout->addWidget(rule);

    auto* body = new QHBoxLayout;
    body->setSpacing(px(28));
    auto* icon = new QLabel(this);
    const int iconSize = px(72);
    // The style's icon at its largest, brought to the stage's size.
    icon->setPixmap(style()
                        ->standardIcon(pixmapOf(content.icon))
                        .pixmap(iconSize, iconSize)
                        .scaled(iconSize, iconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    icon->setAlignment(Qt::AlignTop);
    body->addWidget(icon, 0, Qt::AlignTop);
    auto* text = new QLabel(content.text, this);
    text->setObjectName(QStringLiteral("text"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A wrapped label asks for little width: give it room for a line of about 24 characters, and
    // never more than the owner's screen allows.
    const QRect screen =
        (owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen())->geometry();
    text->setMinimumWidth(std::min(px(640), screen.width() * 6 / 10));
    text->setMaximumWidth(screen.width() * 7 / 10);
    body->addWidget(text, 1);
    layout->addLayout(body);

    auto* row = new QHBoxLayout;
    row->setSpacing(px(24));
    row->addStretch(1);
    for (qsizetype i = 0; i < content.buttons.size(); ++i) {
        auto* button = new QPushButton(content.buttons[i], this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, i] { choose(static_cast<int>(i)); });
        m_buttons << button;
        row->addWidget(button);
    }
    layout->addLayout(row);
    setCurrent(content.defaultIndex);
}

void StageBox::setCurrent(int index) {
    if (index < 0 || index >= m_buttons.size())
        return;
    m_current = index;
    for (qsizetype i = 0; i < m_buttons.size(); ++i) {
        QAbstractButton* button = m_buttons[i];
        button->setProperty("current", i == index);
        button->style()->unpolish(button);
        button->style()->polish(button);
    }
    m_buttons[index]->setFocus(Qt::OtherFocusReason);
}

void StageBox::choose(int index) {
    m_chosen = index;
    accept();
}

int StageBox::run(QWidget* owner, const Look& look, const Content& content) {
    StageBox box(owner, look, content);
    box.setWindowModality(Qt::ApplicationModal);
    if (!owner || owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.adjustSize();
    // In the middle of the hall's screen, also while the stage is still being laid out at start.
    if (const QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen())
        box.move(screen->geometry().center() - box.rect().center());
    qApp->installEventFilter(&box);
    // The keyboard goes to the box, even over a full-screen stage the window manager keeps in front:
    // the presenter's keys are meant for it.
    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
    box.exec();
    qApp->removeEventFilter(&box);
    if (box.m_closingKey)
        new KeyRemainder(box.m_closingKey);
    if (box.m_chosen < 0)
        return content.escapeIndex;
    return box.m_chosen;
}

bool StageBox::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride && type != QEvent::KeyRelease)
        return false;
    // Keys bound for the box: those sent to it or its buttons, and those the window system still
    // gives the window beneath while the box is up.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !isVisible())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const std::optional<KeyAction> action = actionOf(key->key(), key->modifiers());
    if (!action)
        return false;
    if (type == QEvent::ShortcutOverride) {
        event->accept(); // a key press for the box, not a shortcut of another window
        return true;
    }
    // The release (and the repeats) of the key that raised the box belong to that key, not to the box.
    if (type == QEvent::KeyRelease) {
        repeatWatch().released(key);
        return true;
    }
    if (m_chosen >= 0 || m_closingKey)
        return true;
    if (action->step != 0) {
        const int count = static_cast<int>(m_buttons.size());
        if (count == 0)
            return true;
        const int next = m_current + action->step;
        setCurrent(action->wrap ? (next + count) % count : std::clamp(next, 0, count - 1));
        return true;
    }
    if (!repeatWatch().repeats(key)) {
        m_closingKey = key->key();
        choose(action->answer);
    }
    return true;
}

namespace {
int runRequest(const Dialogs::StageBoxRequest& request) {
    StageBox::Look look;
    look.back = request.back;
    look.text = request.textColor;
    const QScreen* screen = request.owner ? request.owner->screen() : nullptr;
    look.scale = StageScale::forHeight(screen ? screen->geometry().height() : 0).factor();
    StageBox::Content content;
    content.icon = request.icon;
    content.caption = request.caption;
    content.text = request.text;
    content.buttons = request.buttons;
    // The focus starts on the answer the presenter's keys choose: a stray Enter answers as they do.
    content.defaultIndex = request.presenterIndex;
    content.yesIndex = static_cast<int>(request.buttons.indexOf(QStringLiteral("是")));
    content.noIndex = static_cast<int>(request.buttons.indexOf(QStringLiteral("否")));
    content.escapeIndex = static_cast<int>(request.buttons.size()) - 1;
    content.presenterIndex = request.presenterIndex;
    return StageBox::run(request.owner, look, content);
}
} // namespace

void StageBox::setTheme(QWidget* stage, const QColor& back, const QColor& text) {
    Dialogs::setStageTheme(stage, back, text, &runRequest);
}
