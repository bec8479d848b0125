#pragma once

// A link object opened on tallix-sim, and counting helpers over the printer's journal.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/CashRegManager.h"
#include "tests/support/SimProcess.h"
#include "tests/support/WaitFor.h"

namespace tallix::test {

// The printer answers logical ID 1 unless told otherwise.
struct SimLink {
    explicit SimLink(const std::vector<std::string>& simArgs, int logicalID = 1) : sim(simArgs) {
        static const uint8_t kNoMap[256] = {};
        opened = sim.ready() && link.Open(sim.path(), kSimSpeed);
        link.InitializeCR(logicalID, kNoMap, 15);
    }
    ~SimLink() { link.Close(); }

    bool Send(const std::string& text, bool checkSequence = true) {
        return link.WritePacket(reinterpret_cast<const uint8_t*>(text.data()),
                                static_cast<int>(text.size()), checkSequence);
    }

    // Journal lines of one kind ("wakeup", "frame", "reset") once at least `atLeast` of them
    // are there (or the deadline passed).
    std::vector<JournalEntry> Entries(const std::string& kind, std::size_t atLeast = 0) const {
        std::vector<JournalEntry> found;
        WaitFor([&] {
            found.clear();
            for (const JournalEntry& entry : sim.journalLines()) {
                if (entry.kind() == kind) {
                    found.push_back(entry);
                }
            }
            return found.size() >= atLeast;
        });
        return found;
    }

    SimProcess sim;
    CashRegManager link;
    bool opened = false;
};

}  // namespace tallix::test
