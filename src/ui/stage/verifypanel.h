#pragma once

#include <QWidget>

class DrawSession;
class QLabel;
class QMenu;
class QAction;
class VerifiableDraw;

// What the hall sees of the verifiable draw, in the stage's top right corner while the mode is on:
// "本场抽奖可验证 · 无预设中奖"; before the first draw the commitment, the hashes of the entrant list and
// of the prizes (short enough to read out, whole in a QR code) and the hall's number; after the reveal
// the seed with its QR code (hidden while names roll). It also brings the operator's menu items:
// "输入现场数字", "公开验证信息" and "导出验证文件".
class VerifyPanel : public QWidget {
    Q_OBJECT
public:
    VerifyPanel(VerifiableDraw& verify, DrawSession& session, QWidget* stage);

    // The items, added to the stage's menu (shown only while the mode is on).
    void addMenuItems(QMenu* menu);

    // The operator's commands (public for tests): the hall's number asked for in a box, the reveal
    // after its question (then the proof offered for export), the proof's export.
    void enterHallNumber();
    void revealClick();
    void exportProof();

    // A hash as it is read out: its first 16 hex digits in groups of four.
    static QString spoken(const QString& hash);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void place();

    VerifiableDraw& m_verify;
    DrawSession& m_session;
    QLabel* m_text = nullptr;
    QLabel* m_qr = nullptr;
    QAction* m_hallItem = nullptr;
    QAction* m_revealItem = nullptr;
    QAction* m_exportItem = nullptr;
};
