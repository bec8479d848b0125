#include "protocol/CashRegManager.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "protocol/TextConversion.h"
#include "protocol/Timing.h"
#include "serial/LineTrace.h"

namespace tallix {

CashRegManager::CashRegManager() = default;

CashRegManager::~CashRegManager() {
    Close();
}

bool CashRegManager::Open(const std::string& port, int boudRate) {
    // A link object is opened once; a second Open must not leave the first line open.
    Close();
    // A new line: no request on it is waiting for its answer. What the printer's counter is,
    // the first answer tells (a caller that cannot vouch for the line settles it first).
    scanner_ = AnswerScanner();
    frameMark_ = 0;
    known_.reset();
    wokenAt_.reset();
    freshNeeded_ = false;
    // Every port's name begins with the empty text: taken as a prefix it would pick whatever
    // port the machine lists first (a modem, a scale, another printer) and write the
    // protocol's bytes to it.
    if (port.empty()) {
        openError_ = PortError{PortFailure::NoPortGiven, 0, port};
        TraceLineNote("PORT", openError_.describe());
        return false;
    }
    serCom = std::make_unique<SerialManager>();
    // Requests on a closed port change nothing: the lines keep the state opening gives them.
    serCom->setDTR(true);
    serCom->setRTS(false);

    std::string devicePath;
    if (!port.empty() && port.front() == '/') {
        devicePath = port;
    } else {
        const int count = serCom->findRS232Ports();
        for (int i = 0; i < count; ++i) {
            const std::optional<std::string> name = serCom->streamAtIndex(i);
            if (name && name->starts_with(port)) {
                devicePath = serCom->pathAtIndex(i).value_or(std::string());
                break;
            }
        }
        if (devicePath.empty()) {
            openError_ = PortError{PortFailure::NotListed, ENOENT, port};
            TraceLineNote("PORT", openError_.describe());
            return false;
        }
    }
    const bool opened = serCom->open(devicePath, boudRate, 8, 0, 1) != -1;
    openError_ = serCom->openError();
    return opened;
}

void CashRegManager::Close() {
    if (serCom) {
        (void)LeaveLineClean();
        serCom->close();
        serCom.reset();
    }
}

bool CashRegManager::InitializeCR(int logicalID, const uint8_t charMap[256], uint64_t codePage) {
    logical_ID = logicalID;
    if (charMap != nullptr) {
        std::memcpy(ECR_CHARMAP, charMap, sizeof ECR_CHARMAP);
    }
    string_codepage_ = codePage;
    return true;
}

void CashRegManager::MacToChill(const std::string& text, uint8_t* destination,
                                int destinationLen) const {
    tallix::MacToChill(text, string_codepage_, ECR_CHARMAP, destination, destinationLen);
}

bool CashRegManager::ChopField(int index, const uint8_t* source, int sourceLength,
                               uint8_t* destination, int destinationLength) {
    return tallix::ChopField(index, source, sourceLength, destination, destinationLength);
}

void CashRegManager::SendFF(int count) {
    if (!serCom || count < 1) {
        return;
    }
    count = std::min(count, kMaxFillRun);
    const std::vector<uint8_t> fill(static_cast<std::size_t>(count), kFill);
    serCom->write(fill.data(), count);
}

void CashRegManager::SendFF() {
    SendFF(kFillRun);
}

bool CashRegManager::ClearReadBuf() {
    lineChatters_ = false;
    if (!serCom) {
        return true;
    }
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                           std::chrono::duration<double>(kDrainLimit));
    for (int bytes = 0; ReadByte(kDrainTimeout) != -1; ++bytes) {
        if (bytes >= kDrainLimitBytes || std::chrono::steady_clock::now() >= limit) {
            lineChatters_ = true;
            return false;
        }
    }
    return true;
}

namespace {

std::chrono::steady_clock::duration Seconds(double value) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(value));
}

}  // namespace

