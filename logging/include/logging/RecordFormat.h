// The text of a log record and of the start banner: pure functions, no I/O.
#pragma once

#include <ov/Win32.h>

#include <cstddef>
#include <string>

namespace OvKmfLogging {

// "*F", "*E", ".W", " I", " D", " V" for levels 1 to 6; two blanks for any other level.
const char* labelOfLevel(int level);

// A record up to its message: "YYYY-MM-DD hh:mm:ss.mmm [pid.tid] LL: " (ids in lower-case hex of
// at least four digits), then "functionName: ". The name loses a leading anonymous-namespace
// marker (its "::" stays), a lambda's call operator becomes "<enclosing>::<lambda>", and no
// name gives no prefix. Room is reserved for a message of messageLength bytes and CR LF.
std::string recordStart(const SYSTEMTIME& time, unsigned long processId, unsigned long threadId,
                        const char* label, const char* functionName, std::size_t messageLength);

// Writes each carriage return and line feed from `from` on as the two characters "\r" or "\n",
// so that no value in a message (an environment value, a system message) can start a line that
// reads as a record of its own.
void escapeLineBreaks(std::string& record, std::size_t from);

// Minutes to add to UTC for local time, from GetTimeZoneInformation's result; 3599 when it failed.
int localOffsetMinutes(DWORD timeZoneResult, const TIME_ZONE_INFORMATION& zone);

// The start banner's text for an offset in minutes and a session id; with UTC timestamps
// the banner names the local offset instead.
std::string startBannerText(int offsetMinutes, unsigned long session, bool utcTimestamps);

} // namespace OvKmfLogging
