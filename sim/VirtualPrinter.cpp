#include "sim/VirtualPrinter.h"

#include <cstdio>
#include <utility>

#include "protocol/Frame.h"
#include "sim/JournalLine.h"

namespace tallix {

namespace {

// Noise before an answer: anything but LF.
constexpr uint8_t kNoiseByte = 0x3F;

int32_t Next(int32_t sequence) {
    return static_cast<int32_t>(static_cast<uint32_t>(sequence) + 1U);
}

// Every random fault draws from a generator of its own, seeded from the one seed, so that
// turning one on never shifts the draws of another.
FaultSettings Seeded(const FaultSettings& given) {
    FaultSettings faults = given;
    Draws seeds(faults.seed);
    for (CountedFault* fault :
         {&faults.dropAck, &faults.dropFrame, &faults.refuseFrame, &faults.corruptAnswer,
          &faults.noiseAnswer, &faults.dropAnswer, &faults.doubleAnswer, &faults.falseAnswer}) {
        fault->draws = Draws(seeds.next());
    }
    return faults;
}

// A wake-up answer whose checksum is wrong; the text is intact.
void SpoilChecksum(std::vector<uint8_t>& answer) {
    answer[answer.size() - 1] ^= 0x5A;
    answer[answer.size() - 2] ^= 0xA5;
}

}  // namespace

VirtualPrinter::VirtualPrinter(PrinterSettings settings, const FaultSettings& faults,
                               LineSink journalSink, FiscalPrinter::PaperSink paper,
                               const FiscalPrinter::Clock& clock)
    : settings_(std::move(settings)),
      faults_(Seeded(faults)),
      journal_(std::move(journalSink)),
      clock_(clock),
      fiscal_(settings_.serial, std::move(paper), clock),
      sequence_(settings_.sequence),
      jitter_(faults.seed),
      falseDelays_(Draws(faults.seed ^ 0xFA15EULL).next()) {
    journal(JournalLine(time(), "start")
                .add("serial", settings_.serial)
                .add("logical_id", static_cast<int64_t>(settings_.logicalId))
                .add("sequence", sequence_)
                .str());
}

double VirtualPrinter::time() const {
    return clock_ ? clock_() : 0.0;
}

void VirtualPrinter::journal(const std::string& line) {
    if (journal_) {
        journal_(line);
    }
}

int VirtualPrinter::replyDelayMs() {
    if (faults_.jitterMaxMs <= faults_.jitterMinMs) {
        return faults_.delayMs + faults_.jitterMinMs;
    }
    // The generator's output is fixed by the standard; the reduction keeps the draw the same
    // with every library (a distribution object would not).
    const auto span = static_cast<uint64_t>(faults_.jitterMaxMs - faults_.jitterMinMs) + 1;
    return faults_.delayMs + faults_.jitterMinMs + static_cast<int>(jitter_() % span);
}

std::string VirtualPrinter::WakeUpId(int logicalId) {
    char id[16];
    (void)std::snprintf(id, sizeof id, "%.2d", logicalId);
    return {id, 2};
}

std::vector<uint8_t> VirtualPrinter::AnswerFrame(const std::string& serial, int32_t sequence) {
    const std::string text = serial + ";" + std::to_string(sequence) + ";";
    return BuildFrame(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()));
}

std::vector<Reply> VirtualPrinter::feed(const uint8_t* bytes, std::size_t count) {
    std::vector<Reply> replies;
    std::vector<LinkEvent> events;
    for (std::size_t i = 0; i < count && !hungUp_; ++i) {
        parser_.feed(bytes[i], events);
        for (const auto& event : events) {
            handle(event, replies);
        }
        events.clear();
    }
    return replies;
}

void VirtualPrinter::flush() {
    std::vector<LinkEvent> events;
    parser_.flush(events);
    std::vector<Reply> ignored;
    for (const auto& event : events) {
        handle(event, ignored);
    }
}

void VirtualPrinter::hostSpeed(int64_t speed, bool heard) {
    flush();
    journal(JournalLine(time(), "line_speed").add("speed", speed).add("heard", heard).str());
}

void VirtualPrinter::stop(const std::string& why) {
    flush();
    applyDueMoves();
    journal(JournalLine(time(), "stop")
                .add("reason", why)
                .add("commands", commands_)
                .add("sequence", sequence_)
                .str());
}

void VirtualPrinter::recover() {
    faults_ = FaultSettings{};
    journal(JournalLine(time(), "recovered").add("sequence", sequence_).str());
}

void VirtualPrinter::handle(const LinkEvent& event, std::vector<Reply>& replies) {
    applyDueMoves();
    switch (event.kind) {
        case LinkEvent::Kind::Reset:
            journal(JournalLine(time(), "reset").str());
            return;
        case LinkEvent::Kind::WakeUp:
            wakeUp(event, replies);
            return;
        case LinkEvent::Kind::Frame:
            frame(event, replies);
            return;
        case LinkEvent::Kind::Discarded:
            journal(JournalLine(time(), "discarded")
                        .add("text", event.text)
                        .add("reason", event.reason)
                        .str());
            return;
        case LinkEvent::Kind::Noise:
            journal(JournalLine(time(), "noise")
                        .add("text", event.text)
                        .add("bytes", static_cast<int64_t>(event.count))
                        .str());
            return;
    }
}

std::string VirtualPrinter::silenceReason() {
    if (faults_.mute) {
        return "mute";
    }
    if (faults_.muteAfterCommands >= 0 && commands_ >= faults_.muteAfterCommands) {
        return "mute after commands";
    }
    if (faults_.muteAfterWakeups >= 0 && answered_ >= faults_.muteAfterWakeups) {
        return "mute after wake-ups";
    }
    // Counted only among the wake-ups that would otherwise be answered.
    return faults_.dropAnswer.strike() ? "dropped" : "";
}

