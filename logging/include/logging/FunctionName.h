// Turns g++'s __PRETTY_FUNCTION__ into the name MSVC's __FUNCTION__ gives, at compile time,
// so that every record names its function the same way with both compilers:
//   "int MainLogic::execute(bool)"            -> "MainLogic::execute"
//   "void {anonymous}::anon()"                -> "`anonymous-namespace'::anon"
//   "MainLogic::execute(bool)::<lambda()>"    -> "MainLogic::execute::<lambda_1>::operator ()"
#pragma once

#include <cstddef>

namespace OvKmfLogging {
namespace detail {

template <std::size_t Capacity>
struct FunctionName {
    char text[Capacity]{};
    std::size_t length = 0;

    constexpr void append(const char* s, std::size_t n) {
        for (std::size_t i = 0; i < n && length + 1 < Capacity; ++i) {
            text[length++] = s[i];
        }
        text[length] = '\0';
    }
    constexpr const char* c_str() const { return text; }
};

constexpr bool startsWith(const char* s, std::size_t n, std::size_t at, const char* what) {
    std::size_t i = 0;
    for (; what[i] != '\0'; ++i) {
        if (at + i >= n || s[at + i] != what[i]) {
            return false;
        }
    }
    return true;
}

constexpr bool isIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

constexpr bool isBracketOpen(char c) {
    return c == '(' || c == '<' || c == '[';
}
constexpr bool isBracketClose(char c) {
    return c == ')' || c == '>' || c == ']';
}

// Index of the last "::<lambda(" at bracket depth 0 in s[0, n), or n when there is none.
constexpr std::size_t findLambda(const char* s, std::size_t n) {
    std::size_t found = n;
    int depth = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (depth == 0 && startsWith(s, n, i, "::<lambda(")) {
            found = i;
        }
        if (startsWith(s, n, i, "operator")) {
            // Operator names ("operator()", "operator<") hold brackets that do not nest.
            i += 8;
            while (i < n && s[i] != '(' && s[i] != ' ') {
                ++i;
            }
            if (i + 1 < n && s[i] == '(' && s[i + 1] == ')') {
                ++i;
            }
            continue;
        }
        if (isBracketOpen(s[i])) {
            ++depth;
        } else if (isBracketClose(s[i]) && depth > 0) {
            --depth;
        }
    }
    return found;
}

// Appends the qualified name of a plain (non-lambda) function signature s[0, n):
// drops the return type, the parameter list, trailing qualifiers and " [with ...]".
template <std::size_t Capacity>
constexpr void appendPlain(FunctionName<Capacity>& out, const char* s, std::size_t n) {
    // The qualified name ends at the first '(' at depth 0 that is not part of an operator name.
    std::size_t nameStart = 0;
    std::size_t nameEnd = n;
    int depth = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (depth == 0 && startsWith(s, n, i, "operator") && (i == 0 || s[i - 1] == ':' || s[i - 1] == ' ')) {
            i += 8;
            while (i < n && s[i] != '(') {
                ++i;
            }
            if (i + 1 < n && s[i + 1] == ')') {
                i += 2; // "operator()" followed by its parameter list
            }
            nameEnd = i;
            break;
        }
        if (depth == 0 && startsWith(s, n, i, "{anonymous}")) {
            i += 10;
            continue;
        }
        if (depth == 0 && startsWith(s, n, i, "(anonymous namespace)")) {
            i += 20;
            continue;
        }
        const char c = s[i];
        if (depth == 0 && c == '(') {
            nameEnd = i;
            break;
        }
        if (depth == 0 && c == ' ') {
            nameStart = i + 1; // everything before the last blank is the return type
        }
        if (isBracketOpen(c)) {
            ++depth;
        } else if (isBracketClose(c) && depth > 0) {
            --depth;
        }
    }
    for (std::size_t i = nameStart; i < nameEnd;) {
        if (startsWith(s, nameEnd, i, "operator") && (i == nameStart || s[i - 1] == ':') && i + 8 < nameEnd &&
            !isIdentifierChar(s[i + 8]) && s[i + 8] != ' ') {
            out.append("operator ", 9); // MSVC spells "operator <", "operator ()"
            i += 8;
        } else if (startsWith(s, nameEnd, i, "{anonymous}")) {
            out.append("`anonymous-namespace'", 21);
            i += 11;
        } else if (startsWith(s, nameEnd, i, "(anonymous namespace)")) {
            out.append("`anonymous-namespace'", 21);
            i += 21;
        } else {
            out.append(s + i, 1);
            ++i;
        }
    }
}

template <std::size_t Capacity>
constexpr void appendName(FunctionName<Capacity>& out, const char* s, std::size_t n) {
    const std::size_t lambda = findLambda(s, n);
    if (lambda == n) {
        appendPlain(out, s, n);
        return;
    }
    appendName(out, s, lambda);
    out.append("::<lambda_1>::operator ()", 25);
}

template <std::size_t N>
constexpr FunctionName<2 * N + 64> msvcFunctionName(const char (&pretty)[N]) {
    FunctionName<2 * N + 64> out{};
    appendName(out, pretty, N - 1);
    return out;
}

} // namespace detail
} // namespace OvKmfLogging

#if !defined(_MSC_VER)
// A function-local constant: derived once, at compile time, for each log call site.
#define OV_KMF_FUNCTION_NAME_DECL                                                                            \
    static constexpr auto ovKmfFunctionName_ = ::OvKmfLogging::detail::msvcFunctionName(__PRETTY_FUNCTION__)
#define OV_KMF_FUNCTION_NAME_EXPR ovKmfFunctionName_.c_str()
#endif
