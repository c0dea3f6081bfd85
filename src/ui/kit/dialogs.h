#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>

#include "operatorprompts.h"

class QWidget;

// Every message box and common dialog of the windows goes through this seam, and it is the prompts
// the plain classes ask through (OperatorPrompts). The real one shows QMessageBox / QFileDialog /
// QColorDialog / QFontDialog, over the stage the stage's own boxes; tests install a scripted double
// that records each box and answers from a queue, so no test ever waits on a real modal box.
class Dialogs : public OperatorPrompts {
public:
    // A colour dialog; nothing when cancelled.
    virtual std::optional<QColor> chooseColor(const QColor& initial) = 0;
    // A font dialog; nothing when cancelled.
    virtual std::optional<QFont> chooseFont(const QFont& initial) = 0;
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
    // Installs a double (tests), also as the plain classes' prompts; nullptr goes back to the real
    // boxes. The caller keeps ownership.
    static void install(Dialogs* dialogs);
};
