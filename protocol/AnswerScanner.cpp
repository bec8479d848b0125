#include "protocol/AnswerScanner.h"

#include "protocol/Checksum.h"
#include "protocol/Frame.h"

namespace tallix {

bool HasAnswerForm(const uint8_t* text, int length) {
    if (text == nullptr || length < 1 || text[length - 1] != kCR) {
        return false;
    }
    int separators = 0;
    int digits = 0;
    for (int i = 0; i < length - 1; ++i) {
        const uint8_t byte = text[i];
        if (byte < 0x20 || byte > 0x7E) {
            return false;
        }
        if (byte == ';') {
            if (++separators == 2) {
                return digits > 0;
            }
            continue;
        }
        if (separators == 1) {
            const bool sign =
                digits == 0 && (byte == '-' || byte == '+') && i > 0 && text[i - 1] == ';';
            if (!sign && (byte < '0' || byte > '9')) {
                return false;
            }
            digits += sign ? 0 : 1;
        }
    }
    return false;
}

void AnswerScanner::feed(const uint8_t* bytes, int count) {
    for (int i = 0; i < count; ++i) {
        feed(bytes[i]);
    }
}

void AnswerScanner::feed(uint8_t byte) {
    completed_ = 0;
    answerEnded_ = false;
    ack_ = false;
    switch (state_) {
        case State::Idle:
            ack_ = byte == kACK;
            if (byte == kLF) {
                state_ = State::Text;
                length_ = 0;
            }
            return;
        case State::Text:
            // A new LF starts the frame again: what came before it was not an answer's text.
            if (byte == kLF) {
                length_ = 0;
                return;
            }
            text_[static_cast<std::size_t>(length_++)] = byte;
            if (byte == kCR) {
                state_ = State::Checksum;
            } else if (length_ == kAnswerTextReads) {
                state_ = State::Idle;
            }
            return;
        case State::Checksum:
            checksumHigh_ = byte;
            state_ = State::ChecksumLow;
            return;
        case State::ChecksumLow:
            state_ = State::Idle;
            if (checksumHigh_ * 256 + byte == CalculateCrC(text_.data(), length_) &&
                HasAnswerForm(text_.data(), length_)) {
                answerEnded_ = true;
                frameEnd();
            }
            return;
    }
}

void AnswerScanner::frameEnd() {
    if (answers_ < requests_) {
        completed_ = ++answers_;
    }
}

}  // namespace tallix
