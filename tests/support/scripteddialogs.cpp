#include "scripteddialogs.h"

ScriptedDialogs::ScriptedDialogs() {
    Dialogs::install(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    Dialogs::install(nullptr);
}

void ScriptedDialogs::message(Icon icon, const QString& caption, const QString& text) {
    boxes.append({QStringLiteral("message"), icon, caption, text, Dialogs::boxOwner()});
}

bool ScriptedDialogs::question(const QString& caption, const QString& text) {
    boxes.append({QStringLiteral("question"), Icon::Question, caption, text});
    return answers.isEmpty() ? defaultAnswer : answers.dequeue();
}

int ScriptedDialogs::choose(const QString& caption, const QString& text, const QStringList& buttons) {
    boxes.append({QStringLiteral("choice"), Icon::Question, caption, text});
    const int chosen = choices.isEmpty() ? defaultChoice : choices.dequeue();
    return chosen < 0 ? static_cast<int>(buttons.size()) - 1 : chosen;
}

QString ScriptedDialogs::openFile(const QString& caption, const QString& filter) {
    boxes.append({QStringLiteral("openFile"), Icon::Information, caption, filter});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString ScriptedDialogs::saveFile(const QString& caption, const QString& filter, QString* selectedFilter,
                                  const QString& suggested) {
    boxes.append({QStringLiteral("saveFile"), Icon::Information, caption, filter});
    boxes.last().suggested = suggested;
    if (selectedFilter && !saveFilters.isEmpty())
        *selectedFilter = saveFilters.dequeue();
    return saveFiles.isEmpty() ? QString() : saveFiles.dequeue();
}

std::optional<QColor> ScriptedDialogs::chooseColor(const QColor& initial) {
    boxes.append({QStringLiteral("color"), Icon::Information, QString(), initial.name()});
    return colors.isEmpty() ? std::nullopt : colors.dequeue();
}

std::optional<QFont> ScriptedDialogs::chooseFont(const QFont& initial) {
    boxes.append({QStringLiteral("font"), Icon::Information, QString(), initial.family()});
    return fonts.isEmpty() ? std::nullopt : fonts.dequeue();
}

int ScriptedDialogs::chooseItem(const QString& caption, const QString& text, const QStringList& items,
                                int defaultIndex) {
    boxes.append(
        {QStringLiteral("choose"), Icon::Question, caption, (QStringList{text} + items).join(u'\n')});
    return itemChoices.isEmpty() ? defaultIndex : itemChoices.dequeue();
}

void ScriptedDialogs::beep() {
    boxes.append({QStringLiteral("beep"), Icon::Information, QString(), QString()});
}

void ScriptedDialogs::openDocument(const QString& path) {
    boxes.append({QStringLiteral("open"), Icon::Information, QString(), path});
}

QStringList ScriptedDialogs::texts() const {
    QStringList out;
    for (const Box& box : boxes)
        if (box.kind == QLatin1String("message") || box.kind == QLatin1String("question") ||
            box.kind == QLatin1String("choice"))
            out << box.text;
    return out;
}

int ScriptedDialogs::count(const QString& text) const {
    return static_cast<int>(texts().count(text));
}
