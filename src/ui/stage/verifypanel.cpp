#include "verifypanel.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "clock.h"
#include "dialogs.h"
#include "drawsession.h"
#include "functionunit.h"
#include "operationerror.h"
#include "operatorprompts.h"
#include "qrimage.h"
#include "stagescale.h"
#include "verifiabledraw.h"

#include <QAction>
#include <QEvent>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QVBoxLayout>

VerifyPanel::VerifyPanel(VerifiableDraw& verify, DrawSession& session, QWidget* stage)
    : QWidget(stage), m_verify(verify), m_session(session) {
    setObjectName(QStringLiteral("verifyPanel"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#verifyPanel { background: rgba(20, 0, 2, 170); border: 1px solid "
                                 "rgba(212, 160, 23, 200); border-radius: 6px; }"));
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("verifyText"));
    m_text->setTextFormat(Qt::RichText);
    m_text->setStyleSheet(QStringLiteral("color: white;"));
    m_qr = new QLabel(this);
    m_qr->setObjectName(QStringLiteral("verifyQr"));
    m_qr->setAlignment(Qt::AlignCenter);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_text);
    column->addWidget(m_qr);
    stage->installEventFilter(this);
    connect(&m_verify, &VerifiableDraw::changed, this, &VerifyPanel::refresh);
    connect(&m_session, &DrawSession::phaseChanged, this, &VerifyPanel::refresh);
    refresh();
}

QString VerifyPanel::spoken(const QString& hash) {
    QStringList groups;
    for (int i = 0; i < 16 && i < hash.size(); i += 4)
        groups << hash.mid(i, 4);
    return groups.join(QLatin1Char(' '));
}

void VerifyPanel::refresh() {
    const bool on = m_verify.on();
    for (QAction* item : {m_hallItem, m_revealItem, m_exportItem})
        if (item)
            item->setVisible(on);
    if (m_hallItem)
        m_hallItem->setEnabled(m_verify.hallNumber().isEmpty() && !m_verify.drawn());
    if (m_exportItem)
        m_exportItem->setEnabled(m_verify.revealed());
    setVisible(on);
    if (!on)
        return;
    const int scale = std::max(1, StageScale::forHeight(parentWidget()->height()).px(4));
    const auto row = [](const QString& what, const QString& value) {
        return QStringLiteral("<tr><td style='color:#FFE14D; padding-right:12px'>%1</td><td>%2</td></tr>")
            .arg(what, value.toHtmlEscaped());
    };
    QString html = QStringLiteral("<div style='font-size:%1px; font-weight:bold; color:#FFE14D'>%2</div>")
                       .arg(StageScale::forHeight(parentWidget()->height()).px(26))
                       .arg(VerifiableDraw::kStageNotice);
    QString table;
    QString qr;
    const QString hall =
        m_verify.hallNumber().isEmpty() ? QStringLiteral("（等待输入）") : m_verify.hallNumber();
    if (m_verify.revealed() && !m_session.rolling()) {
        table += row(QStringLiteral("种子"), m_verify.revealedSeed().left(32)) +
                 row(QString(), m_verify.revealedSeed().mid(32)) + row(QStringLiteral("现场数字"), hall);
        qr = QStringLiteral("seed:%1").arg(m_verify.revealedSeed());
    } else if (!m_verify.drawn()) {
        table += row(QStringLiteral("承诺值"), spoken(m_verify.commitment())) +
                 row(QStringLiteral("名单"), spoken(m_verify.listHash())) +
                 row(QStringLiteral("奖项"), spoken(m_verify.prizesHash())) +
                 row(QStringLiteral("现场数字"), hall);
        qr = QStringLiteral("commitment:%1;list:%2;prizes:%3")
                 .arg(m_verify.commitment(), m_verify.listHash(), m_verify.prizesHash());
    } else {
        table += row(QStringLiteral("现场数字"), hall);
    }
    html += QStringLiteral("<table style='font-size:%1px; font-family:monospace'>%2</table>")
                .arg(StageScale::forHeight(parentWidget()->height()).px(22))
                .arg(table);
    m_text->setText(html);
    const QImage image = qr.isEmpty() ? QImage() : qrImage(qr, scale);
    m_qr->setPixmap(image.isNull() ? QPixmap() : QPixmap::fromImage(image));
    m_qr->setVisible(!image.isNull());
    adjustSize();
    place();
    raise();
}

void VerifyPanel::place() {
    const QWidget* stage = parentWidget();
    const int margin = StageScale::forHeight(stage->height()).px(16);
    move(stage->width() - width() - margin, margin);
}

bool VerifyPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        refresh();
    return QWidget::eventFilter(watched, event);
}

void VerifyPanel::addMenuItems(QMenu* menu) {
    m_hallItem = menu->addAction(QStringLiteral("输入现场数字"));
    m_hallItem->setObjectName(QStringLiteral("verifyHall"));
    connect(m_hallItem, &QAction::triggered, this, &VerifyPanel::enterHallNumber);
    m_revealItem = menu->addAction(QStringLiteral("公开验证信息"));
    m_revealItem->setObjectName(QStringLiteral("verifyReveal"));
    connect(m_revealItem, &QAction::triggered, this, &VerifyPanel::revealClick);
    m_exportItem = menu->addAction(QStringLiteral("导出验证文件"));
    m_exportItem->setObjectName(QStringLiteral("verifyExport"));
    connect(m_exportItem, &QAction::triggered, this, &VerifyPanel::exportProof);
    refresh();
}

void VerifyPanel::enterHallNumber() {
    bool ok = false;
    const QString typed = QInputDialog::getText(
        Dialogs::boxOwner(), QStringLiteral("现场数字"),
        QStringLiteral("请输入现场产生的数字（嘉宾掷骰子的点数、钞票编号中的数字等），最多 64 位：\n"
                       "输入后显示在屏幕上，不能更改。"),
        QLineEdit::Normal, QString(), &ok);
    if (!ok || typed.trimmed().isEmpty())
        return;
    QString refusal;
    try {
        refusal = m_verify.setHallNumber(typed);
    } catch (const OperationError& error) {
        refusal = error.message();
    }
    if (!refusal.isEmpty())
        FunctionUnit::warning(refusal);
}

void VerifyPanel::revealClick() {
    if (!m_verify.revealed() &&
        !FunctionUnit::confirm(QStringLiteral("公开种子后，任何人都可以核对本场所有抽奖结果；此后再抽奖，"
                                              "结果也可以被事先算出。确定公开验证信息?")))
        return;
    QString refusal;
    try {
        refusal = m_verify.reveal();
    } catch (const OperationError& error) {
        refusal = error.message();
    }
    if (!refusal.isEmpty())
        return FunctionUnit::warning(refusal);
    exportProof();
}

void VerifyPanel::exportProof() {
    const QByteArray proof = m_verify.proof();
    if (proof.isEmpty())
        return FunctionUnit::warning(QStringLiteral("请先选择“公开验证信息”。"));
    const QString path = Dialogs::instance().saveFile(
        QStringLiteral("导出验证文件"), QStringLiteral("验证文件 (*.txt)"), nullptr,
        AppPaths::offeredFile(QStringLiteral("抽奖验证"),
                              Clock::instance().now().toString(QStringLiteral("yyyyMMdd")),
                              QStringLiteral(".txt")));
    if (path.isEmpty())
        return;
    try {
        AtomicFile::write(path, proof);
    } catch (const OperationError& error) {
        return OperatorPrompts::showError(error.message());
    }
    FunctionUnit::information(
        QStringLiteral("验证文件已导出：%1\n任何人都可以用它和公开的核验方法核对本场抽奖。").arg(path));
}
