#pragma once

#include <QString>
#include <QStringList>

// What the program's plain classes tell the operator and ask them: a box with OK, a Yes/No question, a
// choice among buttons or among items, a file to open or to save. The event, the draw session and
// the files declare what they ask here and never show a window themselves: the front end implements
// it (the program's boxes, over the stage when the stage asks), tests install a scripted double. With
// neither (a program without windows), messages go to the log and every question gets its safe
// answer: No, the last button, no file.
class OperatorPrompts {
public:
    enum class Icon { Information, Warning, Question, Critical };

    virtual ~OperatorPrompts() = default;

    // A modal box with one OK button.
    virtual void message(Icon icon, const QString& caption, const QString& text) = 0;
    // A modal Yes/No question; true exactly when Yes is chosen.
    virtual bool question(const QString& caption, const QString& text) = 0;
    // A modal question answered by one of the buttons (the first is the default, the last answers
    // Esc and the close box); the index of the one chosen. Without a box of its own: Yes is the
    // first button, No the last.
    virtual int choose(const QString& caption, const QString& text, const QStringList& buttons) {
        return question(caption, text) ? 0 : static_cast<int>(buttons.size()) - 1;
    }
    // A choice among items: a modal list with its text above it, defaultIndex selected; the index
    // of the item chosen, or -1 when cancelled. A double without its own answers with defaultIndex.
    virtual int chooseItem(const QString& caption, const QString& text, const QStringList& items,
                           int defaultIndex) {
        (void)caption, (void)text, (void)items;
        return defaultIndex;
    }
    // An open-file dialog; the chosen full path, or an empty text when cancelled.
    virtual QString openFile(const QString& caption, const QString& filter) = 0;
    // A save-file dialog (it asks before replacing a file), opened on suggested (a full path, its
    // folder and name offered; may be empty); the chosen full path, or an empty text when cancelled.
    // selectedFilter (may be null) presets the filter and receives the one chosen.
    virtual QString saveFile(const QString& caption, const QString& filter, QString* selectedFilter,
                             const QString& suggested) = 0;
    // A short beep.
    virtual void beep() = 0;
    // Opens a document with the application the desktop associates with it.
    virtual void openDocument(const QString& path) = 0;

    // The error box of a failed operation, captioned with the program's name.
    static void showError(const QString& text);
    inline static const QString kProgramCaption = QStringLiteral("Orvanta抽奖软件");

    // While one lives, a question raised over the stage is confirmed by the presenter's keys (its
    // default); otherwise they give a question's safe answer (No, the last button), so a clicker never
    // confirms by accident what a host did not mean.
    class PresenterConfirms {
    public:
        PresenterConfirms();
        ~PresenterConfirms();
        PresenterConfirms(const PresenterConfirms&) = delete;
        PresenterConfirms& operator=(const PresenterConfirms&) = delete;

    private:
        bool m_previous;
    };
    static bool presenterConfirms();

    // The prompts in use: the one installed, else the front end's, else the log's safe answers.
    static OperatorPrompts& instance();
    // Installs a double (tests); nullptr goes back to the front end's. The caller keeps ownership.
    static void install(OperatorPrompts* prompts);
    // The front end's own prompts, made when first asked for.
    using Provider = OperatorPrompts& (*)();
    static void setFrontEnd(Provider provider);
};
