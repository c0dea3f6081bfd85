#pragma once

#include "consolestate.h"

#include <QWidget>

class AllWinnersModel;
class CheckinService;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;
class QToolButton;
class ConsoleHost;
class DrawSession;
class StagePreview;

// The operator's console on the laptop while the stage is on the projector: the current prize and its
// progress, the prize selector, the draw toggle, the latest draw's winners with cancel and restore,
// the supplementary draw, the all-winners list, the settings, the export, the check-in count and a
// live picture of the projector. It decides nothing itself: every control sends its command to the
// draw session (or triggers one of the stage menu's commands), and it shows what the session's
// signals announce.
class ConsoleWindow : public QWidget {
    Q_OBJECT
public:
    // checkin may be null (no check-in in this program).
    ConsoleWindow(ConsoleHost& host, CheckinService* checkin, QWidget* parent = nullptr);
    ~ConsoleWindow() override;

    StagePreview& preview() { return *m_preview; }
    // Shows the session's state now (again is true: every control anew, also where nothing changed).
    void refresh(bool again = false);
    const ConsoleState& state() const { return m_state; }

Q_SIGNALS:
    // The operator closed the console's window.
    void closeRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildPrizeCard();
    QWidget* buildSupplementaryCard();
    QWidget* buildWinnersCard();
    QWidget* buildAllWinnersCard();
    QWidget* buildCheckinCard();
    QWidget* buildHeader();
    // A button that triggers one of the draw screen's menu commands.
    QPushButton* commandButton(const char* action, const QString& caption);
    void showWinners();
    void showCheckins();
    void showScreenName();
    void updatePreviewActive();

    ConsoleHost& m_host;
    DrawSession& m_session;
    CheckinService* m_checkin;
    ConsoleState m_state;
    bool m_shownOnce = false;
    StagePreview* m_preview = nullptr;
    AllWinnersModel* m_allModel = nullptr;

    QLabel* m_screenName = nullptr;
    QWidget* m_previewView = nullptr;
    QComboBox* m_prize = nullptr;
    QLabel* m_mode = nullptr;
    QLabel* m_progressText = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_draw = nullptr;
    QPushButton* m_openSupplementary = nullptr;
    QWidget* m_supplementaryRow = nullptr;
    QComboBox* m_supplementaryPrize = nullptr;
    QPushButton* m_supplementary = nullptr;
    QPushButton* m_closeSupplementary = nullptr;
    QLabel* m_winnersTitle = nullptr;
    QTableWidget* m_winners = nullptr;
    QLineEdit* m_filter = nullptr;
    QListView* m_all = nullptr;
    QLabel* m_checkins = nullptr;
};
