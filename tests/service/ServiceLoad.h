#pragma once

// Receipts for the service's load, cut-connection and kill tests: each job's receipt names
// its own article, so the printer's journal shows which job each command came from.

#include <algorithm>
#include <string>
#include <vector>

namespace tallix::test {

// Three shapes of receipt, chosen by job number.
inline std::string JobReceipt(int job) {
    const std::string name = "A" + std::to_string(job);
    switch (job % 3) {
        case 0:
            return "49;" + name + ";0;1;1.50;1;0;0\r\n53;;;0;100.00\r\n";
        case 1:
            return "49;" + name + ";0;2;2.50;1;0;0\r\n54;T" + std::to_string(job) +
                   ";;;;\r\n53;;;0;100.00\r\n";
        default:
            return "49;" + name + ";0;1;1.50;1;0;0\r\n49;" + name +
                   "B;0;1;3.00;2;0;0\r\n54;VA MULTUMIM;;;;\r\n53;;;1;4.50\r\n";
    }
}

// The command the printer executes for the job's first sale: it names the job.
inline std::string JobSale(int job) {
    const std::string name = "A" + std::to_string(job);
    return job % 3 == 1 ? "L;;" + name + ";2.50;2.000;1;1;1;0;0;"
                        : "L;;" + name + ";1.50;1.000;1;1;1;0;0;";
}

// How many commands the job's receipt makes the printer execute.
inline std::size_t JobCommandCount(int job) {
    return job % 3 == 0 ? 2 : job % 3 == 1 ? 3 : 4;
}

inline std::size_t Occurrences(const std::vector<std::string>& texts, const std::string& text) {
    return static_cast<std::size_t>(std::count(texts.begin(), texts.end(), text));
}

}  // namespace tallix::test
