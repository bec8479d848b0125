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

std::vector<ProbeStep> DetectionPlan(const std::vector<int>& first, bool allIDs) {
    const std::vector<int> usual = UsualIDs(first);
    const std::vector<int> all = DetectionLogicalIDs(first, allIDs);
    const std::vector<int> others(all.begin() + static_cast<std::ptrdiff_t>(usual.size()),
                                  all.end());
    std::vector<ProbeStep> plan;
    plan.reserve(all.size() * kDetectionSpeeds.size());
    for (const std::vector<int>* round : {&usual, &others}) {
        for (const int speed : kDetectionSpeeds) {
            for (const int id : *round) {
                plan.push_back({speed, id});
            }
        }
    }
    return plan;
}

}  // namespace tallix
