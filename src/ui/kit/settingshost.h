#pragma once

#include <QColor>
#include <QStringList>
#include <functional>

class DrawEngine;
class DrawModel;
class DrawSession;
class Event;
class QObject;

// What the settings dialog needs of the draw screen it configures: the draw's model and engine (the
// prize table, the pool, who can be drawn), the loads it asks for after a save (the prize table, the
// entrant list, the layout, the current prize's state) and the panel's colours and picture marks it
// starts from. The dialog reads nothing else of the draw screen.
class SettingsHost {
public:
    virtual ~SettingsHost() = default;

    virtual Event& event() = 0;
    virtual DrawSession& session() = 0;
    virtual DrawModel& model() = 0;
    virtual DrawEngine& engine() = 0;
    virtual QColor gridFontColor() const = 0;
    virtual QColor gridColor() const = 0;
    // "有" or "无" for each of the eight prize pictures, as the last layout pass found them.
    virtual const QStringList& pictureMarks() const = 0;

    virtual bool getdata() = 0;
    virtual void readjp() = 0;
    virtual void readstate() = 0;
    virtual void getscreensize() = 0;
    virtual void showProgress() = 0;
    virtual void selectPosition(int position) = 0;

    // Calls back (while context lives) after each layout pass has set the picture marks anew, and
    // after each load of the entrant pool.
    virtual void whenPictureMarksChange(QObject* context, std::function<void()> callback) = 0;
    virtual void whenPoolLoaded(QObject* context, std::function<void()> callback) = 0;
};
