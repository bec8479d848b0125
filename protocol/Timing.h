#pragma once

// Counts and time-outs of the printer's link. Every exchange waits out these values, so
// they fix the least time one exchange can take; the benchmark computes its floor from them.

namespace tallix {

// Line-level steps.
constexpr int kFillRun = 5;             // fill bytes of one SendFF()
constexpr int kMaxFillRun = 1024;       // largest run SendFF(count) writes
constexpr double kDrainTimeout = 0.01;  // ClearReadBuf: silence that ends the drain
constexpr double kResetPause = 0.02;    // Reset: pause after DC3 DC3 DC3
constexpr int kResetDC3Count = 3;
// ClearReadBuf on a line that never falls silent (noise, a wrong speed, a device streaming
// bytes): the drain gives up after this long or this many bytes, and the line counts as dead.
// The longest run of bytes a working printer sends without a 0.01 s pause is a backlog of late
// answers and ACKs bunched up, a dozen answers of about 20 bytes: 0.25 s at 9600 bit/s, 1 s at
// 2400. The time limit is twice that slowest case, the byte limit (0.36 s at 115200 bit/s)
// more than ten times the backlog; either ends a hopeless run far below the 42 s of a dead
// printer.
constexpr double kDrainLimit = 2.0;
constexpr int kDrainLimitBytes = 4096;

// Quiet line: the printer answers wake-up requests in order but may answer late, and an answer
// carries no request number. Once the line has been silent for longer than the slowest answer
// this printer was seen to give (plus kQuietMargin), no answer to an earlier request is still
// on its way, and the next answer is one given to a request written after the silence. Before
// a frame is sent again, and before a run on a line nobody vouches for, the silence lasts at
// least kSettleQuiet, so that a counter that moves only when printing ends has moved too; the
// latest answer a busy printer was seen to give in the fault rows came 2.6 s late. A line that
// does not fall silent within kSettleLimit more counts as dead.
constexpr double kQuietMargin = 0.1;
constexpr double kSettleQuiet = 3.0;
constexpr double kSettleLimit = 10.0;
constexpr double kSettleRead = 0.1;  // one read while waiting for silence
// After a frame, answers showing the old counter may still be old ones: the closing wake-up
// looks for a moved counter this long (at least), and twice the slowest answer seen.
constexpr double kLookMinimum = 1.0;
// Answers below the counter the printer is known to hold that a wake-up passes over before it
// lets the line fall quiet and takes the next answer as it is (a printer whose counter went
// back, or old answers given again).
constexpr int kLowAnswersPassed = 3;

// The wake-up exchange.
constexpr double kAnswerByteTimeout = 0.02;  // every read of the answer frame
constexpr int kWakeUpRequests = 3;           // requests in one exchange (checksum mismatches)
constexpr int kLineFeedReads = 10;           // reads that may pass before the answer's LF
constexpr int kAnswerTextReads = 254;        // reads for the answer text, CR included
constexpr int kWakeUpExchanges = 201;        // WakeUP: one exchange and 200 repetitions
constexpr int kSerialFieldLength = 10;       // answer field 0 kept
constexpr int kSequenceFieldLength = 20;     // answer field 1 kept

// The command exchange.
constexpr double kAckTimeout = 0.1;  // wait for the ACK after each frame
constexpr int kFrameAttempts = 100;  // frames sent at most without an ACK

// Least time one wake-up with reset waits: the reset pause, then one drain.
constexpr double kWakeUpFloor = kResetPause + kDrainTimeout;
// Least time one successful command exchange waits: the first wake-up, the drain before
// the frame, the closing wake-up.
constexpr double kCommandExchangeFloor = kWakeUpFloor + kDrainTimeout + kWakeUpFloor;

}  // namespace tallix
