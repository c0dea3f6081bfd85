#pragma once

#include <vector>

// Who is in the room, for a draw that takes only the entrants present. The draw screen knows nothing
// of how presence is found out; the program connects its check-in here.
class Presence {
public:
    virtual ~Presence() = default;
    // Whether only present entrants may be drawn ("只抽取已签到人员").
    virtual bool onlyPresent() const = 0;
    // For each line of the draw screen's entrant pool, whether that entrant is present. A line past
    // the end counts as absent.
    virtual std::vector<bool> presentMask() const = 0;
};
