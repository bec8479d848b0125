#pragma once

// Counts the printer's wake-up answers on the link, so that an answer can be told to have been
// given to a request written after a given moment.
//
// The printer answers wake-up requests in the order they came and carries no request number
// in its answer. Every byte the host reads from the line passes through here, and every
// wake-up request written is counted. The n-th answer seen then belongs to the n-th request or
// a later one (a request may go unanswered, never answered twice), so an answer whose ordinal
// is above the count of requests written before a moment was given to a request written
// after it: it was given after that moment.
//
// An answer is counted when its frame is complete (LF, text up to CR within 254 bytes, two
// checksum bytes) and its text has the form of an answer: printable bytes, a field 0 and a
// numeric field 1, each closed by ";". The checksum does not decide: an answer spoiled on the
// line still used up its request, and not counting it would make every later answer look one
// older for the rest of the link's life; and stray bytes match a 16-bit checksum far more
// often than they spell out an answer. Anything else is not counted. A miss makes later
// answers look older than they are, which can only delay a decision, never make an old answer
// pass for a new one; an answer beyond the requests written is not counted either.

#include <array>
#include <cstdint>

#include "protocol/Timing.h"

namespace tallix {

class AnswerScanner {
  public:
    void requestWritten() { ++requests_; }
    // The requests still unanswered will never be answered (the line has been silent for
    // longer than any answer takes): the next answer belongs to the next request.
    void forgetUnanswered() { answers_ = requests_; }
    void feed(uint8_t byte);
    void feed(const uint8_t* bytes, int count);

    // Requests written so far: the mark an answer's ordinal is compared with.
    int64_t requests() const { return requests_; }
    int64_t answers() const { return answers_; }
    // The ordinal (from 1) of the answer that the last byte fed completed; 0 when that byte
    // completed none, or completed one that no request was left for.
    int64_t completedAnswer() const { return completed_; }

    // True when answer `ordinal` was given to a request written after `mark` requests.
    static bool GivenAfter(int64_t ordinal, int64_t mark) { return ordinal > mark; }

  private:
    enum class State { Idle, Text, Checksum, ChecksumLow };
    void frameEnd();

    int64_t requests_ = 0;
    int64_t answers_ = 0;
    int64_t completed_ = 0;
    State state_ = State::Idle;
    std::array<uint8_t, kAnswerTextReads> text_{};
    int length_ = 0;  // bytes of text_, CR included
};

// True when text (length bytes, CR last) reads as a wake-up answer: printable bytes, field 0
// and field 1 closed by ";", field 1 an optional sign and digits.
bool HasAnswerForm(const uint8_t* text, int length);

}  // namespace tallix
