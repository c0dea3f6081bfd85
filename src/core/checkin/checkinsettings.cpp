#include "checkinsettings.h"

#include "checkinserver.h"
#include "configstore.h"

#include <QRandomGenerator>

#include <algorithm>

CheckinSettings CheckinSettings::read(const ConfigStore& store) {
    CheckinSettings settings;
    settings.enabled = store.readBool(kSection, QStringLiteral("Enabled"), false);
    settings.address = store.readString(kSection, QStringLiteral("Address"), QString());
    settings.port =
        std::clamp(store.readInteger(kSection, QStringLiteral("Port"), kDefaultPort), kMinPort, kMaxPort);
    const QString key = store.readString(kSection, QStringLiteral("Key"), QString());
    // A key edited into something the address cannot carry is made anew.
    settings.key = CheckinServer::isKey(key) ? key : QString();
    settings.onlyCheckedIn = store.readBool(kSection, QStringLiteral("OnlyCheckedIn"), false);
    settings.hideNames = store.readBool(kSection, QStringLiteral("HideNames"), false);
    const QString secret = store.readString(kSection, QStringLiteral("Secret"), QString());
    // A key without its own secret (a prize.db of before, an edited one) gets one.
    settings.secret =
        secret.size() == 32 && QByteArray::fromHex(secret.toLatin1()).size() == 16 && !settings.key.isEmpty()
            ? secret
            : QString();
    return settings;
}

void CheckinSettings::write(ConfigStore& store) const {
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    store.writeStrings(kSection, {{QStringLiteral("Enabled"), flag(enabled)},
                                  {QStringLiteral("Address"), address},
                                  {QStringLiteral("Port"), QString::number(port)},
                                  {QStringLiteral("Key"), key},
                                  {QStringLiteral("OnlyCheckedIn"), flag(onlyCheckedIn)},
                                  {QStringLiteral("HideNames"), flag(hideNames)},
                                  {QStringLiteral("Secret"), secret}});
}

void CheckinSettings::renewKey() {
    key = CheckinServer::newKey();
    renewSecret();
}

void CheckinSettings::renewSecret() {
    QByteArray bytes(16, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()), 4);
    secret = QString::fromLatin1(bytes.toHex());
}
