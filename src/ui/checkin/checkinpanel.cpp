#include "checkinpanel.h"

#include "checkindesk.h"
#include "checkinservice.h"
#include "dialogs.h"
#include "entrantpool.h"
#include "networkaddresses.h"
#include "operationerror.h"
#include "presencequestion.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStringListModel>
#include <QVBoxLayout>

namespace {
// The columns of a line with a blank between them, as the draw screen shows names.
QString shown(QString entrant) {
    return entrant.replace(u'\t', u' ');
}

QPushButton* button(const QString& text, const char* name) {
    auto* b = new QPushButton(text);
    b->setObjectName(QLatin1String(name));
    return b;
}
} // namespace

CheckinPanel::CheckinPanel(CheckinService& center, QWidget* parent)
    : QWidget(parent, Qt::Window), m_center(center) {
    setObjectName(QStringLiteral("checkinPanel"));
    setWindowTitle(QStringLiteral("签到管理"));
    resize(960, 800);

    auto* server = new QGroupBox(QStringLiteral("手机签到"));
    m_enabled = new QCheckBox(QStringLiteral("开启手机签到"));
    m_enabled->setObjectName(QStringLiteral("checkinEnabled"));
    m_address = new QComboBox;
    m_address->setObjectName(QStringLiteral("checkinAddress"));
    m_address->setMinimumContentsLength(28);
    m_port = new QSpinBox;
    m_port->setObjectName(QStringLiteral("checkinPort"));
    m_port->setRange(CheckinSettings::kMinPort, CheckinSettings::kMaxPort);
    m_url = new QLabel;
    m_url->setObjectName(QStringLiteral("checkinUrl"));
    m_url->setTextFormat(Qt::PlainText);
    m_url->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* refreshAddresses = button(QStringLiteral("刷新地址"), "checkinRefreshAddresses");
    auto* showScreen = button(QStringLiteral("在投影上显示签到屏幕"), "checkinShowScreen");
    auto* renew = button(QStringLiteral("换新二维码"), "checkinRenewKey");
    m_hideNames = new QCheckBox(QStringLiteral("隐藏部分姓名"));
    m_hideNames->setObjectName(QStringLiteral("checkinHideNames"));
    auto* screenRow = new QHBoxLayout;
    screenRow->addWidget(showScreen);
    screenRow->addWidget(m_hideNames);
    screenRow->addStretch();
    screenRow->addWidget(renew);
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(m_address, 1);
    addressRow->addWidget(new QLabel(QStringLiteral("端口")));
    addressRow->addWidget(m_port);
    addressRow->addWidget(refreshAddresses);
    auto* serverLayout = new QFormLayout(server);
    serverLayout->addRow(m_enabled);
    serverLayout->addRow(QStringLiteral("本机地址"), addressRow);
    serverLayout->addRow(QStringLiteral("签到网址"), m_url);
    m_proofs = new QLabel;
    m_proofs->setObjectName(QStringLiteral("checkinProofs"));
    m_proofs->setTextFormat(Qt::PlainText);
    m_proofs->setWordWrap(true);
    serverLayout->addRow(QStringLiteral("核对身份"), m_proofs);
    serverLayout->addRow(screenRow);

    m_onlyCheckedIn = new QCheckBox(QStringLiteral("只抽取已签到人员"));
    m_onlyCheckedIn->setObjectName(QStringLiteral("onlyCheckedIn"));
    m_count = new QLabel;
    m_count->setObjectName(QStringLiteral("checkinCount"));
    QFont big = m_count->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    m_count->setFont(big);

    auto* desk = new QGroupBox(QStringLiteral("现场签到（没有手机的来宾）"));
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("checkinSearch"));
    m_search->setPlaceholderText(QStringLiteral("输入姓名、工号或手机号的一部分"));
    m_search->setClearButtonEnabled(true);
    m_results = new QListWidget;
    m_results->setObjectName(QStringLiteral("checkinResults"));
    m_results->setUniformItemSizes(true);
    auto* checkIn = button(QStringLiteral("签到"), "checkinIn");
    auto* checkOut = button(QStringLiteral("签退"), "checkinOut");
    auto* deskButtons = new QHBoxLayout;
    deskButtons->addStretch();
    deskButtons->addWidget(checkIn);
    deskButtons->addWidget(checkOut);
    auto* deskLayout = new QVBoxLayout(desk);
    deskLayout->addWidget(m_search);
    deskLayout->addWidget(m_results, 1);
    deskLayout->addLayout(deskButtons);

    auto* present = new QGroupBox(QStringLiteral("已签到（最新在前）"));
    m_presentModel = new QStringListModel(this);
    m_present = new QListView;
    m_present->setObjectName(QStringLiteral("checkinPresent"));
    m_present->setModel(m_presentModel);
    m_present->setUniformItemSizes(true);
    m_present->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* presentOut = button(QStringLiteral("签退"), "checkinPresentOut");
    auto* clear = button(QStringLiteral("清空签到"), "checkinClear");
    auto* undoAddress = button(QStringLiteral("撤销该地址的全部签到"), "checkinUndoAddress");
    auto* presentButtons = new QHBoxLayout;
    presentButtons->addWidget(clear);
    presentButtons->addStretch();
    presentButtons->addWidget(undoAddress);
    presentButtons->addWidget(presentOut);
    auto* presentLayout = new QVBoxLayout(present);
    presentLayout->addWidget(m_present, 1);
    presentLayout->addLayout(presentButtons);

    auto* waiting = new QGroupBox(QStringLiteral("等待签到台确认（手机）"));
    m_waiting = new QListWidget;
    m_waiting->setObjectName(QStringLiteral("checkinWaiting"));
    auto* confirmWaiting = button(QStringLiteral("确认签到"), "checkinConfirmWaiting");
    auto* refuseWaiting = button(QStringLiteral("拒绝"), "checkinRefuseWaiting");
    auto* waitingButtons = new QHBoxLayout;
    waitingButtons->addStretch();
    waitingButtons->addWidget(refuseWaiting);
    waitingButtons->addWidget(confirmWaiting);
    auto* waitingLayout = new QVBoxLayout(waiting);
    waitingLayout->addWidget(m_waiting, 1);
    waitingLayout->addLayout(waitingButtons);

    auto* held = new QGroupBox(QStringLiteral("输错过多（该来宾在这些地址暂停手机签到）"));
    m_held = new QListWidget;
    m_held->setObjectName(QStringLiteral("checkinHeld"));
    auto* release = button(QStringLiteral("解除限制"), "checkinRelease");
    auto* heldButtons = new QHBoxLayout;
    heldButtons->addStretch();
    heldButtons->addWidget(release);
    auto* heldLayout = new QVBoxLayout(held);
    heldLayout->addWidget(m_held, 1);
    heldLayout->addLayout(heldButtons);

    auto* lists = new QGridLayout;
    lists->addWidget(desk, 0, 0);
    lists->addWidget(present, 0, 1);
    lists->addWidget(waiting, 1, 0);
    lists->addWidget(held, 1, 1);
    lists->setRowStretch(0, 3);
    lists->setRowStretch(1, 2);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(m_count);
    countRow->addStretch();
    countRow->addWidget(m_onlyCheckedIn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(server);
    layout->addLayout(countRow);
    layout->addLayout(lists, 1);

    fillAddresses();
    connect(m_enabled, &QCheckBox::toggled, this, [this](bool on) {
        m_center.setEnabled(on);
        refresh();
    });
    connect(m_address, &QComboBox::activated, this, &CheckinPanel::applyAddress);
    connect(m_port, &QSpinBox::editingFinished, this, &CheckinPanel::applyAddress);
    connect(refreshAddresses, &QPushButton::clicked, this, &CheckinPanel::fillAddresses);
    connect(showScreen, &QPushButton::clicked, this, &CheckinPanel::screenRequested);
    // Ticked while few have checked in, it asks first: how many can be drawn then.
    connect(m_onlyCheckedIn, &QCheckBox::toggled, this, [this](bool on) {
        if (on && !PresenceQuestion::confirm(m_center.presentMask())) {
            const QSignalBlocker blocker(m_onlyCheckedIn);
            m_onlyCheckedIn->setChecked(false);
            return;
        }
        m_center.setOnlyCheckedIn(on);
    });
    connect(m_search, &QLineEdit::textChanged, this, &CheckinPanel::search);
    connect(m_results, &QListWidget::itemDoubleClicked, this, &CheckinPanel::checkInSelected);
    connect(checkIn, &QPushButton::clicked, this, &CheckinPanel::checkInSelected);
    connect(checkOut, &QPushButton::clicked, this, &CheckinPanel::checkOutSelected);
    connect(presentOut, &QPushButton::clicked, this, &CheckinPanel::checkOutPresent);
    connect(clear, &QPushButton::clicked, this, &CheckinPanel::clearAll);
    connect(undoAddress, &QPushButton::clicked, this, &CheckinPanel::checkOutAddress);
    connect(renew, &QPushButton::clicked, this, &CheckinPanel::renewKey);
    connect(confirmWaiting, &QPushButton::clicked, this, [this] { answerWaiting(true); });
    connect(m_waiting, &QListWidget::itemDoubleClicked, this, [this] { answerWaiting(true); });
    connect(refuseWaiting, &QPushButton::clicked, this, [this] { answerWaiting(false); });
    connect(release, &QPushButton::clicked, this, &CheckinPanel::releaseHeld);
    connect(m_hideNames, &QCheckBox::toggled, &m_center, &CheckinService::setHideNames);
    connect(&m_center, &CheckinService::updated, this, [this] {
        if (isVisible())
            refresh();
    });
    refresh();
}

void CheckinPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void CheckinPanel::fillAddresses() {
    const QSignalBlocker block(m_address);
    m_address->clear();
    const QList<NetworkAddresses::Address> addresses = NetworkAddresses::list();
    for (const NetworkAddresses::Address& address : addresses)
        m_address->addItem(address.label(), address.ip);
    const QString chosen = NetworkAddresses::choose(addresses, m_center.settings().address);
    int index = m_address->findData(chosen);
    if (index < 0) {
        m_address->addItem(chosen, chosen);
        index = m_address->count() - 1;
    }
    m_address->setCurrentIndex(index);
}

void CheckinPanel::applyAddress() {
    m_center.setAddress(m_address->currentData().toString(), m_port->value());
    refresh();
}

void CheckinPanel::refresh() {
    const CheckinSettings& settings = m_center.settings();
    {
        const QSignalBlocker blockEnabled(m_enabled);
        const QSignalBlocker blockOnly(m_onlyCheckedIn);
        const QSignalBlocker blockHide(m_hideNames);
        m_hideNames->setChecked(settings.hideNames);
        const QSignalBlocker blockPort(m_port);
        m_enabled->setChecked(!m_center.url().isEmpty());
        m_onlyCheckedIn->setChecked(settings.onlyCheckedIn);
        if (!m_port->hasFocus())
            m_port->setValue(settings.port);
    }
    const QString url = m_center.url();
    m_url->setText(url.isEmpty() ? QStringLiteral("（未开启）") : url);
    const CheckinDesk& desk = m_center.desk();
    m_count->setText(QStringLiteral("已签到 %1 / 总人数 %2").arg(desk.presentCount()).arg(desk.total()));

    const QList<CheckinLog::Entry> entries = desk.entries();
    QStringList rows;
    m_presentEntrants.clear();
    rows.reserve(entries.size());
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        const auto origin = desk.originOf(entries.at(i).entrant);
        const QString from = !origin             ? QStringLiteral("—")
                             : origin->confirmed ? QStringLiteral("签到台确认 手机 %1").arg(origin->address)
                             : origin->phone ? QStringLiteral("手机 %1").arg(origin->address)
                                             : QStringLiteral("签到台");
        rows << entries.at(i).at.toString(QStringLiteral("HH:mm:ss  ")) + from + QStringLiteral("  ") +
                    shown(entries.at(i).entrant);
        m_presentEntrants << entries.at(i).entrant;
    }
    if (rows != m_presentModel->stringList())
        m_presentModel->setStringList(rows);
    if (!m_search->text().isEmpty())
        search(m_search->text());
    refreshQueues();
}

