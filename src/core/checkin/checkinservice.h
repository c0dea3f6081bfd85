#pragma once

#include "checkindesk.h"
#include "checkinsettings.h"
#include "eventresults.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class EntrantPool;
class CheckinServer;
class QTimer;
class DrawSession;

// Check-in from the guests' phones: the check-ins (CheckinDesk over 签到名单.txt), the server that
// runs while check-in is switched on and check-in's settings in prize.db. The projector's check-in
// screen and the desk's panel are its windows. Until check-in is first used it reads nothing but its section
// of prize.db (and 签到名单.txt when there is one), and writes nothing.
class CheckinService : public QObject, public EventPart {
    Q_OBJECT
public:
    // session: the draw whose pool the check-ins are matched against.
    explicit CheckinService(DrawSession& session);
    ~CheckinService() override;

    CheckinDesk& desk() { return *m_desk; }
    CheckinServer& server() { return *m_server; }
    const CheckinSettings& settings() const { return m_settings; }
    // The draw screen's entrant pool (GUI thread).
    const EntrantPool& pool() const;

    // Starts the server when prize.db says check-in is on (at start-up; a failure shows its box).
    void startIfEnabled();
    // Switches check-in on or off and keeps the choice. Switching on may fail (the port in use, ...):
    // then the box says why and check-in stays off. Returns whether the server runs.
    bool setEnabled(bool on);
    // The address and port of the server (restarted when running).
    void setAddress(const QString& address, int port);
    // "只抽取已签到人员" (kept in prize.db; the draw reads it).
    bool onlyCheckedIn() const { return m_settings.onlyCheckedIn; }
    void setOnlyCheckedIn(bool on);
    // "隐藏部分姓名": the projector's latest check-ins show masked names (kept in prize.db).
    bool hideNames() const { return m_settings.hideNames; }
    void setHideNames(bool on);
    // "换新二维码": a new key and cookie secret; the old address and the phones' cookies stop working.
    void renewKey();
    // Who of the draw screen's entrant pool has checked in, one flag a line (the draw asks).
    std::vector<bool> presentMask();
    // The page's address as the phones reach it (empty while the server is off).
    QString url() const;
    // What the hall sees of an entrant line (the stage's text of it; default: the line itself).
    // Only a field the hall never sees proves a guest on a phone; a guest whose line has none checks
    // in at the desk. Takes effect at once; set it again when what the stage shows changes.
    void setHallText(CheckinDesk::HallText hallText);
    // What the hall sees of an entrant line (the line itself when nothing is set).
    QString hallText(const QString& line) const { return m_hallText ? m_hallText(line) : line; }

    // The check-ins as a part of the event: initialise progress offers to clear them.
    QString partName() const override { return QStringLiteral("签到记录"); }
    QString partPath() const override;
    bool holdsEntries() const override;
    void clearPart() override;

    // The program ends: the server stops.
    void programEnding();
    // The entrant list matched against, refreshed from the draw's pool when it is stale.
    void ensurePool();

Q_SIGNALS:
    // The check-ins, the counts or the server's state changed (at most a few times a second).
    void updated();

private:
    // Reads check-in's settings and 签到名单.txt (at start, and again for a restored event).
    void open();
    bool startServer();
    bool save();
    void refreshEventTitle();
    // What the phones see of the verifiable draw (the mode, its hashes, the seed once revealed, the
    // proof), handed to the server whenever it changes.
    void refreshVerify();

    DrawSession& m_session;
    CheckinSettings m_settings;
    std::unique_ptr<CheckinDesk> m_desk;
    std::unique_ptr<CheckinServer> m_server;
    QTimer* m_coalesce = nullptr;
    CheckinDesk::HallText m_hallText;
    bool m_poolStale = true;
    bool m_failureShown = false;
};
