#pragma once

// A trace of the serial line for field diagnosis: every byte written and received, with the
// time-outs of reads, one record per line of a text file. The logging hooks (LOGDATA, LOG)
// feed it; while no trace is on they return after one relaxed atomic load.
//
// Format: a header line with the wall-clock time at start, then one record per event:
//
//     <ms since start, monotonic> <tag> <count> | <bytes in hex> | <bytes as text>
//
// Tags: W (written), WS (a string written), RT (received by the reading thread), RTIMEOUT
// (a read timed out; the bytes it took before). In the text column every byte outside
// 0x20..0x7E shows as ".".
//
// Notes of the run between them (for example the job journal's decisions) are one line each:
//
//     <ms since start> <tag> | <text>

#include <atomic>
#include <cstdint>
#include <string>

namespace tallix {

namespace detail {
// True while a trace file is open; read by the hooks before anything else.
extern std::atomic<bool> gLineTraceOn;
}  // namespace detail

inline bool LineTraceOn() {
    return detail::gLineTraceOn.load(std::memory_order_relaxed);
}

// Starts a trace into path (created or replaced, mode 0666 before the umask). A trace that
// is already on is ended first. False when the file cannot be opened; no trace is on then.
bool StartLineTrace(const std::string& path);

// Ends the trace and closes its file; nothing when no trace is on. Safe while other threads
// are logging: a record is either written whole before the file closes or not at all.
void StopLineTrace();

// Writes one record. Any thread; records never interleave. Nothing when no trace is on.
void TraceLineBytes(const char* tag, const uint8_t* bytes, int count);

// Writes one note line. Any thread; nothing when no trace is on.
void TraceLineNote(const char* tag, const std::string& text);

// The hex and text columns of a record for these bytes: "0A 41 0D | .A.".
std::string TraceColumns(const uint8_t* bytes, int count);

}  // namespace tallix
