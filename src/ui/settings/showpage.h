#pragma once

#include "stageshow.h"

#include <QWidget>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class SettingsHost;

// The settings dialog's page "舞台效果": per prize how its winners are revealed ("揭晓方式": 立即,
// 渐停, 逐个揭晓), whether it is a grand prize ("大奖": confetti and a fanfare) and how its names roll
// ("滚动方式": the ten lines or the name wall); and the sound cues ("音效"). Kept in prize.db's
// [Stage]; its save button writes them and hands them to the draw screen.
class ShowPage : public QWidget {
    Q_OBJECT
public:
    explicit ShowPage(SettingsHost& form, QWidget* parent = nullptr);

    void load();
    StageShow typed() const;
    bool save();
    // The prizes' names as the prize tab holds them now, and which of them are offered (a quantity
    // above 0).
    void showPrizes(const QStringList& names, const QList<bool>& offered);
    void setBeforeSave(std::function<bool()> check) { m_beforeSave = std::move(check); }
    QStringList values() const;

Q_SIGNALS:
    void saved();

private:
    SettingsHost& m_form;
    std::function<bool()> m_beforeSave;
    std::array<QLabel*, StageShow::kSlots> m_names{};
    std::array<QComboBox*, StageShow::kSlots> m_reveal{};
    std::array<QCheckBox*, StageShow::kSlots> m_grand{};
    std::array<QComboBox*, StageShow::kSlots> m_roll{};
    QCheckBox* m_sound = nullptr;
};
