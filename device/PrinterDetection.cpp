#include "device/PrinterDetection.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace tallix {

namespace {

// The file a path finally names (links followed), or the path itself when it does not exist.
std::string RealPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

PortToProbe FromListing(const PortIdentity& port) {
    return {port.byIdPath.empty() ? port.path : port.byIdPath, port.path};
}

void AddOnce(std::vector<PortToProbe>& ports, PortToProbe port) {
    const bool present = std::any_of(ports.begin(), ports.end(), [&port](const PortToProbe& p) {
        return RealPath(p.path) == RealPath(port.path);
    });
    if (!present) {
        ports.push_back(std::move(port));
    }
}

}  // namespace

ResolvedPorts ResolvePorts(const std::vector<std::string>& texts,
                           const std::vector<PortIdentity>& listed) {
    ResolvedPorts resolved;
    if (texts.empty()) {
        for (const PortIdentity& port : listed) {
            AddOnce(resolved.ports, FromListing(port));
        }
        return resolved;
    }
    for (const std::string& text : texts) {
        if (text.starts_with('/')) {
            const std::string real = RealPath(text);
            const auto known = std::find_if(listed.begin(), listed.end(), [&](const auto& port) {
                return RealPath(port.path) == real;
            });
            AddOnce(resolved.ports,
                    known != listed.end() ? FromListing(*known) : PortToProbe{text, text});
            continue;
        }
        bool matched = false;
        for (const PortIdentity& port : listed) {
            if (!text.empty() && port.name.starts_with(text)) {
                AddOnce(resolved.ports, FromListing(port));
                matched = true;
            }
        }
        if (!matched) {
            resolved.unknown.push_back(text);
        }
    }
    return resolved;
}

std::vector<PortReport> DetectPrinters(const std::vector<PortToProbe>& ports,
                                       const std::vector<ProbeStep>& plan,
                                       const DetectionControl& control) {
    std::vector<PortReport> reports(ports.size());
    const int total = static_cast<int>(ports.size() * plan.size());
    std::mutex progressLock;
    int done = 0;
    const auto stepsDone = [&](int steps) {
        const std::lock_guard<std::mutex> lock(progressLock);
        done += steps;
        if (control.progress) {
            control.progress(done, total);
        }
    };

    std::vector<std::thread> threads;
    threads.reserve(ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const auto work = [&, i] {
            reports[i] = ProbePort(ports[i], plan, control.cancel, stepsDone);
        };
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            work();  // no thread to be had: this port waits its turn
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return reports;
}

}  // namespace tallix
