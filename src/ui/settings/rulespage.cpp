#include "rulespage.h"

#include "drawsession.h"

#include "apppaths.h"
#include "configstore.h"
#include "dialogs.h"
#include "drawengine.h"
#include "drawmodel.h"
#include "functionunit.h"
#include "operationerror.h"
#include "prizepage.h"
#include "settingshost.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

RulesPage::RulesPage(SettingsHost& form, QWidget* parent) : QWidget(parent), m_form(form) {
    setObjectName(QStringLiteral("rulesPage"));
    QLabel* help = PrizePage::help(
        this, QStringLiteral("只限：名单中某一栏等于其中一个词语的人才能抽中；排除：等于其中一个词语的人"
                             "不能抽中。词语与名单的一栏完全相同才算（“销售”不算“销售部”），"
                             "多个词语用空格或逗号分开。"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    const QStringList headings{QStringLiteral("奖项"), QStringLiteral("只限"), QStringLiteral("排除"),
                               QStringLiteral("已中奖者\n可参与"), QStringLiteral("可抽人数")};
    for (int c = 0; c < headings.size(); ++c) {
        auto* heading = new QLabel(headings[c], this);
        heading->setAlignment(c == 3 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        grid->addWidget(heading, 0, c);
    }
    const int countWidth = fontMetrics().horizontalAdvance(QStringLiteral("可抽 100000 人")) + 4;
    for (int slot = 0; slot < PrizeRules::kSlots; ++slot) {
        const int n = slot + 1;
        m_names[slot] = new QLabel(this);
        m_names[slot]->setObjectName(QStringLiteral("ruleName%1").arg(n));
        m_names[slot]->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("一等奖")) + 4);
        m_only[slot] = new QLineEdit(this);
        m_only[slot]->setObjectName(QStringLiteral("ruleOnly%1").arg(n));
        m_only[slot]->setPlaceholderText(QStringLiteral("不限"));
        m_except[slot] = new QLineEdit(this);
        m_except[slot]->setObjectName(QStringLiteral("ruleExcept%1").arg(n));
        m_winnersMay[slot] = new QCheckBox(this);
        m_winnersMay[slot]->setObjectName(QStringLiteral("ruleWinnersMay%1").arg(n));
        m_winnersMay[slot]->setToolTip(QStringLiteral("不允许重复时，已中过其他奖项的人也可抽中本奖项"));
        m_counts[slot] = new QLabel(this);
        m_counts[slot]->setObjectName(QStringLiteral("ruleCount%1").arg(n));
        m_counts[slot]->setMinimumWidth(countWidth);
        grid->addWidget(m_names[slot], n, 0);
        grid->addWidget(m_only[slot], n, 1);
        grid->addWidget(m_except[slot], n, 2);
        grid->addWidget(m_winnersMay[slot], n, 3, Qt::AlignCenter);
        grid->addWidget(m_counts[slot], n, 4);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);

    // Counted again shortly after the typing stops: a million entrants take a moment.
    m_recount = new QTimer(this);
    m_recount->setSingleShot(true);
    m_recount->setInterval(250);
    connect(m_recount, &QTimer::timeout, this, &RulesPage::updateCounts);
    for (int slot = 0; slot < PrizeRules::kSlots; ++slot) {
        connect(m_only[slot], &QLineEdit::textChanged, m_recount, qOverload<>(&QTimer::start));
        connect(m_except[slot], &QLineEdit::textChanged, m_recount, qOverload<>(&QTimer::start));
        connect(m_winnersMay[slot], &QCheckBox::toggled, this, &RulesPage::updateCounts);
    }

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("rulesNote"));
    m_note->setWordWrap(true);
    PrizePage::layOut(this, help, grid, m_note, QStringLiteral("rulesSave"), [this] {
        if (!m_beforeSave || m_beforeSave())
            save();
    });
}

