#pragma once

#include <QString>

class ConfigStore;

// The check-in's keys in prize.db, a section of their own:
//
//   [Checkin]
//   Enabled=0         the server runs (1) or not
//   Address=          the address in the QR code; empty: the first real interface's
//   Port=8088
//   Key=              the event key in every address of the server; made when check-in is first used
//   OnlyCheckedIn=0   "只抽取已签到人员": the draw takes only checked-in entrants
//   HideNames=0       "隐藏部分姓名": the projector's latest check-ins show names masked (张*三)
//   Secret=           signs the phones' cookies: 32 random hex digits, made anew with every new key
//
// A prize.db without the section reads as check-in never used.
struct CheckinSettings {
    static constexpr int kDefaultPort = 8088;
    static constexpr int kMinPort = 1024;
    static constexpr int kMaxPort = 65535;
    inline static const QString kSection = QStringLiteral("Checkin");

    bool enabled = false;
    QString address;
    int port = kDefaultPort;
    QString key;
    bool onlyCheckedIn = false;
    bool hideNames = false;
    QString secret;

    // A new event key and, with it, a new cookie secret (the phones' cookies count no more).
    void renewKey();
    // A new cookie secret alone (a prize.db of before keeps its key, and the QR codes printed of it).
    void renewSecret();

    static CheckinSettings read(const ConfigStore& store);
    // Writes every key in one write (throws OperationError "Unable to write to …").
    void write(ConfigStore& store) const;
};
