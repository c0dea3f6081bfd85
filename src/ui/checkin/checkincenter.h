#pragma once

#include <QObject>
#include <QPointer>

class CheckinPanel;
class CheckinScreen;
class CheckinService;
class QWidget;

// Check-in's windows: the projector's check-in screen over the stage and the desk's panel, both
// views of the check-in service.
class CheckinCenter : public QObject {
    Q_OBJECT
public:
    // stage: the draw screen (the check-in screen lies over it).
    CheckinCenter(QWidget& stage, CheckinService& service);
    ~CheckinCenter() override;

    CheckinService& service() { return m_service; }
    void showScreen();
    void showPanel();
    // The program ends: the panel goes.
    void programEnding();
    CheckinScreen* screen() const;
    CheckinPanel* panel() const;

private:
    QWidget& m_stage;
    CheckinService& m_service;
    QPointer<CheckinScreen> m_screen;
    QPointer<CheckinPanel> m_panel;
};
