#pragma once

// Making a folder's entries (files created, renamed or removed in it) durable.

#include <string>

namespace tallix {

// fsyncs folder ("" for the current folder). Failures only weaken durability and are not
// reported.
void SyncFolder(const std::string& folder);

}  // namespace tallix
