#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

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
    // What stands in front of the panel (the settings' password): it calls open when the operator
    // may pass. Without one the panel opens at once.
    void setPanelGuard(std::function<void(std::function<void()> open)> guard) { m_guard = std::move(guard); }
    void showScreen();
    // The panel, behind the guard unless it is open already.
    void showPanel();
    // The program ends: the panel goes.
    void programEnding();
    CheckinScreen* screen() const;
    CheckinPanel* panel() const;

private:
    void openPanel();

    QWidget& m_stage;
    CheckinService& m_service;
    QPointer<CheckinScreen> m_screen;
    QPointer<CheckinPanel> m_panel;
    std::function<void(std::function<void()>)> m_guard;
};
