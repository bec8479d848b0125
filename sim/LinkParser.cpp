#include "sim/LinkParser.h"

#include "protocol/Checksum.h"
#include "protocol/Frame.h"

namespace tallix {

void LinkParser::addNoise(uint8_t byte) {
    if (noise_.size() < kNoiseKept) {
        noise_ += static_cast<char>(byte);
    }
    ++noiseCount_;
}

void LinkParser::flush(std::vector<LinkEvent>& events) {
    // DC3 bytes that did not make a reset are noise too.
    for (; dc3Run_ > 0; --dc3Run_) {
        addNoise(kDC3);
    }
    if (noiseCount_ == 0) {
        return;
    }
    LinkEvent event;
    event.kind = LinkEvent::Kind::Noise;
    event.text = noise_;
    event.count = noiseCount_;
    events.push_back(std::move(event));
    noise_.clear();
    noiseCount_ = 0;
}

void LinkParser::abandonRequest() {
    addNoise(kDC1);
    if (state_ == State::WakeId) {
        addNoise(kDC1);
        for (const char c : text_) {
            addNoise(static_cast<uint8_t>(c));
        }
    }
    text_.clear();
    state_ = State::Idle;
}

void LinkParser::discard(const char* reason, std::vector<LinkEvent>& events) {
    LinkEvent event;
    event.kind = LinkEvent::Kind::Discarded;
    event.text = text_.substr(0, kNoiseKept);
    event.reason = reason;
    events.push_back(std::move(event));
    text_.clear();
    state_ = State::Idle;
}

void LinkParser::feed(uint8_t byte, std::vector<LinkEvent>& events) {
    // The checksum bytes may take any value, DC3 included.
    if (state_ == State::Checksum) {
        checksum(byte, events);
        return;
    }
    if (byte == kDC3) {
        dc3(events);
        return;
    }
    for (; dc3Run_ > 0; --dc3Run_) {
        addNoise(kDC3);
    }
    switch (state_) {
        case State::Idle:
            idle(byte, events);
            return;
        case State::Dc1:
            dc1(byte, events);
            return;
        case State::WakeId:
            wakeId(byte, events);
            return;
        case State::Text:
            text(byte, events);
            return;
        case State::Checksum:
            return;  // handled above
    }
}

void LinkParser::checksum(uint8_t byte, std::vector<LinkEvent>& events) {
    if (!haveCrcHigh_) {
        crcHigh_ = byte;
        haveCrcHigh_ = true;
        return;
    }
    const std::string withCr = text_ + '\r';
    const uint16_t expected = CalculateCrC(reinterpret_cast<const uint8_t*>(withCr.data()),
                                           static_cast<int>(withCr.size()));
    const auto received = static_cast<uint16_t>((crcHigh_ << 8) | byte);
    LinkEvent event;
    event.kind = LinkEvent::Kind::Frame;
    event.text = std::move(text_);
    event.crcOk = expected == received;
    events.push_back(std::move(event));
    text_.clear();
    haveCrcHigh_ = false;
    state_ = State::Idle;
}

void LinkParser::dc3(std::vector<LinkEvent>& events) {
    if (state_ == State::Text) {
        discard("interrupted", events);
    } else if (state_ != State::Idle) {
        abandonRequest();
    }
    if (++dc3Run_ == 3) {
        dc3Run_ = 0;
        flush(events);
        events.push_back(LinkEvent{LinkEvent::Kind::Reset, {}, false, {}, 0});
    }
}

void LinkParser::dc1(uint8_t byte, std::vector<LinkEvent>& events) {
    if (byte == kDC1) {
        state_ = State::WakeId;
        text_.clear();
        return;
    }
    addNoise(kDC1);
    state_ = State::Idle;
    idle(byte, events);
}

void LinkParser::wakeId(uint8_t byte, std::vector<LinkEvent>& events) {
    if (byte < 0x20 || byte == kFill) {
        // Not an ID character: the request was broken off.
        abandonRequest();
        idle(byte, events);
        return;
    }
    text_ += static_cast<char>(byte);
    if (text_.size() == 2) {
        flush(events);
        LinkEvent event;
        event.kind = LinkEvent::Kind::WakeUp;
        event.text = std::move(text_);
        events.push_back(std::move(event));
        text_.clear();
        state_ = State::Idle;
    }
}

void LinkParser::text(uint8_t byte, std::vector<LinkEvent>& events) {
    if (byte == kCR) {
        state_ = State::Checksum;
        haveCrcHigh_ = false;
        return;
    }
    if (byte < 0x20 || byte == kFill) {
        discard("interrupted", events);
        idle(byte, events);
        return;
    }
    if (text_.size() >= kMaxText) {
        discard("too long", events);
        addNoise(byte);
        return;
    }
    text_ += static_cast<char>(byte);
}

void LinkParser::idle(uint8_t byte, std::vector<LinkEvent>& events) {
    switch (byte) {
        case kFill:
        case kACK:  // the host's receipt of a wake-up answer
            return;
        case kLF:
            flush(events);
            text_.clear();
            state_ = State::Text;
            return;
        case kDC1:
            state_ = State::Dc1;
            return;
        default:
            addNoise(byte);
            return;
    }
}

}  // namespace tallix
