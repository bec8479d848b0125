#pragma once

// Finding printers: which ports to probe, and all of them probed at once, one thread each.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "device/DetectionPlan.h"
#include "device/PortProbe.h"
#include "serial/PortIdentity.h"

namespace tallix {

struct ResolvedPorts {
    std::vector<PortToProbe> ports;
    std::vector<std::string> unknown;  // texts that named no listed port
};

// The ports that texts name, in the order given, each once: a text beginning with "/" is a
// device path (a by-id link, a node, a pseudo-terminal); any other text selects every listed
// port whose name begins with it (ttyUSB0, or ttyUSB for all USB adapters). No texts: every
// listed port. A port is reported by its by-id link when it has one; a path that is no
// listed port's node or link is reported as given.
ResolvedPorts ResolvePorts(const std::vector<std::string>& texts,
                           const std::vector<PortIdentity>& listed);

struct DetectionControl {
    // Probes done (or skipped by ports that ended early) and the total, after each one; from
    // the probing threads, one call at a time.
    std::function<void(int done, int total)> progress;
    // Every port stops before its next probe once this is true.
    const std::atomic<bool>* cancel = nullptr;
};

// Follows the plan on every port in parallel; the reports come in the order of ports.
std::vector<PortReport> DetectPrinters(const std::vector<PortToProbe>& ports,
                                       const std::vector<ProbeStep>& plan,
                                       const DetectionControl& control = {});

}  // namespace tallix
