#pragma once

namespace tallix::test {

// Processor time (user and system, all threads) this process has used so far, in seconds.
double CpuSeconds();

}  // namespace tallix::test
