#pragma once

#include "prizerules.h"

#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTimer;
class SettingsHost;

// The settings dialog's page "抽奖范围": per prize the "只限" and "排除" words, the "已中奖者可参与"
// tick, and beside each how many can be drawn under it right now (the draw's own eligibility asks).
// Loaded from prize.db at every showing of the dialog; its save button writes [Rules], refusing a
// rule that lets nobody of the entrant list in.
class RulesPage : public QWidget {
    Q_OBJECT
public:
    explicit RulesPage(SettingsHost& form, QWidget* parent = nullptr);

    void load();
    // The rules as typed.
    PrizeRules typed() const;
    // Checks, writes and hands the rules to the draw screen; false (after the box) when refused.
    bool save();
    // The prizes as the prize tab holds them now (typed, maybe not saved): their names, which are
    // offered (a quantity above 0), and whether winners may win again; the counts follow.
    void showPrizes(const QStringList& names, const QList<bool>& offered, bool repeatAllowed);
    // Asked before the page's own save button saves; false stops the save.
    void setBeforeSave(std::function<bool()> check) { m_beforeSave = std::move(check); }
    // What the page holds, for telling typed from saved.
    QStringList values() const;

Q_SIGNALS:
    // The rules were written.
    void saved();

private:
    void updateCounts();
    void setPrizes(const QStringList& names, const QList<bool>& offered);

    SettingsHost& m_form;
    QStringList m_prizeNames;
    std::optional<bool> m_repeatAllowed;
    std::function<bool()> m_beforeSave;
    std::array<QLabel*, PrizeRules::kSlots> m_names{};
    std::array<QLineEdit*, PrizeRules::kSlots> m_only{};
    std::array<QLineEdit*, PrizeRules::kSlots> m_except{};
    std::array<QCheckBox*, PrizeRules::kSlots> m_winnersMay{};
    std::array<QLabel*, PrizeRules::kSlots> m_counts{};
    QLabel* m_note = nullptr;
    QTimer* m_recount = nullptr;
};