void CheckinPanel::refreshQueues() {
    const CheckinDesk& desk = m_center.desk();
    // Before any guest arrives: who can prove themselves on a phone, who needs the desk.
    const CheckinDesk::ProofCounts counts = desk.proofCounts();
    if (m_center.url().isEmpty())
        m_proofs->setText(QStringLiteral("开启后显示：多少来宾可在手机上核对身份，多少需到签到台确认"));
    else if (counts.phone == 0)
        m_proofs->setText(QStringLiteral("名单中没有大屏幕上不显示的信息（如完整手机号）：全部 %1 "
                                         "位来宾在手机上提交后，都需到签到台由工作人员确认")
                              .arg(counts.desk));
    else
        m_proofs->setText(QStringLiteral("%1 位来宾可在手机上凭大屏幕上不显示的信息（如完整手机号）签到；"
                                         "%2 位需到签到台由工作人员确认")
                              .arg(counts.phone)
                              .arg(counts.desk));
    m_proofs->setStyleSheet(!m_center.url().isEmpty() && counts.desk > 0 ? QStringLiteral("color: #b5121b")
                                                                         : QString());

    const auto keep = [](QListWidget* list) {
        return list->currentItem() ? list->currentItem()->data(Qt::UserRole).toString() : QString();
    };
    const auto fill = [](QListWidget* list, const QString& current,
                         const QList<QPair<QString, QString>>& rows) {
        list->clear();
        for (const auto& [text, entrant] : rows) {
            auto* item = new QListWidgetItem(text, list);
            item->setData(Qt::UserRole, entrant);
            if (entrant == current)
                list->setCurrentItem(item);
        }
        if (!list->currentItem() && list->count() > 0)
            list->setCurrentRow(0);
    };
    QList<QPair<QString, QString>> rows;
    for (const CheckinDesk::Waiting& w : desk.waiting())
        rows.append({w.since.toString(QStringLiteral("HH:mm:ss  ")) +
                         QStringLiteral("手机 %1  ").arg(w.address) + shown(w.entrant),
                     w.entrant});
    fill(m_waiting, keep(m_waiting), rows);
    rows.clear();
    for (const CheckinDesk::Held& h : desk.held()) {
        QStringList from;
        for (const auto& [address, count] : h.wrong)
            from << QStringLiteral("%1 (%2次)").arg(address).arg(count);
        rows.append({shown(h.entrant) + (h.everywhere ? QStringLiteral("  [所有地址]") : QString()) +
                         QStringLiteral("  输错来自 ") + from.join(QStringLiteral("、")),
                     h.entrant});
    }
    fill(m_held, keep(m_held), rows);
}

