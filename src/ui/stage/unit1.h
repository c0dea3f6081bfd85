#pragma once

#include "consolehost.h"
#include "drawengine.h"
#include "drawmodel.h"
#include "drawsession.h"
#include "event.h"
#include "eventresults.h"
#include "mediaplayer.h"
#include "screengeometry.h"
#include "settingshost.h"

#include <QComboBox>
#include <QDateTime>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <memory>

class QAction;
class QIcon;
class QActionGroup;
class QLabel;
class QMenu;
class QSlider;
class QTextEdit;
class QTimer;
class QPushButton;
class QScreen;
class ConfigStore;
class QTableWidget;
class QToolButton;
class WinnerLists;
class PresenterKeyFilter;
class RollingDisplay;
class StageCover;
class PrizeBanner;
class Confetti;
class NameWall;
class PrizeResultsScreen;
class WinnerCellDelegate;

// The prize selector: a drop-down that also says when its list closes, so that the draw button can
// take the focus back and Space works the draw at once.
class PrizeComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void hidePopup() override;
    // A selector styled for the stage draws its own arrow in this colour (invalid: the style's).
    void setArrowColor(const QColor& color) {
        m_arrow = color;
        update();
    }
Q_SIGNALS:
    void closedUp();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_arrow;
};

// The draw screen: the main window shown on the projector.
class TForm1 : public QWidget, public ConsoleHost, public SettingsHost {
    Q_OBJECT
public:
    // The stage of the event and its draw (the program makes both before any window). Made without
    // them (window tests), the stage brings an event and a draw of its own.
    TForm1(Event& event, DrawSession& session, QWidget* parent = nullptr);
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    Event& event() override { return m_event; }
    DrawModel& model() override { return m_model; }
    const DrawModel& model() const { return m_model; }
    WinnerLists& winnerLists() override { return *m_lists; }
    // Every change of the event's results (draws, corrections, restore, initialise, exit record).
    EventResults& results() { return m_results; }
    // The live draw: its phase, prize, supplementary draw and latest results. The window shows it and
    // sends it its commands.
    DrawSession& session() override { return m_session; }
    const DrawSession& session() const { return m_session; }
    // Whether the operation tips are to be shown at start-up (Setting/showhelp).
    bool showHelpAtStart() const { return m_showHelp; }
    // The geometry last applied by the layout pass.
    const ScreenGeometry& geometryPass() const { return m_geometry; }
    // The current prize: the selector's position and the slot behind it (-1 for none).
    int currentPosition() const { return m_session.position(); }
    int currentSlot() const { return m_session.slot(); }
    bool automaticSelection() const { return m_session.automatic(); }

    // Reload the entrant pool from 抽奖名单.txt and resolve the pre-set entries in it again. Returns
    // false (after the error box) when it could not.
    bool getdata() override;
    // Reload the prize table and everything prize.db says about the screen.
    void readjp() override;
    // Refresh the progress text, columns, repeat flag and prize pictures for the current prize.
    void readstate() override;
    // Refresh the progress text alone ("进度 ..." and, while a rule or check-in only narrows the draw,
    // how many can be drawn).
    void showProgress() override;
    // Select the last listed prize that has places left.
    void autoselect();
    // Lay the screen out for the window's size.
    void getscreensize() override;
    // Give the winners grid equal column widths.
    void gridsize();
    // Select a prize position from code (raises no change event).
    void selectPosition(int position) override;

    // The draw toggle: the first press starts names rolling, the next stops them and picks winners.
    void btn_prizeClick();
    bool isRolling() const;
    // A prize's results for the photo over the whole stage, until any press (the all-winners
    // window's choice, and the clicker's first press after a draw that took a prize's last places).
    void showPrizeResults(const QString& prize);
    PrizeResultsScreen* prizeResultsScreen() const { return m_resultsScreen; }
    // Fill the winners panel from the session's latest results in the current columns.
    void fillGrid();
    // One empty row.
    void cleargrid();
    // Reload the winners fixed in advance (the last step of every prize table load).
    void readspecial();
    // The supplementary draw: open and close its panel, start and stop its roll.
    void N10Click();
    void SpeedButton1Click();
    void btn_buClick();
    // Start (true) or stop (false) the background music.
    void playmp3(bool play);
    // Writes the event's state again (the hidden "保存抽奖进度"). False after the error box.
    bool saveProgress();
    // Restore progress without its question (读出抽奖进度 after its Yes), success box included.
    bool restoreProgress();
    // Whether the saved files hold results this run has not loaded; start-up then offers to restore.
    bool hasUnrestoredResults() const;
    void offerRestore();
    DrawEngine& engine() override { return m_engine; }
    void whenPictureMarksChange(QObject* context, std::function<void()> callback) override {
        connect(this, &TForm1::pictureMarksChanged, context, std::move(callback));
    }
    void whenPoolLoaded(QObject* context, std::function<void()> callback) override {
        connect(this, &TForm1::poolLoaded, context, std::move(callback));
    }
    MediaPlayer* musicPlayer() const { return mp3player.get(); }

