#pragma once

#include "dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <variant>

// A dialog double: records every box and answers from queues. A question with no queued answer is
// answered with defaultAnswer; a file, colour or font dialog with no queued answer is cancelled.
class ScriptedDialogs : public Dialogs {
public:
    struct Box {
        QString kind; // "message", "question", "choice", "openFile", "saveFile", "color", "font", "choose",
                      // "beep", "open"
        Icon icon = Icon::Information;
        QString caption;
        QString text;
        QWidget* owner = nullptr; // the window the box would belong to
        QString suggested{};      // the path a save-file dialog offered
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    void message(Icon icon, const QString& caption, const QString& text) override;
    bool question(const QString& caption, const QString& text) override;
    // Answers with the next of choices, or defaultChoice (-1: the last button; 1 by default, 不保存
    // of 保存 / 不保存 / 取消, so a window closes as it did before it asked).
    int choose(const QString& caption, const QString& text, const QStringList& buttons) override;
    QString openFile(const QString& caption, const QString& filter) override;
    // Answers with the next of saveFiles (cancelled when none) and, when one is queued, the next of
    // saveFilters as the chosen filter.
    // The path offered is kept in the box's suggested.
    QString saveFile(const QString& caption, const QString& filter, QString* selectedFilter,
                     const QString& suggested) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;
    std::optional<QFont> chooseFont(const QFont& initial) override;
    // Records the caption, the text and the items (one a line after the text); answers with the
    // next of choices, or defaultIndex when none is queued.
    int chooseItem(const QString& caption, const QString& text, const QStringList& items,
                   int defaultIndex) override;
    void beep() override;
    void openDocument(const QString& path) override;

    QList<Box> boxes;
    QQueue<bool> answers;
    bool defaultAnswer = true;
    QQueue<int> choices;
    int defaultChoice = 1;
    QQueue<QString> files;
    QQueue<QString> saveFiles;
    QQueue<QString> saveFilters;
    QQueue<std::optional<QColor>> colors;
    QQueue<std::optional<QFont>> fonts;
    QQueue<int> itemChoices;

    // The texts of the boxes shown so far (messages and questions), in order.
    QStringList texts() const;
    // The number of boxes whose text is exactly text.
    int count(const QString& text) const;
    void clear() { boxes.clear(); }
};
