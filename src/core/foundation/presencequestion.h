#pragma once

#include <QString>
#include <vector>

// The question before "只抽取已签到人员" is switched on: how many can then be drawn, so that a draw
// among 4 of 300 does not come as a surprise.
namespace PresenceQuestion {

// The question for present of total checked in; empty when everyone is (nothing to ask).
QString text(int present, int total);
// Asks when not everyone of the pool (one flag a line) has checked in; true to go on.
bool confirm(const std::vector<bool>& presentMask);

} // namespace PresenceQuestion
