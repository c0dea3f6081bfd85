#include "presencequestion.h"

#include "functionunit.h"

#include <algorithm>

namespace PresenceQuestion {

QString text(int present, int total) {
    if (present >= total)
        return QString();
    if (present == 0)
        return QStringLiteral(
                   "还没有人签到（名单共 %1 人），勾选“只抽取已签到人员”后没有人可以抽奖。要勾选吗?")
            .arg(total);
    return QStringLiteral("现在已签到 %1 人（名单共 %2 人），勾选“只抽取已签到人员”后只能从这 %1 人中抽奖，"
                          "未签到的 %3 人抽不到。要勾选吗?")
        .arg(present)
        .arg(total)
        .arg(total - present);
}

bool confirm(const std::vector<bool>& presentMask) {
    const int total = static_cast<int>(presentMask.size());
    const int present = static_cast<int>(std::count(presentMask.begin(), presentMask.end(), true));
    const QString question = text(present, total);
    return question.isEmpty() || FunctionUnit::confirm(question);
}

} // namespace PresenceQuestion