    // The operator's console on another screen drives the stage through these, the same code the
    // stage's own controls run.
    // While the console is open the audience sees only titles, pictures, names and winners: the
    // control bar, the supplementary panel, the panel's close button and every menu stay away from
    // the stage, and Space and Enter work the draw toggle wherever the focus is.
    void setConsoleMode(bool on) override;
    bool consoleMode() const override { return m_consoleMode; }
    QWidget* stageWindow() override { return this; }
    // The presenter's keys act in this window too, Space and Enter as the draw toggle.
    void serveKeys(QWidget* window) override;
    // Every command of the draw screen (its right-click menu).
    QMenu* stageMenu() const override { return PopupMenu1; }
    // What Space does: the draw toggle, or the start / stop of the open supplementary draw. The
    // clicker's draw key moves on from a finished prize (with a notice on the band) instead of a box.
    void presenterToggle(bool clicker = false);
    // The prize selector's choice, as the operator makes it there (not in automatic selection).
    void choosePrize(int position);
    // The supplementary panel: whether it is open, and its prize selector.
    bool supplementaryOpen() const { return m_session.supplementaryOpen(); }
    int supplementaryPosition() const { return m_session.supplementaryPosition(); }
    void chooseSupplementaryPrize(int position);

Q_SIGNALS:
    // The window has closed for good (the exit record is written).
    void closed();
    // The operator asked for the settings (behind the password) / the all-winners window.
    void settingsRequested();
    void allWinnersRequested();
    // A layout pass has set the picture marks anew.
    void pictureMarksChanged();
    // The entrant pool was loaded again (start-up, an import, initialise progress).
    void poolLoaded();
    // The operator asked for the check-in screen on the projector / the check-in panel.
    void checkinScreenRequested();
    void checkinPanelRequested();
    // The operator asked for the console to open (true) or close.
    void consoleRequested(bool open);
    // The operator asked for the operator's help (帮助).
    void helpRequested();

public:
    // "有" or "无" for each of the eight prize pictures, as the last layout pass found them.
    const QStringList& pictureMarks() const override { return m_pictureMarks; }
    // The winners panel's current font and background colours.
    QColor gridFontColor() const override { return m_gridFontColor; }
    QColor gridColor() const override { return m_gridColor; }
    // The winners panel grid (a view of the session's latest results).
    QTableWidget* winnersGrid() const { return Grid1; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TForm1(Event* event, DrawSession* session, QWidget* parent);
    void FormCreate();
    // The event was read again as a whole (a restore from a backup): everything shown is its.
    void eventReloaded();
    bool loadPool();
    void FormShow();
    void buildControls();
    void buildMenus();
    // The close glyph of the panels, sharp at the stage's scale.
    static QIcon closeIcon();
    // The presenter's keys and the black or white screen they put over the stage.
    void buildPresenter();
    void presenterPreviousPrize();
    bool presenterScroll(int rows);
    void presenterClose();
    QAction* addMenuItem(QMenu* menu, const char* name, const QString& caption, void (TForm1::*handler)());
    void switchMode(bool fullScreen);
    void N6Click();
    void N7Click();
    void N8Click();
    void N11Click();
    void applyFullScreenMode(bool fullScreen);
    // The projector's screen: the choice under "窗口模式", where the window opens, and moving it.
    void rebuildScreenMenu();
    void chooseScreen(const QString& name);
    QScreen* startScreen(const ConfigStore& store) const;
    void placeOnScreen(QScreen* target);
    void rememberScreen();
    void settleLayout();
    void ComboBox1Change();
    void ComboBox1Click();
    void manualClick();
    void automaticClick();
    void applyGridColors();
    void buildDrawControls();
    // The session's signals, shown.
    void showPhase();
    void showPrize();
    void showSupplementary();
    // The show: the prize on stage, the reveal after a stop, the grand prize's confetti.
    void buildShow();
    void showBanner();
    void placeBanner(bool idle);
    // The name wall for a main roll of the prize, when the prize rolls on it.
    bool rollsOnWall() const;
    void startWall();
    void onRevealStarted();
    void revealFrame();
    void endRevealView();
    // How far winner card i has come in during a reveal card by card (1 when shown whole).
    double cardAppearance(int index) const;
    // The winners grid inside the panel: below the header strip and the prize's band, within the safe
    // margins of the screen's sides; of the given height centred in the room (0: all of it).
    void placeGrid(int height);
    // The band's height and the safe margin on each side of the screen.
    int bannerHeight() const;
    int safeMargin() const;
    // The current prize's picture framed among the eight, idle.
    void markCurrentPicture();
    // The draw button takes the focus back (the supplementary panel's while it is open).
    void focusDrawButton();
    void time1Timer();
    void Timer5Timer();
    void Cycle_timerTimer();
    void showAnnouncement(const QString& text);
    // A notice on the prize's band in place of its "即将抽取", until the prize or the phase changes.
    void showStageNotice(const QString& text);
    void showDrawTakenBack(const QString& notice);
    // 退出: asks first once the event has winners, then closes the window.
    void N2Click();
    void N13Click();
    void N21Click();
    void N14Click();
    void N4Click();
    void N19Click();
    void N20Click();
    void N18Click();
    void buildSupplementaryPanel();
    // The supplementary panel's colours and the lengths of its style, at the stage's scale.
    void styleSupplementaryPanel();
    void ComboBox2Change();
    // The exit record: the history (reported once if it cannot be written; the results are in their
    // files already) and the two settings. The window closes in any case.
    void writeExitRecord();
    // The result of the session the grid's current cell shows (-1: none).
    int currentResult() const;

    // The event and the draw of a stage made without them (the draw is the window's child, its
    // timers found as the window's).
    std::unique_ptr<Event> m_ownEvent;
    Event& m_event;
    DrawModel& m_model;
    WinnerLists* m_lists = nullptr;
    EventResults& m_results;
    DrawEngine& m_engine;
    DrawSession& m_session;
    ScreenGeometry m_geometry;
    QStringList m_pictureMarks = QStringList(8, QStringLiteral("无"));
    // What each prize picture box holds, so an unchanged file is not decoded again.
    struct LoadedPicture {
        QString path;
        QDateTime stamp;
        bool valid = false;
    };
    std::array<LoadedPicture, 8> m_pictures;
    // The results the winners grid shows, as the session last gave them.
    QList<DrawSession::Result> m_shownResults;
    bool m_showHelp = true;
    bool m_consoleMode = false;
    bool m_shownOnce = false;
    bool m_layoutSettled = false;
    // The screen the window was last placed on; the layout settles once the window fills it.
    QScreen* m_placedScreen = nullptr;
    PrizeBanner* m_banner = nullptr;
    Confetti* m_confetti = nullptr;
    NameWall* m_wall = nullptr;
    PrizeResultsScreen* m_resultsScreen = nullptr;
    // The prize a draw has just finished: the next press shows its results screen.
    QString m_finishedPrize;
    // Shows the finished prize's results screen instead of what the press would do; false when none
    // is waiting.
    bool showFinishedPrize();
    WinnerCellDelegate* m_cards = nullptr;
    // Frames of a reveal: the slowing names, or the cards coming in.
    QTimer* m_revealFrames = nullptr;
    qint64 m_lastRevealFrameMs = -1;
    bool m_confettiStarted = false;
    // The prize the shown results were drawn for (-1: none), and whether they are a supplementary
    // draw's; the phase last shown.
    int m_resultsSlot = -1;
    bool m_resultsSupplementary = false;
    int m_lastPhase = 0;
    int m_framedPicture = -1;
    QString m_stageNotice;
    int m_stageNoticeSlot = -1;
    QPixmap m_background;
    // The background as large as the window, made once per size and picture: a repaint only copies.
    QPixmap m_scaledBackground;
    StageCover* m_cover = nullptr;
    PresenterKeyFilter* m_presenter = nullptr;
    QColor m_gridFontColor = QColor(255, 255, 0);
    QColor m_gridColor = QColor(255, 0, 0);

    // Controls, named as the operator's manual and the tests know them.
    QLabel* title1 = nullptr;
    QLabel* title2 = nullptr;
    QLabel* Label1 = nullptr;
    std::array<QLabel*, 8> pict{};
    QWidget* RzPanel1 = nullptr;
    QLabel* Label2 = nullptr;
    PrizeComboBox* ComboBox1 = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* btn_prize = nullptr;
    RollingDisplay* Memo3 = nullptr;
    QWidget* Panel2 = nullptr;
    QLabel* Image3 = nullptr;
    QLabel* Label3 = nullptr;
    QToolButton* sb_close = nullptr;
    QTableWidget* Grid1 = nullptr;
    QWidget* Panel1 = nullptr;
    QLabel* Image2 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QLabel* StaticText1 = nullptr;
    PrizeComboBox* ComboBox2 = nullptr;
    QPushButton* btn_bu = nullptr;

    QMenu* PopupMenu1 = nullptr;
    QAction* N1 = nullptr;
    QAction* N9 = nullptr;
    QMenu* N5 = nullptr;
    QAction* N6 = nullptr;
    QAction* N7 = nullptr;
    QMenu* screenMenu = nullptr;
    QActionGroup* screenGroup = nullptr;
    QAction* N8 = nullptr;
    QAction* N11 = nullptr;
    QMenu* N3 = nullptr;
    QActionGroup* selectionGroup = nullptr;
    QAction* manual = nullptr;
    QAction* automatic = nullptr;
    QAction* N2 = nullptr;
    QAction* N4 = nullptr;
    QAction* N19 = nullptr;
    QAction* N20 = nullptr;
    QAction* N18 = nullptr;
    QAction* N10 = nullptr;
    QAction* consoleItem = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* N13 = nullptr;
    QAction* N21 = nullptr;
    QAction* N14 = nullptr;

    QTimer* time1 = nullptr;
    QTimer* Timer5 = nullptr;
    QTimer* Cycle_timer = nullptr;
    QSlider* TrackBar3 = nullptr;
    std::unique_ptr<MediaPlayer> mp3player;
};
