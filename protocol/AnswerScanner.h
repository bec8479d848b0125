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
// checksum bytes), its checksum is right and its text has the form of an answer: printable
// bytes, a field 0 and a numeric field 1, each closed by ";". Anything else is noise and shifts
// nothing. An answer spoiled on the line leaves its request counted as unanswered, so later
// answers look older than they are; so does an answer that never comes. The link gives such
// requests up for lost once the line has been quiet for longer than any answer takes
// (forgetUnanswered). The counts only tell the link when to stop waiting or looking: no
// decision to send a frame again or to report one executed rests on them (CommandExchange.cpp).
//
// A 0x06 outside any frame is an acknowledgement of a command frame (ackSeen).

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
    // Requests written that no answer was counted for yet.
    int64_t unanswered() const { return requests_ - answers_; }
    // The ordinal (from 1) of the answer that the last byte fed completed; 0 when that byte
    // completed none, or completed one that no request was left for.
    int64_t completedAnswer() const { return completed_; }
    // The last byte fed completed a valid answer (counted or not).
    bool answerEnded() const { return answerEnded_; }
    // The last byte fed was a 0x06 outside any frame.
    bool ackSeen() const { return ack_; }

    // True when answer `ordinal` was given to a request written after `mark` requests.
    static bool GivenAfter(int64_t ordinal, int64_t mark) { return ordinal > mark; }

  private:
    enum class State { Idle, Text, Checksum, ChecksumLow };
    void frameEnd();

    int64_t requests_ = 0;
    int64_t answers_ = 0;
    int64_t completed_ = 0;
    bool answerEnded_ = false;
    bool ack_ = false;
    uint8_t checksumHigh_ = 0;
    State state_ = State::Idle;
    std::array<uint8_t, kAnswerTextReads> text_{};
    int length_ = 0;  // bytes of text_, CR included
};

// True when text (length bytes, CR last) reads as a wake-up answer: printable bytes, field 0
// and field 1 closed by ";", field 1 an optional sign and digits.
bool HasAnswerForm(const uint8_t* text, int length);

}  // namespace tallix