void RulesPage::load() {
    const ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    const PrizeRules rules = PrizeRules::read(store);
    m_repeatAllowed.reset();
    setPrizes(PrizePage::names(store, PrizeRules::kSlots), PrizePage::offered(store, PrizeRules::kSlots));
    for (int slot = 0; slot < PrizeRules::kSlots; ++slot) {
        const PrizeRule& rule = rules.slots[slot];
        m_only[slot]->setText(PrizeRule::join(rule.only));
        m_except[slot]->setText(PrizeRule::join(rule.except));
        const QSignalBlocker blocker(m_winnersMay[slot]);
        m_winnersMay[slot]->setChecked(rule.winnersMay);
    }
    m_recount->stop();
    updateCounts();
}

void RulesPage::setPrizes(const QStringList& names, const QList<bool>& offered) {
    m_prizeNames = names;
    for (int slot = 0; slot < PrizeRules::kSlots; ++slot) {
        m_names[slot]->setText(PrizePage::label(names, slot));
        // Prizes not offered for drawing are greyed, yet their rules can be set.
        m_names[slot]->setEnabled(offered.value(slot));
    }
}

void RulesPage::showPrizes(const QStringList& names, const QList<bool>& offered, bool repeatAllowed) {
    setPrizes(names, offered);
    m_repeatAllowed = repeatAllowed;
    m_recount->start();
}

QStringList RulesPage::values() const {
    QStringList out;
    for (int slot = 0; slot < PrizeRules::kSlots; ++slot)
        out << m_only[slot]->text() << m_except[slot]->text()
            << QString::number(m_winnersMay[slot]->isChecked());
    return out;
}

PrizeRules RulesPage::typed() const {
    PrizeRules rules;
    for (int slot = 0; slot < PrizeRules::kSlots; ++slot) {
        rules.slots[slot].only = PrizeRule::words(m_only[slot]->text());
        rules.slots[slot].except = PrizeRule::words(m_except[slot]->text());
        rules.slots[slot].winnersMay = m_winnersMay[slot]->isChecked();
    }
    return rules;
}

void RulesPage::updateCounts() {
    const Eligibility& eligibility = m_form.engine().eligibility();
    const bool repeatAllowed = m_repeatAllowed.value_or(m_form.model().repeatAllowed);
    const PrizeRules rules = typed();
    for (int slot = 0; slot < PrizeRules::kSlots; ++slot) {
        const PrizeRule& rule = rules.slots[slot];
        QLabel* label = m_counts[slot];
        if (!rule.restricts() && !eligibility.onlyPresent()) {
            label->setText(QStringLiteral("不限"));
            label->setToolTip(QString());
            label->setStyleSheet(QString());
            continue;
        }
        const int drawable =
            eligibility.candidates(slot, rule, Eligibility::Draw::Main, repeatAllowed).count();
        label->setText(QStringLiteral("可抽 %1 人").arg(drawable));
        label->setToolTip(QStringLiteral("名单中符合本范围的共 %1 人；可抽人数不含已中奖%2和预设中奖的人员")
                              .arg(eligibility.ruleCount(rule))
                              .arg(eligibility.onlyPresent() ? QStringLiteral("、未签到") : QString()));
        label->setStyleSheet(drawable == 0 ? QStringLiteral("color: #C00000; font-weight: bold;")
                                           : QString());
    }
    m_note->setText(eligibility.onlyPresent()
                        ? QStringLiteral("已开启“只抽取已签到人员”：可抽人数只计已签到的人。")
                        : QString());
}

bool RulesPage::save() {
    if (const QString refusal = m_form.session().settingsRefusal(); !refusal.isEmpty()) {
        FunctionUnit::warning(refusal);
        return false;
    }
    m_recount->stop();
    updateCounts();
    const PrizeRules rules = typed();
    const Eligibility& eligibility = m_form.engine().eligibility();
    if (const QString refusal = eligibility.refusal(rules, m_prizeNames); !refusal.isEmpty()) {
        FunctionUnit::warning(refusal);
        return false;
    }
    try {
        ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
        rules.write(store);
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return false;
    }
    // The fields show the words as they are kept.
    for (int slot = 0; slot < PrizeRules::kSlots; ++slot) {
        m_only[slot]->setText(PrizeRule::join(rules.slots[slot].only));
        m_except[slot]->setText(PrizeRule::join(rules.slots[slot].except));
    }
    m_recount->stop();
    m_form.session().setRules(rules);
    Q_EMIT saved();
    return true;
}
