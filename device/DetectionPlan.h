#pragma once

// The order in which printer detection tries line speeds and logical IDs on a port.

#include <array>
#include <vector>

namespace tallix {

// Speeds the printer can be set to, in the order they are tried.
inline constexpr std::array<int, 5> kDetectionSpeeds{9600, 19200, 38400, 57600, 115200};

inline constexpr int kLowestLogicalID = 0;
inline constexpr int kHighestLogicalID = 99;  // two digits go to the printer

// One probe: a reset and one wake-up exchange at this speed for this logical ID.
struct ProbeStep {
    int speed = 0;
    int logicalID = 0;

    bool operator==(const ProbeStep&) const = default;
};

// The logical IDs tried: first (in order, those from 0 to 99), then 1 and 0, and with allIDs
// every other one from 2 to 99; none twice.
std::vector<int> DetectionLogicalIDs(const std::vector<int>& first, bool allIDs);

// A probe that nobody answers takes about this long: a reset with its pause, a drain and ten
// reads that time out. Probes of one port follow each other; ports are probed side by side.
inline constexpr double kUnansweredProbeSeconds = 0.24;

// Every speed with the usual IDs (first, 1, 0) before any speed with the others, so the common
// settings are found quickly also when all IDs are searched. Steps of one speed are adjacent
// within each of the two rounds.
std::vector<ProbeStep> DetectionPlan(const std::vector<int>& first, bool allIDs);

// The second round of DetectionPlan(first, true) alone: every speed with the IDs from 2 to 99
// that are not among the usual ones. For a search that has tried the usual ones already.
std::vector<ProbeStep> OtherIDsPlan(const std::vector<int>& first);

}  // namespace tallix
