#pragma once

#include <QCheckBox>

class Event;

// "可验证抽奖" in the settings: switches the event mode on at once (after its question), before the
// first draw; checked and greyed while it is on (only 初始化进度 switches it off).
class VerifyBox : public QCheckBox {
    Q_OBJECT
public:
    VerifyBox(Event& event, QWidget* parent);

private:
    void clicked(bool checked);
    void refresh();

    Event& m_event;
};
