// A command file is whatever the calling program wrote: any bytes, any line ends, any field
// counts. The first input byte picks which printer operation fails (0: none); the rest is the
// file. It is read from disk, decoded, cut into lines and fields and dispatched into a device
// that records the calls and sends nothing. Once an operation has failed, no further one may
// be called.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "batch/CommandDispatch.h"
#include "batch/CommandFile.h"
#include "batch/ResultFile.h"
#include "device/VX37RO.h"
#include "fuzz/FuzzCheck.h"

using tallix::fuzz::Require;

namespace {

// Answers every operation without touching the line: true, except for the call numbered
// failAt (from 1).
class RecordingDevice : public tallix::VX37RO {
  public:
    explicit RecordingDevice(int failAt) : failAt_(failAt) {}

    int calls() const { return calls_; }

    bool Open(const std::string&, int) override { return answer(); }
    void Close() override {}
    bool Initialize(int) override { return answer(); }
    void SetCodePage(uint64_t) override {}
    tallix::Outcome Sell_SellItem(const std::string& item, double, double, int shtand,
                                  int stockGroup, int) override {
        Require(shtand == 1 && stockGroup == 1);
        touch(item);
        return answer();
    }
    tallix::Outcome Sell_Payment(int, double) override { return answer(); }
    bool Sell_PrintText(const std::string& a, const std::string& b, const std::string& c,
                        const std::string& d, const std::string& e) override {
        for (const std::string* row : {&a, &b, &c, &d, &e}) {
            touch(*row);
        }
        return answer();
    }
    tallix::Outcome Sell_Percent(int kind, double percent) override {
        Require(kind == 0 || kind == 1);
        Require(percent >= 0.0 && percent <= 99.99);
        return answer();
    }
    bool Sell_PrintBarcode(int, const std::string& data) override {
        touch(data);
        return answer();
    }
    bool Report_FiscalDay() override { return answer(); }
    bool Report_NonFiscalDay() override { return answer(); }
    bool Oxel_GetSerial(std::string&) override { return answer(); }
    bool Other_Beep() override { return answer(); }
    tallix::Outcome Other_ServiceMoneyTransfer(int, double) override { return answer(); }
    bool Other_PrintDubliate() override { return answer(); }

  private:
    bool answer() {
        Require(!failed_);  // nothing is sent after a failed command
        ++calls_;
        failed_ = calls_ == failAt_;
        return !failed_;
    }
    // Reads every byte, so that AddressSanitizer sees a text that is not what it claims.
    void touch(const std::string& text) {
        unsigned sum = 0;
        for (const char c : text) {
            sum += static_cast<unsigned char>(c);
        }
        sink_ += sum;
    }

    int failAt_;
    int calls_ = 0;
    bool failed_ = false;
    unsigned sink_ = 0;
};

const std::string& ScratchPath() {
    static const std::string path = [] {
        const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(folder) + "/tallix-fuzz-commands-" + std::to_string(getpid());
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tallix;
    if (size < 1 || size > 65536) {
        return 0;
    }
    const int failAt = data[0] & 0x0F;
    const bool fullResultDevice = (data[0] & 0x80) != 0;

    FILE* out = std::fopen(ScratchPath().c_str(), "wb");
    if (out == nullptr) {
        return 0;
    }
    const bool written = std::fwrite(data + 1, 1, size - 1, out) == size - 1;
    if (std::fclose(out) != 0 || !written) {
        return 0;
    }
    CommandFileRead read = ReadCommandFile(ScratchPath());
    if (size == 1) {
        Require(read.status != 0);  // an empty file gives no text
        return 0;
    }
    Require(read.status == 0);  // any bytes decode

    // Every line cuts into fields without trouble, whatever it holds.
    for (std::size_t i = 0; i < read.lines.size(); ++i) {
        const CommandLine line(read.lines[i]);
        (void)line.commandNumber();
        for (std::size_t f = 0; f <= line.fieldCount(); ++f) {
            (void)line.decimal(f);
            (void)line.integer(f);
        }
    }

    std::optional<ResultFile> result =
        ResultFile::Open(fullResultDevice ? "/dev/full" : "/dev/null");
    if (!result) {
        return 0;
    }
    RecordingDevice device(failAt);
    const bool completed = ExecuteCommandLines(device, *result, read.lines);
    if (!fullResultDevice) {
        Require(completed);
    }
    Require(static_cast<std::size_t>(device.calls()) <= read.lines.size());
    return 0;
}
