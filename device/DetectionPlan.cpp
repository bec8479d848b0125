#include "device/DetectionPlan.h"

#include <algorithm>

namespace tallix {

namespace {

void AddOnce(std::vector<int>& ids, int id) {
    if (id >= kLowestLogicalID && id <= kHighestLogicalID &&
        std::find(ids.begin(), ids.end(), id) == ids.end()) {
        ids.push_back(id);
    }
}

std::vector<int> UsualIDs(const std::vector<int>& first) {
    std::vector<int> ids;
    for (const int id : first) {
        AddOnce(ids, id);
    }
    AddOnce(ids, 1);
    AddOnce(ids, 0);
    return ids;
}

// Every speed, each with all of ids.
void AddRound(std::vector<ProbeStep>& plan, const std::vector<int>& ids) {
    for (const int speed : kDetectionSpeeds) {
        for (const int id : ids) {
            plan.push_back({speed, id});
        }
    }
}

}  // namespace

std::vector<int> DetectionLogicalIDs(const std::vector<int>& first, bool allIDs) {
    std::vector<int> ids = UsualIDs(first);
    if (allIDs) {
        for (int id = 2; id <= kHighestLogicalID; ++id) {
            AddOnce(ids, id);
        }
    }
    return ids;
}

namespace {

std::vector<int> OtherIDs(const std::vector<int>& first) {
    const std::vector<int> usual = UsualIDs(first);
    const std::vector<int> all = DetectionLogicalIDs(first, true);
    return {all.begin() + static_cast<std::ptrdiff_t>(usual.size()), all.end()};
}

}  // namespace

std::vector<ProbeStep> DetectionPlan(const std::vector<int>& first, bool allIDs) {
    std::vector<ProbeStep> plan;
    AddRound(plan, UsualIDs(first));
    if (allIDs) {
        AddRound(plan, OtherIDs(first));
    }
    return plan;
}

std::vector<ProbeStep> OtherIDsPlan(const std::vector<int>& first) {
    std::vector<ProbeStep> plan;
    AddRound(plan, OtherIDs(first));
    return plan;
}

}  // namespace tallix
