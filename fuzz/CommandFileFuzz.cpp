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
#include <optional>
#include <string>
#include <vector>

#include "batch/CommandDispatch.h"
#include "batch/CommandFile.h"
#include "batch/ResultFile.h"
#include "fuzz/FuzzCheck.h"
#include "protocol/Windows1250.h"
#include "tests/support/RecordingDevice.h"

using tallix::fuzz::Require;

namespace {

// What the dispatch may ask of the printer, whatever the file holds: sales always at stand 1
// in stock group 1, and percentages of kind 0 or 1 between 0 and 99.99.
void RequireSoundArguments(const std::string& call) {
    const auto number = [](const std::string& text) { return std::strtod(text.c_str(), nullptr); };
    if (call.rfind("Sell_SellItem(", 0) == 0) {
        // "Sell_SellItem(<name>, <price>, <quantity>, <stand>, <stock group>, <vat>)"; the
        // name may hold anything, so the fields are taken from the end.
        const std::size_t vat = call.rfind(", ");
        const std::size_t stockGroup = call.rfind(", ", vat - 1);
        const std::size_t stand = call.rfind(", ", stockGroup - 1);
        Require(stand != std::string::npos);
        Require(call.compare(stand, vat - stand, ", 1, 1") == 0);
    } else if (call.rfind("Sell_Percent(", 0) == 0) {
        const std::string kind = call.substr(13, 3);
        Require(kind == "0, " || kind == "1, ");
        const double percent = number(call.substr(16));
        Require(percent >= 0.0 && percent <= 99.99);
    }
}

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
    CommandLines::Cursor cursor(read.lines);
    while (const std::optional<std::string_view> bytes = cursor.next()) {
        const std::string text = DecodeWindows1250(*bytes);
        const CommandLine line(text);
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
    test::DeviceScript script;
    script.failAtCall = failAt;
    bool completed = false;
    {
        test::RecordingDevice device(script);
        completed = ExecuteCommandLines(device, *result, read.lines);
    }
    if (!fullResultDevice) {
        Require(completed);
    }
    const std::vector<std::string> calls = script.calls();
    Require(calls.size() <= read.lines.size());
    // Nothing is sent after a failed command.
    if (failAt > 0) {
        Require(calls.size() <= static_cast<std::size_t>(failAt));
    }
    for (const std::string& call : calls) {
        RequireSoundArguments(call);
    }
    return 0;
}
