#include <logging/RecordFormat.h>

#include <cstdio>
#include <cstring>

namespace OvKmfLogging {

namespace {

// MSVC's __FUNCTION__ spelling of an anonymous name space; records drop it.
const char kAnonymousNamespace[] = "`anonymous-namespace'";
const std::size_t kAnonymousNamespaceLength = sizeof(kAnonymousNamespace) - 1;

void appendFunctionPrefix(std::string& out, const char* functionName) {
    if (functionName == nullptr || *functionName == '\0') {
        return;
    }
    const char* name = functionName;
    if (std::strncmp(name, kAnonymousNamespace, kAnonymousNamespaceLength) == 0) {
        name += kAnonymousNamespaceLength;
    }
    std::size_t length = std::strlen(name);
    // A lambda's call operator carries a compiler-made id ("<lambda_8f3a...>::operator ()")
    // that differs from build to build; records name it "<lambda>".
    bool lambda = false;
    if (length >= 3 && name[length - 2] == '(' && name[length - 1] == ')') {
        const char* at = std::strstr(name, "<lambda_");
        if (at != nullptr) {
            length = static_cast<std::size_t>(at - name) + 7;
            lambda = true;
        }
    }
    out.append(name, length);
    if (lambda) {
        out += '>';
    }
    out += ": ";
}

// At least `width` digits, zero-padded, as "%0*u" would write them.
char* putDecimal(char* out, unsigned value, int width) {
    int digits = 1;
    for (unsigned rest = value; rest >= 10; rest /= 10) {
        ++digits;
    }
    if (digits < width) {
        digits = width;
    }
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + digits;
}

// At least four lower-case hexadecimal digits, as "%04x" would write them.
char* putHex(char* out, unsigned long value) {
    static const char kDigits[] = "0123456789abcdef";
    int digits = 4;
    while (digits < 8 && (value >> (4 * digits)) != 0) {
        ++digits;
    }
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = kDigits[value & 0xF];
        value >>= 4;
    }
    return out + digits;
}

// Room for the longest header: 8-digit ids and a two-character label.
const std::size_t kHeaderCapacity = 64;

std::size_t formatHeader(char (&out)[kHeaderCapacity], const SYSTEMTIME& time, unsigned long processId,
                         unsigned long threadId, const char* label) {
    // The form of "%04d-%02d-%02d %02d:%02d:%02d.%03d [%04x.%04x] %s: ", written by hand: it is
    // on the path of every record.
    char* p = out;
    p = putDecimal(p, time.wYear, 4);
    *p++ = '-';
    p = putDecimal(p, time.wMonth, 2);
    *p++ = '-';
    p = putDecimal(p, time.wDay, 2);
    *p++ = ' ';
    p = putDecimal(p, time.wHour, 2);
    *p++ = ':';
    p = putDecimal(p, time.wMinute, 2);
    *p++ = ':';
    p = putDecimal(p, time.wSecond, 2);
    *p++ = '.';
    p = putDecimal(p, time.wMilliseconds, 3);
    *p++ = ' ';
    *p++ = '[';
    p = putHex(p, processId & 0xFFFFFFFFul);
    *p++ = '.';
    p = putHex(p, threadId & 0xFFFFFFFFul);
    *p++ = ']';
    *p++ = ' ';
    for (int i = 0; i < 2 && label[i] != '\0'; ++i) {
        *p++ = label[i];
    }
    *p++ = ':';
    *p++ = ' ';
    return static_cast<std::size_t>(p - out);
}

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

std::string recordStart(const SYSTEMTIME& time, unsigned long processId, unsigned long threadId,
                        const char* label, const char* functionName, std::size_t messageLength) {
    char header[kHeaderCapacity];
    const std::size_t headerLength = formatHeader(header, time, processId, threadId, label);
    const std::size_t nameLength = functionName != nullptr ? std::strlen(functionName) : 0;
    std::string record;
    record.reserve(headerLength + nameLength + 2 + messageLength + 2);
    record.append(header, headerLength);
    appendFunctionPrefix(record, functionName);
    return record;
}

void escapeLineBreaks(std::string& record, std::size_t from) {
    std::size_t at = record.find_first_of("\r\n", from);
    if (at == std::string::npos) {
        return; // nearly every record: no copy
    }
    std::string escaped(record, 0, at);
    for (; at < record.size(); ++at) {
        const char c = record[at];
        if (c == '\r' || c == '\n') {
            escaped += '\\';
            escaped += c == '\r' ? 'r' : 'n';
        } else {
            escaped += c;
        }
    }
    record.swap(escaped);
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
