#pragma once

#include <QWidget>

class CheckinService;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QPushButton;
class QSpinBox;
class QStringListModel;

// The check-in desk on the laptop ("签到管理"): switch check-in on and off, choose the address and
// port, search the entrant list and check a guest in or out by hand, the count, who is in, and the
// draw's "只抽取已签到人员". Each check-in shows where it came from (a phone and its address, or the
// desk), and all check-ins of one address can be taken back at once. It says how many guests can
// prove themselves on a phone and how many only at the desk, lists the phones' check-ins waiting for
// the desk (confirmed or refused in one step) and the guests held after wrong proofs, with the
// addresses those came from (released in one step).
class CheckinPanel : public QWidget {
    Q_OBJECT
public:
    explicit CheckinPanel(CheckinService& center, QWidget* parent = nullptr);

    // Shows the entrants holding the text (at most kMaxResults).
    void search(const QString& text);
    static constexpr int kMaxResults = 200;

Q_SIGNALS:
    // Its button that shows the check-in screen on the projector.
    void screenRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    void fillAddresses();
    void applyAddress();
    void checkInSelected();
    void checkOutSelected();
    void checkOutPresent();
    void clearAll();
    void checkOutAddress();
    void renewKey();
    void refreshQueues();
    void answerWaiting(bool confirm);
    void releaseHeld();

    CheckinService& m_center;
    QCheckBox* m_enabled = nullptr;
    QComboBox* m_address = nullptr;
    QSpinBox* m_port = nullptr;
    QLabel* m_url = nullptr;
    QCheckBox* m_onlyCheckedIn = nullptr;
    QCheckBox* m_hideNames = nullptr;
    QLabel* m_count = nullptr;
    QLineEdit* m_search = nullptr;
    QListWidget* m_results = nullptr;
    QListView* m_present = nullptr;
    QStringListModel* m_presentModel = nullptr;
    QStringList m_presentEntrants; // the entrants of the present list, row by row
    QLabel* m_proofs = nullptr;
    QListWidget* m_waiting = nullptr;
    QListWidget* m_held = nullptr;
};
