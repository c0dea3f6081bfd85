#pragma once

#include "drawsession.h"
#include "event.h"

#include <QStringList>

// The event in the test's folder and its draw, read as the program reads them at start, without any
// window.
class EventFixture {
public:
    EventFixture();

    Event event;
    DrawSession session;

    // One main draw of the current prize (its start and its stop); the winners it recorded.
    QStringList draw();
};

// Writes an event into the test's folder: entrants 员工1..员工<entrants>, one prize 一等奖 of the
// given quantity drawn one at a time, and extra lines for prize.db.
void writeEvent(int entrants, int quantity, const QString& extraPrizeDb = {});