void VirtualPrinter::wakeUp(const LinkEvent& event, std::vector<Reply>& replies) {
    const bool ours = event.text == WakeUpId(settings_.logicalId);
    if (ours) {
        falseAnswer("wakeup", replies);
    }
    const std::string reason = ours ? silenceReason() : "other id";
    JournalLine line(time(), "wakeup");
    line.add("id", event.text).add("answered", reason.empty()).add("reason", reason);
    if (!reason.empty()) {
        journal(line.add("seq_before", sequence_).add("seq_after", sequence_).str());
        return;
    }
    ++answered_;
    std::vector<uint8_t> answer = AnswerFrame(settings_.serial, sequence_);
    const bool corrupt = faults_.corruptAnswer.strike();
    if (corrupt) {
        SpoilChecksum(answer);
    }
    int noise = 0;
    if (faults_.noiseBytes > 0 && faults_.noiseAnswer.strike()) {
        noise = faults_.noiseBytes;
        answer.insert(answer.begin(), static_cast<std::size_t>(noise), kNoiseByte);
    }
    const bool doubled = faults_.doubleAnswer.strike();
    const std::string text = settings_.serial + ";" + std::to_string(sequence_) + ";";
    journal(line.add("answer", text)
                .add("corrupted", corrupt)
                .add("noise", static_cast<int64_t>(noise))
                .add("doubled", doubled)
                .add("seq_before", sequence_)
                .add("seq_after", sequence_)
                .str());
    const int delay = replyDelayMs();
    replies.push_back(Reply{answer, delay});
    if (doubled) {
        replies.push_back(Reply{std::move(answer), delay + faults_.doubleGapMs, true});
    }
}

void VirtualPrinter::falseAnswer(const char* after, std::vector<Reply>& replies) {
    if (!faults_.falseAnswer.strike()) {
        return;
    }
    std::vector<uint8_t> bytes = AnswerFrame(settings_.serial, sequence_);
    SpoilChecksum(bytes);
    const auto delay =
        static_cast<int>(falseDelays_.between(faults_.falseMinMs, faults_.falseMaxMs));
    journal(JournalLine(time(), "false_answer")
                .add("after", after)
                .add("answer", settings_.serial + ";" + std::to_string(sequence_) + ";")
                .add("delay_ms", static_cast<int64_t>(delay))
                .str());
    replies.push_back(Reply{std::move(bytes), delay, true});
}

void VirtualPrinter::moveSequence() {
    if (faults_.sequenceLagMs > 0) {
        dueMoves_.push_back(time() + faults_.sequenceLagMs / 1000.0);
        return;
    }
    sequence_ = Next(sequence_);
}

void VirtualPrinter::applyDueMoves() {
    while (!dueMoves_.empty() && dueMoves_.front() <= time()) {
        dueMoves_.pop_front();
        setSequence(Next(sequence_), "late");
    }
}

void VirtualPrinter::setSequence(int32_t value, const char* reason) {
    journal(JournalLine(time(), "sequence")
                .add("reason", reason)
                .add("seq_before", sequence_)
                .add("seq_after", value)
                .str());
    sequence_ = value;
}

void VirtualPrinter::frame(const LinkEvent& event, std::vector<Reply>& replies) {
    JournalLine line(time(), "frame");
    line.add("text", event.text).add("crc_ok", event.crcOk);
    const int32_t before = sequence_;
    const auto unexecuted = [&](const char* reason, const char* fault) {
        journal(line.add("acked", false)
                    .add("executed", false)
                    .add("reason", reason)
                    .add("fault", fault)
                    .add("seq_before", before)
                    .add("seq_after", before)
                    .str());
    };
    if (!event.crcOk) {
        unexecuted("bad checksum", "");
        return;
    }
    ++intactFrames_;
    falseAnswer("frame", replies);
    if (faults_.dropFrame.strike()) {
        unexecuted("dropped", "drop-frame");
    } else {
        command(event.text, line, replies);
    }
    // A printer that lost its count (switched off and on, say) comes back with another one.
    if (intactFrames_ == faults_.setSequenceAt) {
        dueMoves_.clear();
        setSequence(faults_.setSequenceTo, "set");
    }
}

void VirtualPrinter::command(const std::string& text, JournalLine& line,
                             std::vector<Reply>& replies) {
    const int32_t before = sequence_;
    ++commands_;
    const bool ack = !faults_.dropAck.strike();
    if (ack) {
        replies.push_back(Reply{{kACK}, replyDelayMs()});
    }
    const bool refuse = faults_.refuseFrame.strike();
    const CommandResult result = refuse ? CommandResult{false, "refused"} : fiscal_.execute(text);
    if (result.executed && !faults_.freezeSequence) {
        moveSequence();
    }
    std::string fault = ack ? "" : "drop-ack";
    if (refuse) {
        fault += fault.empty() ? "refuse-frame" : ",refuse-frame";
    }
    journal(line.add("acked", ack)
                .add("executed", result.executed)
                .add("reason", result.reason)
                .add("fault", fault)
                .add("seq_before", before)
                .add("seq_after", sequence_)
                .str());
    if (faults_.hangupAfter >= 0 && commands_ >= faults_.hangupAfter) {
        hungUp_ = true;
        journal(JournalLine(time(), "hangup").add("commands", commands_).str());
    }
}

}  // namespace tallix