void CheckinPanel::answerWaiting(bool confirm) {
    QListWidgetItem* item = m_waiting->currentItem();
    if (!item)
        return;
    const QString entrant = item->data(Qt::UserRole).toString();
    if (confirm)
        m_center.desk().confirmWaiting(entrant);
    else
        m_center.desk().refuseWaiting(entrant);
    refreshQueues();
}

void CheckinPanel::releaseHeld() {
    if (QListWidgetItem* item = m_held->currentItem())
        m_center.desk().release(item->data(Qt::UserRole).toString());
    refreshQueues();
}

void CheckinPanel::search(const QString& text) {
    const QString wanted = text.trimmed();
    const int current = m_results->currentRow();
    m_results->clear();
    if (wanted.isEmpty())
        return;
    const EntrantPool& pool = m_center.pool();
    const CheckinDesk& desk = m_center.desk();
    QStringList seen;
    for (int i = 0; i < pool.count() && m_results->count() < kMaxResults; ++i) {
        const QStringView line = EntrantPool::trimmed(pool.line(i));
        if (line.isEmpty() || !line.contains(wanted, Qt::CaseInsensitive))
            continue;
        const QString name = line.toString();
        if (seen.contains(name))
            continue;
        seen << name;
        const auto at = desk.checkedInAt(name);
        auto* item = new QListWidgetItem(at ? QStringLiteral("%1    ✓ 已签到 %2")
                                                  .arg(shown(name), at->toString(QStringLiteral("HH:mm:ss")))
                                            : shown(name));
        item->setData(Qt::UserRole, name);
        if (at)
            item->setForeground(QColor(20, 120, 50));
        m_results->addItem(item);
    }
    if (current >= 0 && current < m_results->count())
        m_results->setCurrentRow(current);
    else if (m_results->count() > 0)
        m_results->setCurrentRow(0);
}

void CheckinPanel::checkInSelected() {
    if (QListWidgetItem* item = m_results->currentItem())
        m_center.desk().checkInLater(item->data(Qt::UserRole).toString());
}

void CheckinPanel::checkOutSelected() {
    if (QListWidgetItem* item = m_results->currentItem())
        m_center.desk().checkOutLater(item->data(Qt::UserRole).toString());
}

void CheckinPanel::checkOutPresent() {
    const int row = m_present->currentIndex().row();
    if (row >= 0 && row < m_presentEntrants.size())
        m_center.desk().checkOutLater(m_presentEntrants.at(row));
}

void CheckinPanel::checkOutAddress() {
    const int row = m_present->currentIndex().row();
    if (row < 0 || row >= m_presentEntrants.size())
        return;
    const auto origin = m_center.desk().originOf(m_presentEntrants.at(row));
    if (!origin || !origin->phone || origin->confirmed) {
        Dialogs::instance().message(Dialogs::Icon::Information, Dialogs::kProgramCaption,
                                    QStringLiteral("请先在已签到列表中选择一条手机签到。"));
        return;
    }
    int count = 0;
    for (const CheckinLog::Entry& entry : m_center.desk().entries())
        if (const auto other = m_center.desk().originOf(entry.entrant);
            other && other->phone && !other->confirmed && other->address == origin->address)
            ++count;
    if (Dialogs::instance().question(
            Dialogs::kProgramCaption,
            QStringLiteral("确定要撤销来自地址 %1 的全部 %2 条签到吗？").arg(origin->address).arg(count)))
        m_center.desk().checkOutAddress(origin->address);
}

void CheckinPanel::renewKey() {
    if (Dialogs::instance().question(
            Dialogs::kProgramCaption,
            QStringLiteral("换新二维码后，旧的二维码和签到网址将失效，手机需要重新扫码。确定吗？")))
        m_center.renewKey();
    refresh();
}

void CheckinPanel::clearAll() {
    if (m_center.desk().entries().isEmpty() ||
        !Dialogs::instance().question(Dialogs::kProgramCaption, QStringLiteral("确定要清空所有签到记录吗？")))
        return;
    try {
        m_center.desk().clear();
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
    }
    refresh();
}
