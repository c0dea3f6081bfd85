#include "showpage.h"

#include "drawsession.h"
#include "functionunit.h"

#include "apppaths.h"
#include "configstore.h"
#include "dialogs.h"
#include "drawmodel.h"
#include "operationerror.h"
#include "prizepage.h"
#include "settingshost.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

ShowPage::ShowPage(SettingsHost& form, QWidget* parent) : QWidget(parent), m_form(form) {
    setObjectName(QStringLiteral("showPage"));
    QLabel* help = PrizePage::help(
        this, QStringLiteral("抽奖停止时中奖者已保存，揭晓效果只是展示；揭晓中按任意键立即显示结果。"
                             "大奖揭晓时有彩纸和号角声。名字墙把所有可抽奖的人排成转动的球。"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    const QStringList headings{QStringLiteral("奖项"), QStringLiteral("揭晓方式"), QStringLiteral("大奖"),
                               QStringLiteral("滚动方式")};
    for (int c = 0; c < headings.size(); ++c)
        grid->addWidget(new QLabel(headings[c], this), 0, c, c == 2 ? Qt::AlignCenter : Qt::AlignLeft);
    for (int slot = 0; slot < StageShow::kSlots; ++slot) {
        const int n = slot + 1;
        m_names[slot] = new QLabel(this);
        m_names[slot]->setObjectName(QStringLiteral("showName%1").arg(n));
        m_reveal[slot] = new QComboBox(this);
        m_reveal[slot]->setObjectName(QStringLiteral("showReveal%1").arg(n));
        m_reveal[slot]->addItems(StageShow::revealNames());
        m_grand[slot] = new QCheckBox(this);
        m_grand[slot]->setObjectName(QStringLiteral("showGrand%1").arg(n));
        m_roll[slot] = new QComboBox(this);
        m_roll[slot]->setObjectName(QStringLiteral("showRoll%1").arg(n));
        m_roll[slot]->addItems(StageShow::rollNames());
        grid->addWidget(m_names[slot], n, 0);
        grid->addWidget(m_reveal[slot], n, 1);
        grid->addWidget(m_grand[slot], n, 2, Qt::AlignCenter);
        grid->addWidget(m_roll[slot], n, 3);
    }
    grid->setColumnStretch(4, 1);
    m_sound = new QCheckBox(QStringLiteral("音效（开始和揭晓时播放提示音）"), this);
    m_sound->setObjectName(QStringLiteral("showSound"));

    PrizePage::layOut(this, help, grid, m_sound, QStringLiteral("showSave"), [this] {
        if (!m_beforeSave || m_beforeSave())
            save();
    });
}

void ShowPage::load() {
    const ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    const StageShow show = StageShow::read(store);
    showPrizes(PrizePage::names(store, StageShow::kSlots), PrizePage::offered(store, StageShow::kSlots));
    for (int slot = 0; slot < StageShow::kSlots; ++slot) {
        m_reveal[slot]->setCurrentIndex(static_cast<int>(show.prizes[slot].reveal));
        m_grand[slot]->setChecked(show.prizes[slot].grand);
        m_roll[slot]->setCurrentIndex(static_cast<int>(show.prizes[slot].roll));
    }
    m_sound->setChecked(show.sound);
}

void ShowPage::showPrizes(const QStringList& names, const QList<bool>& offered) {
    for (int slot = 0; slot < StageShow::kSlots; ++slot) {
        m_names[slot]->setText(PrizePage::label(names, slot));
        // Greyed like the rules page while the prize is not offered; its effects can still be set.
        m_names[slot]->setEnabled(offered.value(slot));
    }
}

StageShow ShowPage::typed() const {
    StageShow show;
    for (int slot = 0; slot < StageShow::kSlots; ++slot) {
        show.prizes[slot].reveal = static_cast<PrizeShow::Reveal>(m_reveal[slot]->currentIndex());
        show.prizes[slot].grand = m_grand[slot]->isChecked();
        show.prizes[slot].roll = static_cast<PrizeShow::Roll>(m_roll[slot]->currentIndex());
    }
    show.sound = m_sound->isChecked();
    return show;
}

QStringList ShowPage::values() const {
    QStringList out;
    for (int slot = 0; slot < StageShow::kSlots; ++slot)
        out << QString::number(m_reveal[slot]->currentIndex()) << QString::number(m_grand[slot]->isChecked())
            << QString::number(m_roll[slot]->currentIndex());
    out << QString::number(m_sound->isChecked());
    return out;
}

bool ShowPage::save() {
    if (const QString refusal = m_form.session().settingsRefusal(); !refusal.isEmpty()) {
        FunctionUnit::warning(refusal);
        return false;
    }
    const StageShow show = typed();
    try {
        ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
        show.write(store);
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return false;
    }
    m_form.session().setShow(show);
    Q_EMIT saved();
    return true;
}
