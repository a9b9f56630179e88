// Exceptions of the foundation layers: where a failure was raised (function, source file,
// line), why, and for system failures the error code with the system's message as reason.
#pragma once

#include <exception>
#include <memory>
#include <ostream>
#include <string>

namespace ov {

// Root of our exceptions. Copies share the three text fields (copying an exception copies
// no text) and build their own description and what() caches on first use.
class BaseException : public std::exception {
public:
    // A null pointer is taken as the empty string; each text is copied once.
    BaseException(const wchar_t* reason, const wchar_t* function, const wchar_t* file, unsigned line);
    BaseException(const BaseException& other);
    BaseException& operator=(const BaseException& other);
    ~BaseException() override;

    // The description in the ANSI code page; the pointer lives as long as the exception.
    const char* what() const noexcept override;
    // "Type: ..., Reason: ..., Function: ..., File: ..., Line: ..."; owned by the exception.
    virtual const wchar_t* description() const;
    // Writes the description text; derived classes add their own pieces.
    virtual void writeDescription(std::wostream& out) const;

    const std::wstring& reason() const noexcept { return *reason_; }
    const std::wstring& function() const noexcept { return *function_; }
    const std::wstring& file() const noexcept { return *file_; }
    unsigned line() const noexcept { return line_; }

protected:
    // Writes the common pieces after "Type: <typeName>".
    void writeFields(std::wostream& out, const wchar_t* typeName) const;
    // For derived constructors that find a better reason (the system's message).
    void replaceReason(std::wstring reason);

private:
    std::shared_ptr<const std::wstring> reason_;
    std::shared_ptr<const std::wstring> function_;
    std::shared_ptr<const std::wstring> file_;
    unsigned line_ = 0;
    // Filled at most once, on the first call; not guarded against two threads at once.
    mutable std::shared_ptr<const std::wstring> description_;
    mutable std::shared_ptr<const std::string> what_;
};

// Selects Win32 error codes: their type name in descriptions and the system message table.
struct Win32ErrorCategory {
    static const wchar_t* typeName() noexcept { return L"Win32Exception"; }
    // The system's message for the code, its trailing line break kept; empty when unknown.
    static std::wstring message(unsigned long code);
};

// An exception carrying an error code of a category; an empty reason becomes the
// category's message for the code.
template <typename Category, typename Code>
class ErrorCodeException : public BaseException {
public:
    ErrorCodeException(const Code& code, const wchar_t* reason, const wchar_t* function, const wchar_t* file,
                       unsigned line)
        : BaseException(reason, function, file, line), code_(code) {
        if (reason != nullptr && reason[0] != L'\0') {
            return;
        }
        try {
            replaceReason(Category::message(code_));
        } catch (...) {
            // The exception must stay usable without the message; the reason stays empty.
        }
    }
    ~ErrorCodeException() override = default;

    void writeDescription(std::wostream& out) const override {
        writeFields(out, Category::typeName());
        out << L", Error Code : " << code_;
    }

    const Code& errorCode() const noexcept { return code_; }

private:
    Code code_;
};

using Win32Exception = ErrorCodeException<Win32ErrorCategory, unsigned long>;
extern template class ErrorCodeException<Win32ErrorCategory, unsigned long>;

} // namespace ov

#define OV_WIDEN_LITERAL_(text) L##text
#define OV_WIDEN_LITERAL(text) OV_WIDEN_LITERAL_(text)
// The compiler's source path of the throw site, as wide text.
#define OV_WIDE_FILE OV_WIDEN_LITERAL(__FILE__)

// Throw sites record the function name given (a wide literal such as L"ov::Service::getState"),
// the source file and the line of the throw.
#define OV_THROW_BASE(reason, function)                                                                      \
    throw ::ov::BaseException((reason), (function), OV_WIDE_FILE, static_cast<unsigned>(__LINE__))
#define OV_THROW_WIN32(code, reason, function)                                                               \
    throw ::ov::Win32Exception((code), (reason), (function), OV_WIDE_FILE, static_cast<unsigned>(__LINE__))
