#include "dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QPointer<QWidget>& parentSlot() {
    static QPointer<QWidget> parent;
    return parent;
}

QPointer<QWidget>& scopedOwner() {
    static QPointer<QWidget> owner;
    return owner;
}

struct StageTheme {
    QPointer<QWidget> stage;
    QColor back;
    QColor text;
    Dialogs::StageBoxRunner runner = nullptr;
};

QList<StageTheme>& stageThemes() {
    static QList<StageTheme> themes;
    return themes;
}

const StageTheme* themeOf(const QWidget* window) {
    if (!window)
        return nullptr;
    for (const StageTheme& theme : stageThemes())
        if (theme.stage && theme.stage->window() == window->window())
            return &theme;
    return nullptr;
}

QMessageBox::Icon toBoxIcon(Dialogs::Icon icon) {
    switch (icon) {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// The window a box belongs to: the one the operator is working in when it is raised. A modal window
// first (the settings dialog, the change-password dialog), then the active window (the all-winners
// list, the tips), then the window holding the focus, and the main window when none of them exists.
QWidget* ownerWindow() {
    if (QWidget* scoped = scopedOwner().data(); scoped && scoped->isVisible())
        return scoped->window();
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    if (!owner)
        if (QWidget* focus = QApplication::focusWidget())
            owner = focus;
    if (!owner)
        owner = Dialogs::parentWindow();
    return owner ? owner->window() : nullptr;
}

// A box from its opening to its closing: a child of its owner window, so the window manager keeps it
// above that window (an always-on-top owner makes the box always on top too, or the owner would
// cover it), opened centred over the owner with the keyboard focus, and on closing the owner gets
// the focus back where it was.
class OwnedBox {
public:
    OwnedBox() : m_owner(ownerWindow()), m_focus(QApplication::focusWidget()) {}
    OwnedBox(const OwnedBox&) = delete;
    OwnedBox& operator=(const OwnedBox&) = delete;

    ~OwnedBox() {
        QWidget* owner = m_owner.data();
        if (!owner || !owner->isVisible())
            return;
        owner->raise();
        owner->activateWindow();
        if (m_focus && m_focus->window() == owner && m_focus->isEnabled() && m_focus->isVisible())
            m_focus->setFocus(Qt::OtherFocusReason);
    }

    QWidget* owner() const { return m_owner.data(); }

    // Runs the box modally; its result code. Qt opens a dialog with a parent centred over it, on
    // the parent's screen.
    int exec(QDialog& box) {
        // A box without a window of its own (a second start's notice) must not hide behind another
        // program's always-on-top stage either.
        if (QWidget* owner = m_owner.data();
            !owner || owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
            box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        box.setWindowModality(Qt::ApplicationModal);
        return box.exec();
    }

private:
    QPointer<QWidget> m_owner;
    QPointer<QWidget> m_focus;
};

// A box over a stage, shown by the stage's own box.
int stageBox(const OwnedBox& owned, Dialogs::Icon icon, const QString& caption, const QString& text,
             const QStringList& buttons, int presenterIndex) {
    const StageTheme* theme = themeOf(owned.owner());
    Dialogs::StageBoxRequest request;
    request.owner = owned.owner();
    request.icon = icon;
    request.caption = Dialogs::shownCaption(caption, icon);
    request.text = text;
    request.buttons = buttons;
    request.presenterIndex = presenterIndex;
    request.back = theme->back;
    request.textColor = theme->text;
    return theme->runner(request);
}

class RealDialogs : public Dialogs {
public:
    void message(Icon icon, const QString& caption, const QString& text) override {
        OwnedBox owned;
        if (themeOf(owned.owner())) {
            stageBox(owned, icon, caption, text, {QStringLiteral("确定")}, 0);
            return;
        }
        QMessageBox box(toBoxIcon(icon), shownCaption(caption, icon), text, QMessageBox::Ok, owned.owner());
        owned.exec(box);
    }
    bool question(const QString& caption, const QString& text) override {
        OwnedBox owned;
        if (themeOf(owned.owner()))
            return stageBox(owned, Icon::Question, caption, text,
                            {QStringLiteral("是"), QStringLiteral("否")}, presenterConfirms() ? 0 : 1) == 0;
        QMessageBox box(QMessageBox::Question, shownCaption(caption, Icon::Question), text,
                        QMessageBox::Yes | QMessageBox::No, owned.owner());
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return owned.exec(box) == QMessageBox::Yes;
    }
    int choose(const QString& caption, const QString& text, const QStringList& buttons) override {
        OwnedBox owned;
        if (themeOf(owned.owner()) && !buttons.isEmpty())
            return stageBox(owned, Icon::Question, caption, text, buttons,
                            presenterConfirms() ? 0 : static_cast<int>(buttons.size()) - 1);
        QMessageBox box(QMessageBox::Question, shownCaption(caption, Icon::Question), text,
                        QMessageBox::NoButton, owned.owner());
        QList<QAbstractButton*> added;
        for (qsizetype i = 0; i < buttons.size(); ++i) {
            const QMessageBox::ButtonRole role = i == 0                    ? QMessageBox::AcceptRole
                                                 : i == buttons.size() - 1 ? QMessageBox::RejectRole
                                                                           : QMessageBox::DestructiveRole;
            added << box.addButton(buttons[i], role);
        }
        if (!added.isEmpty()) {
            box.setDefaultButton(qobject_cast<QPushButton*>(added.first()));
            box.setEscapeButton(added.last());
        }
        owned.exec(box);
        const qsizetype chosen = added.indexOf(box.clickedButton());
        return static_cast<int>(chosen >= 0 ? chosen : buttons.size() - 1);
    }
    QString openFile(const QString& caption, const QString& filter) override {
        OwnedBox owned;
        // Qt's own dialog, not the desktop's: only it can be kept above an always-on-top window, and
        // it speaks the program's language.
        QFileDialog dialog(owned.owner(), caption, QString(), filter);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        if (owned.exec(dialog) != QDialog::Accepted)
            return QString();
        return dialog.selectedFiles().value(0);
    }
    QString saveFile(const QString& caption, const QString& filter, QString* selectedFilter,
                     const QString& suggested) override {
        OwnedBox owned;
        QFileDialog dialog(owned.owner(), caption, suggested, filter);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setAcceptMode(QFileDialog::AcceptSave); // asks before replacing a file
        if (selectedFilter && !selectedFilter->isEmpty())
            dialog.selectNameFilter(*selectedFilter);
        if (owned.exec(dialog) != QDialog::Accepted)
            return QString();
        if (selectedFilter)
            *selectedFilter = dialog.selectedNameFilter();
        return dialog.selectedFiles().value(0);
    }
    std::optional<QColor> chooseColor(const QColor& initial) override {
        OwnedBox owned;
        QColorDialog dialog(initial, owned.owner());
        dialog.setWindowTitle(QStringLiteral("选择颜色"));
        dialog.setOption(QColorDialog::DontUseNativeDialog);
        if (owned.exec(dialog) != QDialog::Accepted || !dialog.selectedColor().isValid())
            return std::nullopt;
        return dialog.selectedColor();
    }
    std::optional<QFont> chooseFont(const QFont& initial) override {
        OwnedBox owned;
        QFontDialog dialog(initial, owned.owner());
        dialog.setWindowTitle(QStringLiteral("选择字体"));
        dialog.setOption(QFontDialog::DontUseNativeDialog);
        if (owned.exec(dialog) != QDialog::Accepted)
            return std::nullopt;
        return dialog.selectedFont();
    }
    int chooseItem(const QString& caption, const QString& text, const QStringList& items,
                   int defaultIndex) override {
        OwnedBox owned;
        QDialog dialog(owned.owner());
        dialog.setWindowTitle(shownCaption(caption, Icon::Question));
        auto* layout = new QVBoxLayout(&dialog);
        auto* label = new QLabel(text, &dialog);
        label->setWordWrap(true);
        layout->addWidget(label);
        auto* list = new QListWidget(&dialog);
        list->addItems(items);
        list->setCurrentRow(std::clamp(defaultIndex, 0, static_cast<int>(items.size()) - 1));
        list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() + 24);
        layout->addWidget(list);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
        buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
        layout->addWidget(buttons);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
        list->setFocus();
        if (owned.exec(dialog) != QDialog::Accepted || items.isEmpty())
            return -1;
        return list->currentRow();
    }
    void beep() override { QApplication::beep(); }
    void openDocument(const QString& path) override { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }
};

Dialogs*& installed() {
    static Dialogs* dialogs = nullptr;
    return dialogs;
}
} // namespace

QString Dialogs::shownCaption(const QString& caption, Icon icon) {
    static const QList<std::pair<QString, QString>> kChinese = {
        {QStringLiteral("Information"), QStringLiteral("提示")},
        {QStringLiteral("Confirm"), QStringLiteral("确认")},
        {QStringLiteral("Warning"), QStringLiteral("警告")},
        {QStringLiteral("Error"), QStringLiteral("错误")},
    };
    for (const auto& [english, chinese] : kChinese)
        if (caption == english)
            return chinese;
    if (!caption.trimmed().isEmpty())
        return caption;
    switch (icon) {
    case Icon::Question:
        return QStringLiteral("确认");
    case Icon::Warning:
        return QStringLiteral("警告");
    case Icon::Critical:
        return QStringLiteral("错误");
    case Icon::Information:
        break;
    }
    return QStringLiteral("提示");
}

void Dialogs::setStageTheme(QWidget* stage, const QColor& back, const QColor& text, StageBoxRunner runner) {
    if (!stage || !runner)
        return;
    QList<StageTheme>& themes = stageThemes();
    themes.removeIf([stage](const StageTheme& theme) { return !theme.stage || theme.stage == stage; });
    themes.append(
        {stage, back.isValid() ? back : QColor(Qt::red), text.isValid() ? text : QColor(Qt::yellow), runner});
}

bool Dialogs::isStage(const QWidget* window) {
    return themeOf(window) != nullptr;
}

void Dialogs::setParentWindow(QWidget* parent) {
    parentSlot() = parent;
}

QWidget* Dialogs::parentWindow() {
    return parentSlot().data();
}

Dialogs::OwnerScope::OwnerScope(QWidget* owner) : m_previous(scopedOwner()) {
    scopedOwner() = owner;
}

Dialogs::OwnerScope::~OwnerScope() {
    scopedOwner() = m_previous;
}

QWidget* Dialogs::boxOwner() {
    // Without widgets (a program of plain classes) no window can own a box.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    return ownerWindow();
}

namespace {
// The plain classes ask through the program's boxes wherever the windows are linked in.
[[maybe_unused]] const bool kFrontEnd =
    (OperatorPrompts::setFrontEnd([]() -> OperatorPrompts& { return Dialogs::instance(); }), true);
} // namespace

Dialogs& Dialogs::instance() {
    static RealDialogs real;
    return installed() ? *installed() : real;
}

void Dialogs::install(Dialogs* dialogs) {
    installed() = dialogs;
    OperatorPrompts::install(dialogs);
}
