#include "checkinsettings.h"

#include "checkinserver.h"
#include "configstore.h"

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
    return settings;
}

void CheckinSettings::write(ConfigStore& store) const {
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    store.writeStrings(kSection, {{QStringLiteral("Enabled"), flag(enabled)},
                                  {QStringLiteral("Address"), address},
                                  {QStringLiteral("Port"), QString::number(port)},
                                  {QStringLiteral("Key"), key},
                                  {QStringLiteral("OnlyCheckedIn"), flag(onlyCheckedIn)}});
}
