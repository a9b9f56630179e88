#include <ov/Exception.h>

#include <ov/Handle.h>
#include <ov/Str.h>
#include <ov/Win32.h>

#include <sstream>

namespace ov {

namespace {

std::shared_ptr<const std::wstring> sharedText(const wchar_t* text) {
    return std::make_shared<const std::wstring>(text != nullptr ? text : L"");
}

} // namespace

BaseException::BaseException(const wchar_t* reason, const wchar_t* function, const wchar_t* file,
                             unsigned line)
    : reason_(sharedText(reason)), function_(sharedText(function)), file_(sharedText(file)), line_(line) {}

// A copy shares the texts and starts with empty caches of its own.
BaseException::BaseException(const BaseException& other)
    : std::exception(other), reason_(other.reason_), function_(other.function_), file_(other.file_),
      line_(other.line_) {}

BaseException& BaseException::operator=(const BaseException& other) {
    if (this != &other) {
        std::exception::operator=(other);
        reason_ = other.reason_;
        function_ = other.function_;
        file_ = other.file_;
        line_ = other.line_;
        description_.reset();
        what_.reset();
    }
    return *this;
}

BaseException::~BaseException() = default;

const char* BaseException::what() const noexcept {
    if (!what_) {
        try {
            what_ = std::make_shared<const std::string>(str::toMultibyte(description(), CP_ACP));
        } catch (...) {
            // what() cannot throw; without a text the caller gets an empty one.
            return "";
        }
    }
    return what_->c_str();
}

const wchar_t* BaseException::description() const {
    if (!description_) {
        std::wostringstream out;
        writeDescription(out);
        description_ = std::make_shared<const std::wstring>(out.str());
    }
    return description_->c_str();
}

void BaseException::writeDescription(std::wostream& out) const {
    writeFields(out, L"ov::BaseException");
}

void BaseException::writeFields(std::wostream& out, const wchar_t* typeName) const {
    out << L"Type: " << typeName << L", Reason: " << *reason_ << L", Function: " << *function_ << L", File: "
        << *file_ << L", Line: " << line_;
}

void BaseException::replaceReason(std::wstring reason) {
    reason_ = std::make_shared<const std::wstring>(std::move(reason));
}

std::wstring Win32ErrorCategory::message(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                                        code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    const ScopedLocalMemory owner(buffer);
    if (length == 0 || buffer == nullptr) {
        return std::wstring();
    }
    return std::wstring(buffer);
}

template class ErrorCodeException<Win32ErrorCategory, unsigned long>;

} // namespace ov