void CashRegManager::knowSlowest(double seconds) {
    slowest_ = std::max(slowest_, seconds);
}

double CashRegManager::QuietNeeded() const {
    return std::max(kSettleQuiet, slowest_ + kQuietMargin);
}

CashRegManager::Silence CashRegManager::WaitForSilence(double quiet, bool stopOnAck) {
    if (!serCom) {
        return Silence::Dead;
    }
    const auto limit = Clock::now() + Seconds(quiet + kSettleLimit);
    auto quietUntil = Clock::now() + Seconds(quiet);
    for (auto now = Clock::now(); now < quietUntil; now = Clock::now()) {
        if (now >= limit || !serCom->lineAlive()) {
            return Silence::Dead;
        }
        const double left = std::chrono::duration<double>(quietUntil - now).count();
        if (ReadByte(std::min(left, kSettleRead)) != -1) {
            if (stopOnAck && scanner_.ackSeen()) {
                return Silence::Acknowledged;
            }
            quietUntil = Clock::now() + Seconds(quiet);
        }
    }
    return Silence::Reached;
}

void CashRegManager::LineIsQuiet() {
    scanner_.forgetUnanswered();
    frameMark_ = scanner_.requests();
}

bool CashRegManager::Settle() {
    if (WaitForSilence(QuietNeeded(), false) != Silence::Reached) {
        return false;
    }
    LineIsQuiet();
    known_.reset();
    wokenAt_.reset();
    freshNeeded_ = false;
    return true;
}

bool CashRegManager::LeaveLineClean() {
    if (!serCom) {
        return false;
    }
    // The answers still owed come as far apart as their requests went out, up to one
    // exchange's wait apart. A line on which nothing ever answered owes nothing.
    const auto quiet = [this] {
        return Seconds(slowest_ + kQuietMargin + kLineFeedReads * kAnswerByteTimeout);
    };
    const auto limit = Clock::now() + quiet() + Seconds(kSettleLimit);
    auto quietUntil = Clock::now() + quiet();
    bool drained = true;
    for (auto now = Clock::now();
         scanner_.answers() > 0 && scanner_.unanswered() > 0 && now < quietUntil;
         now = Clock::now()) {
        if (now >= limit || !serCom->lineAlive()) {
            drained = false;
            break;
        }
        const double left = std::chrono::duration<double>(quietUntil - now).count();
        if (ReadByte(std::min(left, kSettleRead)) != -1) {
            // Each answer may show the printer slower than thought: the silence grows with it.
            quietUntil = Clock::now() + quiet();
        }
    }
    // What did not come in that silence will not come: a second call waits for nothing.
    LineIsQuiet();
    return drained && !freshNeeded_;
}

int CashRegManager::ReadByte(double timeout) {
    const int byte = serCom->readByte(timeout);
    if (byte >= 0) {
        Scanned(static_cast<uint8_t>(byte));
    }
    return byte;
}

void CashRegManager::TakeBuffered() {
    uint8_t bytes[SerialManager::kReadBufferSize];
    const int count = serCom->readBuffered(bytes, SerialManager::kReadBufferSize);
    for (int i = 0; i < count; ++i) {
        Scanned(bytes[i]);
    }
}

void CashRegManager::Scanned(uint8_t byte) {
    ++bytesRead_;
    scanner_.feed(byte);
    // An answer belongs to the latest request written before it or an earlier one: it took at
    // least this long.
    if (scanner_.answerEnded() && scanner_.requests() > 0) {
        slowest_ = std::max(slowest_,
                            std::chrono::duration<double>(Clock::now() - lastRequestAt_).count());
    }
}

bool CashRegManager::Reset() {
    if (!serCom) {
        return false;
    }
    SendFF();
    const uint8_t dc3[kResetDC3Count] = {kDC3, kDC3, kDC3};
    if (serCom->write(dc3, kResetDC3Count) <= 0) {
        return false;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(kResetPause));
    SendFF();
    return true;
}

}  // namespace tallix
