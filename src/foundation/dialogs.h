#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

// Every message box and common dialog of the program goes through this seam. The real one shows
// QMessageBox / QFileDialog / QColorDialog / QFontDialog; tests install a scripted double that
// records each box and answers from a queue, so no test ever waits on a real modal box.
class Dialogs {
public:
    enum class Icon { Information, Warning, Question, Critical };

    virtual ~Dialogs() = default;

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
    // An open-file dialog; the chosen full path, or an empty text when cancelled.
    virtual QString openFile(const QString& caption, const QString& filter) = 0;
    // A save-file dialog (it asks before replacing a file); the chosen full path, or an empty text
    // when cancelled. selectedFilter (may be null) presets the filter and receives the one chosen.
    virtual QString saveFile(const QString& caption, const QString& filter, QString* selectedFilter) = 0;
    // A colour dialog; nothing when cancelled.
    virtual std::optional<QColor> chooseColor(const QColor& initial) = 0;
    // A font dialog; nothing when cancelled.
    virtual std::optional<QFont> chooseFont(const QFont& initial) = 0;
    // A choice among items: a modal list with its text above it, defaultIndex selected; the index
    // of the item chosen, or -1 when cancelled. A double without its own answers with defaultIndex.
    virtual int chooseItem(const QString& caption, const QString& text, const QStringList& items,
                           int defaultIndex) {
        (void)caption, (void)text, (void)items;
        return defaultIndex;
    }
    // A short beep.
    virtual void beep() = 0;
    // Opens a document with the application the desktop associates with it.
    virtual void openDocument(const QString& path) = 0;

    // The error box of a failed operation, captioned with the program's name.
    static void showError(const QString& text);
    inline static const QString kProgramCaption = QStringLiteral("Orvanta抽奖软件");

    // The title a box shows for a caption: the helper boxes' "Information", "Confirm", "Warning" and
    // "Error" in Chinese, as a box of the toolkit in Chinese would say them; a box without a caption
    // is titled after its kind. Every other caption stands as given.
    static QString shownCaption(const QString& caption, Icon icon);

    // A box asked for over a stage, and how the stage draws it: the stage installs its own box
    // with its theme (this seam only knows which windows are stages).
    struct StageBoxRequest {
        QWidget* owner = nullptr;
        Icon icon = Icon::Information;
        QString caption; // as shown (see shownCaption)
        QString text;
        QStringList buttons;    // left to right; the last answers Esc and the close box
        int presenterIndex = 0; // the one the presenter's keys choose
        QColor back;
        QColor textColor;
    };
    using StageBoxRunner = int (*)(const StageBoxRequest& request);

    // Boxes owned by this window (a stage or another window the hall sees) are shown by runner, in
    // its panel colours. Again for a new look; the window's deletion ends it.
    static void setStageTheme(QWidget* stage, const QColor& back, const QColor& text, StageBoxRunner runner);
    static bool isStage(const QWidget* window);

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

    // The window boxes belong to (the main window once it exists).
    static void setParentWindow(QWidget* parent);
    static QWidget* parentWindow();

    // While one lives, boxes belong to the window given (when it is showing), whichever window the
    // window system has made active meanwhile: a box raised after another closed goes over the
    // window that asked, not under it.
    class OwnerScope {
    public:
        explicit OwnerScope(QWidget* owner);
        ~OwnerScope();
        OwnerScope(const OwnerScope&) = delete;
        OwnerScope& operator=(const OwnerScope&) = delete;

    private:
        QPointer<QWidget> m_previous;
    };
    // The window the next box belongs to.
    static QWidget* boxOwner();

    static Dialogs& instance();
    // Installs a double (tests); nullptr goes back to the real boxes. The caller keeps ownership.
    static void install(Dialogs* dialogs);
};
