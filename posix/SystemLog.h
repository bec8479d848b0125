#pragma once

// The system log: where this system writes the few lines that support needs after the fact
// (a batch run that failed, a preferences folder that could not be made). One line per
// event, priority LOG_ERR, facility user; the program name is the log's tag.

#include <functional>
#include <string>

namespace tallix {

// Writes line to the system log, or to the sink a test put in.
void LogToSystem(const std::string& line);

// Where LogToSystem sends its lines instead of syslog(3); an empty sink puts syslog back.
// Returns the sink that was in place. For tests.
using SystemLogSink = std::function<void(const std::string& line)>;
SystemLogSink SetSystemLogSink(SystemLogSink sink);

}  // namespace tallix
