// The text of a log record and of the start banner: pure functions, no I/O.
#pragma once

#include <ov/Win32.h>

#include <cstddef>
#include <string>

namespace OvKmfLogging {

// "*F", "*E", ".W", " I", " D", " V" for levels 1 to 6; two blanks for any other level.
const char* labelOfLevel(int level);

// "Class::method: " for a function name; the anonymous-namespace marker is dropped (its "::"
// stays) and a lambda's call operator becomes "<enclosing>::<lambda>". Empty for no name.
std::string functionPrefix(const char* functionName);

// Appends functionPrefix(functionName) to out without a string of its own.
void appendFunctionPrefix(std::string& out, const char* functionName);

// Room for the longest record header: 8-digit ids and a two-character label.
const std::size_t kRecordHeaderCapacity = 64;

// Writes "YYYY-MM-DD hh:mm:ss.mmm [pid.tid] LL: " (ids in lower-case hex of at least four digits)
// and returns its length.
std::size_t formatRecordHeader(char (&out)[kRecordHeaderCapacity], const SYSTEMTIME& time,
                               unsigned long processId, unsigned long threadId, const char* label);

// One whole record: "YYYY-MM-DD hh:mm:ss.mmm [pid.tid] LL: prefixmessage\r\n".
std::string formatRecord(const SYSTEMTIME& time, unsigned long processId, unsigned long threadId,
                         const char* label, const std::string& prefix, const char* message,
                         std::size_t messageLength);

// Minutes to add to UTC for local time, from GetTimeZoneInformation's result; 3599 when it failed.
int localOffsetMinutes(DWORD timeZoneResult, const TIME_ZONE_INFORMATION& zone);

// The start banner's text for an offset in minutes and a session id; with UTC timestamps
// the banner names the local offset instead.
std::string startBannerText(int offsetMinutes, unsigned long session, bool utcTimestamps);

} // namespace OvKmfLogging
