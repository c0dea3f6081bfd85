#pragma once

#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

class CheckinService;

// The check-in screen on the projector: a large QR code of the page's address, the address as text
// under it, "已签到 N / 总人数 M" and the latest names as they check in. It lies over the whole draw
// screen; Esc, a click or the menu's "返回抽奖" leaves it, and the draw screen is as it was.
class CheckinScreen : public QWidget {
    Q_OBJECT
public:
    CheckinScreen(CheckinService& center, QWidget* drawScreen);

    void enter();
    void leave();

Q_SIGNALS:
    // Its menu's 签到管理.
    void panelRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();

    CheckinService& m_center;
    QPointer<QWidget> m_focusBefore;
    QString m_url;
    QImage m_qr;
};
