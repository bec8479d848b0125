#pragma once

#include <chrono>
#include <functional>

namespace tallix::test {

// Checks the predicate until it holds or the deadline passes; true when it held.
// The predicate is checked once more at the deadline.
bool WaitFor(const std::function<bool()>& predicate,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace tallix::test
