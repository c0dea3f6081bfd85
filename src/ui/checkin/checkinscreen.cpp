#include "checkinscreen.h"

#include "checkindesk.h"
#include "checkinservice.h"
#include "guestcard.h"
#include "headerstrip.h"
#include "presenterkeyfilter.h"
#include "qrimage.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

namespace {
QFont face(double pixels, bool bold) {
    QFont font = withCjkFallbacks(QFont(), QStringLiteral("Microsoft YaHei"));
    font.setPixelSize(std::max(8, int(pixels)));
    font.setBold(bold);
    return font;
}
const QColor kGold(255, 221, 128);
constexpr int kLatest = 8;
} // namespace

CheckinScreen::CheckinScreen(CheckinService& center, QWidget* drawScreen)
    : QWidget(drawScreen), m_center(center) {
    setObjectName(QStringLiteral("checkinScreen"));
    setFocusPolicy(Qt::StrongFocus);
    // Its keys are its own, not the presenter's: only Esc leaves it.
    setProperty(PresenterKeyFilter::kOwnKeys, true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    hide();
    drawScreen->installEventFilter(this);
    connect(&center, &CheckinService::updated, this, &CheckinScreen::refresh);
}

void CheckinScreen::enter() {
    m_focusBefore = QApplication::focusWidget();
    setGeometry(parentWidget()->rect());
    refresh();
    show();
    raise();
    setFocus();
}

void CheckinScreen::leave() {
    hide();
    if (m_focusBefore)
        m_focusBefore->setFocus();
}

void CheckinScreen::refresh() {
    const QString url = m_center.url();
    if (url != m_url || m_qr.isNull() != url.isEmpty()) {
        m_url = url;
        m_qr = url.isEmpty() ? QImage() : qrImage(url, 1);
    }
    if (isVisible())
        update();
}

bool CheckinScreen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return false;
}

void CheckinScreen::keyPressEvent(QKeyEvent* event) {
    // Only Esc leaves: a Space meant for the draw must not start one behind the screen.
    if (event->key() == Qt::Key_Escape)
        leave();
    event->accept();
}

void CheckinScreen::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        leave();
}

void CheckinScreen::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("返回抽奖"), this, &CheckinScreen::leave);
    menu.addAction(QStringLiteral("签到管理"), this, &CheckinScreen::panelRequested);
    menu.exec(event->globalPos());
}

void CheckinScreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double s = height() / 1080.0; // sizes are meant for a 1080-line screen
    QLinearGradient background(0, 0, 0, height());
    background.setColorAt(0, QColor(150, 12, 20));
    background.setColorAt(1, QColor(70, 4, 10));
    painter.fillRect(rect(), background);

    // Left: the code on a white card, the address under it.
    const int card = int(std::min(height() * 0.66, width() * 0.42));
    const QRect cardRect(int(width() * 0.27) - card / 2, int(height() * 0.13), card, card);
    QPainterPath rounded;
    rounded.addRoundedRect(cardRect, 24 * s, 24 * s);
    painter.fillPath(rounded, Qt::white);
    if (!m_qr.isNull()) {
        // Whole pixels per module keep the code sharp for the phones' cameras.
        const int modules = m_qr.width();
        const int scale = std::max(1, (card - int(32 * s)) / modules);
        const int side = modules * scale;
        const QRect codeRect(cardRect.center().x() - side / 2, cardRect.center().y() - side / 2, side, side);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(codeRect, m_qr);
        painter.setPen(kGold);
        painter.setFont(face(38 * s, false));
        painter.drawText(QRect(0, cardRect.bottom() + int(20 * s), int(width() * 0.54), int(60 * s)),
                         Qt::AlignHCenter | Qt::AlignTop, m_url);
    } else {
        painter.setPen(QColor(120, 0, 0));
        painter.setFont(face(44 * s, true));
        painter.drawText(cardRect, Qt::AlignCenter, QStringLiteral("手机签到未开启"));
        painter.setPen(kGold);
        painter.setFont(face(28 * s, false));
        painter.drawText(QRect(0, cardRect.bottom() + int(20 * s), int(width() * 0.54), int(60 * s)),
                         Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("请在右键菜单“签到管理”中开启"));
    }

    // Right: what to do, the count, the latest names.
    const int left = int(width() * 0.56);
    const int right = width() - int(60 * s);
    painter.setPen(kGold);
    painter.setFont(face(76 * s, true));
    painter.drawText(QRect(left, int(110 * s), right - left, int(100 * s)), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("扫码签到"));
    painter.setPen(QColor(255, 235, 235));
    painter.setFont(face(30 * s, false));
    painter.drawText(QRect(left, int(212 * s), right - left, int(90 * s)), Qt::AlignLeft | Qt::TextWordWrap,
                     QStringLiteral("手机连接会场 Wi-Fi，扫描二维码，\n输入姓名或工号即可签到"));

    const CheckinDesk& desk = m_center.desk();
    painter.setPen(Qt::white);
    painter.setFont(face(60 * s, true));
    painter.drawText(QRect(left, int(310 * s), right - left, int(90 * s)), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("已签到 %1 / 总人数 %2").arg(desk.presentCount()).arg(desk.total()));

    painter.setPen(kGold);
    painter.setFont(face(30 * s, false));
    painter.drawText(QRect(left, int(420 * s), right - left, int(50 * s)), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("最新签到"));
    painter.setPen(QColor(255, 221, 128, 120));
    painter.drawLine(left, int(472 * s), right, int(472 * s));
    const QList<CheckinLog::Entry> latest = desk.latest(kLatest);
    const int rowHeight = int(62 * s);
    for (qsizetype i = 0; i < latest.size(); ++i) {
        const QRect row(left, int(486 * s) + int(i) * rowHeight, right - left, rowHeight);
        // Names are drawn as plain text: whatever the list holds is never read as markup.
        painter.setPen(i == 0 ? QColor(255, 255, 255) : QColor(255, 225, 225, 235 - int(i) * 18));
        painter.setFont(face((i == 0 ? 40 : 34) * s, i == 0));
        // The name only, of the line as the hall sees it: never a staff number, a phone number, a
        // department, or a field the organiser hid from the stage.
        const QFontMetrics metrics(painter.font());
        painter.drawText(
            row, Qt::AlignLeft | Qt::AlignVCenter,
            metrics.elidedText(
                GuestCard::of(m_center.hallText(latest.at(i).entrant)).shownName(m_center.hideNames()),
                Qt::ElideRight, row.width()));
    }
    painter.setPen(QColor(255, 255, 255, 90));
    painter.setFont(face(20 * s, false));
    painter.drawText(rect().adjusted(0, 0, int(-24 * s), int(-16 * s)), Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral("Esc 返回抽奖"));
}
