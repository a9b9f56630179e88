#include <logging/RecordFormat.h>

#include <cstdio>
#include <cstring>

namespace OvKmfLogging {

namespace {

// MSVC's __FUNCTION__ spelling of an anonymous name space; records drop it.
const char kAnonymousNamespace[] = "`anonymous-namespace'";
const std::size_t kAnonymousNamespaceLength = sizeof(kAnonymousNamespace) - 1;

} // namespace

const char* labelOfLevel(int level) {
    switch (level) {
    case 1:
        return "*F";
    case 2:
        return "*E";
    case 3:
        return ".W";
    case 4:
        return " I";
    case 5:
        return " D";
    case 6:
        return " V";
    default:
        return "  ";
    }
}

std::string functionPrefix(const char* functionName) {
    if (functionName == nullptr || *functionName == '\0') {
        return std::string();
    }
    std::string name(functionName);
    if (name.compare(0, kAnonymousNamespaceLength, kAnonymousNamespace) == 0) {
        name.erase(0, kAnonymousNamespaceLength);
    }
    // A lambda's call operator carries a compiler-made id ("<lambda_8f3a...>::operator ()")
    // that differs from build to build; records name it "<lambda>".
    if (name.size() >= 3 && name.compare(name.size() - 2, 2, "()") == 0) {
        const std::string::size_type at = name.find("<lambda_");
        if (at != std::string::npos) {
            name.resize(at + 7);
            name += '>';
        }
    }
    name += ": ";
    return name;
}

std::string formatRecord(const SYSTEMTIME& time, unsigned long processId, unsigned long threadId,
                         const char* label, const std::string& prefix, const char* message,
                         std::size_t messageLength) {
    char header[96];
    const int headerLength = std::snprintf(
        header, sizeof(header), "%04d-%02d-%02d %02d:%02d:%02d.%03d [%04x.%04x] %s: ", time.wYear,
        time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds,
        static_cast<unsigned>(processId), static_cast<unsigned>(threadId), label);
    if (headerLength <= 0 || static_cast<std::size_t>(headerLength) >= sizeof(header)) {
        return std::string();
    }
    std::string record;
    record.reserve(static_cast<std::size_t>(headerLength) + prefix.size() + messageLength + 2);
    record.append(header, static_cast<std::size_t>(headerLength));
    record += prefix;
    record.append(message, messageLength);
    record += "\r\n";
    return record;
}

int localOffsetMinutes(DWORD timeZoneResult, const TIME_ZONE_INFORMATION& zone) {
    switch (timeZoneResult) {
    case TIME_ZONE_ID_DAYLIGHT:
        return -(zone.Bias + zone.DaylightBias);
    case TIME_ZONE_ID_STANDARD:
    case TIME_ZONE_ID_UNKNOWN:
        return -(zone.Bias + zone.StandardBias);
    default:
        return 3599; // shown as +59:59, an offset no zone has
    }
}

std::string startBannerText(int offsetMinutes, unsigned long session, bool utcTimestamps) {
    const int hours = offsetMinutes / 60;
    const int minutes = offsetMinutes % 60;
    char text[128];
    const int length =
        utcTimestamps
            ? std::snprintf(text, sizeof(text),
                            "***  LOGGING STARTED  *** (UTC+00:00, local:%+02d:%02d, session: 0x%x)", hours,
                            minutes, static_cast<unsigned>(session))
            : std::snprintf(text, sizeof(text), "***  LOGGING STARTED  *** (UTC%+02d:%02d, session: 0x%x)",
                            hours, minutes, static_cast<unsigned>(session));
    if (length <= 0) {
        return std::string();
    }
    return std::string(text, static_cast<std::size_t>(length) < sizeof(text)
                                 ? static_cast<std::size_t>(length)
                                 : sizeof(text) - 1);
}

} // namespace OvKmfLogging
