#include "setup/PortChoices.h"

#include <string>

namespace tallix {

ComboItem PortChoice(const PortIdentity& port) {
    std::string adapter = port.vendor;
    if (!port.model.empty()) {
        adapter += (adapter.empty() ? "" : " ") + port.model;
    }
    if (!port.serialNumber.empty()) {
        adapter += (adapter.empty() ? "(" : " (") + port.serialNumber + ")";
    }
    ComboItem item;
    item.label = adapter.empty() ? port.name : port.name + " \u2014 " + adapter;
    item.value = port.byIdPath.empty() ? port.name : port.byIdPath;
    return item;
}

std::vector<ComboItem> ListPortChoices() {
    std::vector<ComboItem> choices;
    for (const PortIdentity& port : ListPortIdentities()) {
        choices.push_back(PortChoice(port));
    }
    return choices;
}

}  // namespace tallix
