#include "batch/PortCommands.h"

#include <optional>

#include "batch/ExitCodes.h"
#include "config/Numbers.h"
#include "config/Preferences.h"
#include "device/PrinterDetection.h"
#include "serial/PortIdentity.h"

namespace tallix {

namespace {

constexpr int kNoPrinterFound = 1;

// The logical ID of the entry a batch run would use when it names none, if there is one.
std::optional<int> DefaultEntryLogicalID() {
    const PreferencesDocument document = Preferences().read();
    if (!document) {
        return std::nullopt;
    }
    const std::optional<DeviceEntry> entry =
        FindEntryByKey(*document, FirstDefaultKeyBelowRoot(*document));
    if (!entry || entry->logicalID.empty()) {
        return std::nullopt;
    }
    return ParseLeadingInt(entry->logicalID);
}

int Finish(std::FILE* out, int exitCode) {
    return std::fflush(out) == 0 ? exitCode : 1;
}

}  // namespace

int ListPorts(std::FILE* out) {
    for (const PortIdentity& port : ListPortIdentities()) {
        (void)std::fprintf(out, "%s\t%s\t%s\t%s\t%s\t%s\t%s\n", port.name.c_str(),
                           port.path.c_str(), port.byIdPath.c_str(), port.vendor.c_str(),
                           port.model.c_str(), port.serialNumber.c_str(), port.driver.c_str());
    }
    return Finish(out, kExitOk);
}

int DetectPrintersCommand(const std::vector<std::string>& arguments, std::FILE* out,
                          std::FILE* err) {
    bool allIDs = false;
    std::vector<std::string> texts = arguments;
    if (!texts.empty() && texts.front() == "--all-ids") {
        allIDs = true;
        texts.erase(texts.begin());
    }

    const ResolvedPorts resolved = ResolvePorts(texts, ListPortIdentities());
    for (const std::string& text : resolved.unknown) {
        (void)std::fprintf(err, "tallix: no serial port named \"%s\"\n", text.c_str());
    }
    if (resolved.ports.empty()) {
        (void)std::fprintf(err, "tallix: no serial port to search\n");
        return kNoPrinterFound;
    }

    std::vector<int> first;
    if (const std::optional<int> id = DefaultEntryLogicalID()) {
        first.push_back(*id);
    }
    const std::vector<PortReport> reports =
        DetectPrinters(resolved.ports, DetectionPlan(first, allIDs));

    bool found = false;
    for (const PortReport& report : reports) {
        const char* label = report.port.label.c_str();
        switch (report.outcome) {
            case PortOutcome::Found:
                found = true;
                (void)std::fprintf(out, "%s\t%d\t%d\t%s\n", label, report.printer->speed,
                                   report.printer->logicalID, report.printer->serialNumber.c_str());
                break;
            case PortOutcome::Busy:
            case PortOutcome::CannotOpen:
                (void)std::fprintf(err, "tallix: %s: %s; skipped\n", label,
                                   report.reason().c_str());
                break;
            case PortOutcome::NotFound:
            case PortOutcome::Cancelled:
                break;
        }
    }
    return Finish(out, found ? kExitOk : kNoPrinterFound);
}

}  // namespace tallix
