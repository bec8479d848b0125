#include "service/Daemon.h"

#include <systemd/sd-daemon.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "device/VX37RO.h"
#include "posix/SystemLog.h"
#include "service/Access.h"
#include "service/Api.h"
#include "service/HttpServer.h"
#include "service/JobStore.h"
#include "service/PrinterWorker.h"
#include "service/ServiceOptions.h"

#ifndef TALLIX_VERSION
#define TALLIX_VERSION "unknown"
#endif

namespace tallix {
namespace {

const char* UsageText() {
    return "Usage: tallixd --devices FILE --state DIR --listen ADDRESS [--listen ADDRESS ...]\n"
           "               [--token-file FILE] [--allow-origin ORIGIN ...]\n"
           "\n"
           "The printer service: point-of-sale programs send command files over HTTP and get\n"
           "back the result lines that batch mode (tallix) would write.\n"
           "\n"
           "  --devices FILE      device entries (Data/Devices/Device with Key, Type, Path,\n"
           "                      Speed, LogicalID, SerialNumber); a printer is named by its Key\n"
           "  --state DIR         the job store and the printers' job journals (made 0700)\n"
           "  --listen ADDRESS    unix:PATH (mode 0660), 127.0.0.1:PORT or [::1]:PORT (0: any\n"
           "                      free port); not needed when systemd passes the sockets\n"
           "  --token-file FILE   tokens, one per line (# starts a comment); every request on a\n"
           "                      TCP listener needs Authorization: Bearer TOKEN\n"
           "  --allow-origin ORIGIN  a web page origin (scheme://host:port) that may call\n"
           "  --help, --version\n"
           "\n"
           "Prints one line per listener once all listen, \"listening on http://127.0.0.1:PORT\"\n"
           "or \"listening on unix:PATH\". More in the manual: man tallixd\n";
}

int Refuse(const std::string& why, int code) {
    (void)std::fprintf(stderr, "tallixd: %s\n", why.c_str());
    LogToSystem("tallixd: " + why);
    return code;
}

}  // namespace

std::optional<std::vector<DeviceEntry>> LoadDevices(const std::string& path, std::string& error) {
    const PreferencesDocument document = Preferences(path).read();
    if (!document) {
        error = "--devices " + path + ": missing, unreadable or not XML";
        return std::nullopt;
    }
    std::vector<DeviceEntry> entries;
    std::set<std::string> keys;
    for (const pugi::xml_node devices : document->document_element().children("Devices")) {
        for (const pugi::xml_node device : devices.children("Device")) {
            const std::string key = device.attribute("Key").value();
            if (key.empty() || !keys.insert(key).second) {
                continue;
            }
            if (const std::optional<DeviceEntry> entry = FindEntryByKey(*document, key)) {
                entries.push_back(*entry);
            }
        }
    }
    return entries;
}

namespace {

std::optional<AccessRules> LoadAccessRules(const ServiceOptions& options, std::string& error) {
    AccessRules rules;
    rules.allowOrigins = options.allowOrigins;
    if (!options.tokenFile.empty()) {
        std::optional<std::vector<std::string>> tokens = LoadTokens(options.tokenFile, error);
        if (!tokens) {
            return std::nullopt;
        }
        rules.tokens = std::move(*tokens);
    }
    return rules;
}

// Sockets that systemd passes come first; a --listen that names one of them is that
// socket, not a second one bound over it.
bool OpenListeners(HttpServer& server, const ServiceOptions& options, int passed,
                   const AccessRules& rules, std::string& error) {
    std::set<std::string> adopted;
    for (int i = 0; i < std::max(passed, 0); ++i) {
        bool tcp = false;
        std::string where;
        if (!server.Adopt(SD_LISTEN_FDS_START + i, tcp, where, error)) {
            return false;
        }
        if (tcp && rules.tokens.empty()) {
            error = "a TCP socket from systemd needs --token-file";
            return false;
        }
        adopted.insert(where);
    }
    for (const ListenAddress& address : options.listen) {
        if (adopted.count(ListenAddressText(address)) == 0 && !server.Listen(address, error)) {
            return false;
        }
    }
    return true;
}

// Listens, starts one worker per printer and serves until the server stops.
int Serve(const ServiceOptions& options, const std::vector<DeviceEntry>& devices,
          const AccessRules& rules, JobStore& store, int passed) {
    // The workers tell the server of every job change; the server exists before them.
    HttpServer* serverForWorkers = nullptr;
    std::map<std::string, std::unique_ptr<PrinterWorker>> workers;
    std::map<std::string, PrinterWorker*> printers;
    for (const DeviceEntry& entry : devices) {
        printers[entry.key] = nullptr;
    }
    Api api(rules, store, printers, TALLIX_VERSION);
    HttpServer server(api);
    serverForWorkers = &server;
    std::string error;
    if (!OpenListeners(server, options, passed, rules, error)) {
        return Refuse(error, 1);
    }
    for (const DeviceEntry& entry : devices) {
        auto worker = std::make_unique<PrinterWorker>(
            entry, store, VX37ROFactory(),
            [serverForWorkers](const std::string& id) { serverForWorkers->JobChanged(id); });
        printers[entry.key] = worker.get();
        workers[entry.key] = std::move(worker);
    }
    api.SetPrinters(printers);
    for (auto& [key, worker] : workers) {
        worker->Wake();  // jobs accepted before a restart continue by themselves
    }
    for (const std::string& line : server.Announcements()) {
        (void)std::printf("%s\n", line.c_str());
    }
    (void)std::fflush(stdout);
    (void)sd_notify(0, "READY=1");
    server.Run();
    (void)sd_notify(0, "STOPPING=1");
    for (auto& [key, worker] : workers) {
        worker->Stop();
    }
    return 0;
}

}  // namespace

int TallixdMain(int argc, char* argv[]) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    const std::optional<ServiceOptions> options = ParseServiceOptions(arguments, error);
    if (!options) {
        (void)std::fprintf(stderr, "tallixd: %s\n\n%s", error.c_str(), UsageText());
        return 2;
    }
    if (options->help) {
        (void)std::fputs(UsageText(), stdout);
        return 0;
    }
    if (options->version) {
        (void)std::printf("tallixd %s\n", TALLIX_VERSION);
        return 0;
    }
    const int passed = sd_listen_fds(1);
    if (options->listen.empty() && passed <= 0) {
        return Refuse("--listen is required (or sockets passed by systemd)", 2);
    }
    const std::optional<std::vector<DeviceEntry>> devices =
        LoadDevices(options->devicesFile, error);
    if (!devices) {
        return Refuse(error, 1);
    }
    const std::optional<AccessRules> rules = LoadAccessRules(*options, error);
    if (!rules) {
        return Refuse(error, 1);
    }
    const std::unique_ptr<JobStore> store = JobStore::Open(options->stateFolder, error);
    if (!store) {
        return Refuse("--state " + options->stateFolder + ": " + error, 1);
    }
    return Serve(*options, *devices, *rules, *store, passed);
}

}  // namespace tallix
