#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>

#include "winnerlists.h"

class DrawSession;
class EventResults;
class FindWindow;
class QAction;
class QLabel;
class QMenu;
class QScrollBar;
class QTableWidget;
class QTableWidgetItem;
class QTextEdit;
class QTimer;
class QTextBlock;
class QToolButton;
class WinnerLists;

// What the all-winners window decides without any widget.
namespace AllWinners {

// The window's width for the main window's width: 10 less, kept within sensible bounds.
int windowWidth(int mainWindowWidth);

} // namespace AllWinners

// The all-winners window: every line of the event in large coloured type for the projector, creeping
// upwards by itself. It shows the all-winners list of the winner lists live, so what it shows is
// always the list itself. From its menu the operator cancels or restores the win on the caret's line
// through the draw session (the winners panel's results of that line follow), searches the list, sets its
// colours and font and exports the list to 中奖名单.txt. It is created hidden, shown from the main menu and
// only ever hidden.
class Tfallprize : public QWidget {
    Q_OBJECT
public:
    explicit Tfallprize(DrawSession& session, QWidget* parent = nullptr);

    // Shows the window 10 pixels narrower than the main window, centred (the main menu's
    // "所有中奖名单").
    void showFor(int mainWindowWidth);

    bool autoScrolling() const;
    // Searches the list downwards from the end of its selection; selects the match, or shows
    // "找不到相关字串!" and leaves the selection as it was.
    bool findNext(const QString& text, bool matchCase, bool wholeWord);
    // The list line that holds the caret; -1 while the list is empty.
    int caretLine() const;
    QColor listFontColor() const { return m_fontColor; }
    QColor listBackground() const { return m_background; }

    inline static constexpr int kDesignWidth = 906;
    inline static constexpr int kDesignHeight = 660;
    inline static constexpr int kStripHeight = 30;

Q_SIGNALS:
    // "奖项结果屏": the operator asks for a prize's results screen on the stage.
    void prizeResultsRequested(const QString& prize);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void sb_playClick();
    void BitBtn1Click();
    void Timer1Timer();
    void N1Click();
    void N11Click();
    void N3Click();
    void FindDialog1Find(const QString& text, bool matchCase, bool wholeWord);
    void N2Click();
    void N7Click();
    void N8Click();

    void buildMenu();
    void layoutStrip();
    void applyColors();
    void storeFont();
    // The font the font dialog opens with: the list's face, size and style.
    QFont fontDialogPreset() const;
    // Keeping the view in step with the list.
    void rebuild();
    // Line i of the list as the window shows it.
    QString shownLine(int index) const;
    // The list drawn for the hall: a heading for every draw, the names large, cancelled lines struck
    // through, faded edges; all of it scaled to the window's screen. Only formats change: the text is
    // the list's.
    void styleBlock(const QTextBlock& block);
    void styleAll();
    void applyScale();
    int px(int design) const;
    void lineAppended(int index);
    void lineChanged(int index);

    DrawSession& m_session;
    EventResults& m_results;
    WinnerLists& m_lists;
    qsizetype m_shownLines = 0;
    bool m_autoScroll = false;
    QColor m_fontColor;
    QColor m_background;
    double m_scale = 1.0;
    // Auto-scroll moves by the time passed, so a late tick never slows it down nor makes it jump.
    double m_scrollPosition = 0;
    int m_scrolledTo = -1;
    QElapsedTimer m_clock;
    qint64 m_lastTick = 0;
    qint64 m_lastFrame = 0;
    static constexpr qint64 kFrameMs = 20;
    QWidget* m_fades = nullptr;
    QPixmap m_field;
    QColor m_fieldColor;
    // The fields of the winner lines (parted by tabs) stand in columns: the widest prize before the
    // name, and the widest field of each column, over the whole list.
    int m_prefixWidth = 0;
    QList<int> m_columns;
    // Widens the columns for the line; whether they grew.
    bool measure(const QString& line);
    QFont listFont(double factor) const;

    QWidget* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QToolButton* sb_stop = nullptr;
    QToolButton* sb_play = nullptr;
    QToolButton* sb_close = nullptr;
    QTextEdit* memo1 = nullptr;
    QScrollBar* ScrollBar1 = nullptr;
    QTimer* Timer1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    FindWindow* FindDialog1 = nullptr;
};
