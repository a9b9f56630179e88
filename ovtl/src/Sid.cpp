#include <ov/Sid.h>

#include <utility>

namespace ov {

Sid::Sid(PSID source) {
    if (source == nullptr) {
        return;
    }
    if (!IsValidSid(source)) {
        error_ = ERROR_INVALID_PARAMETER;
        return;
    }
    const unsigned char* first = static_cast<const unsigned char*>(source);
    bytes_.assign(first, first + GetLengthSid(source));
}

Sid Sid::failure(DWORD error) {
    Sid sid;
    sid.error_ = error;
    return sid;
}

Sid::Sid(Sid&& other) noexcept
    : bytes_(std::exchange(other.bytes_, {})), error_(std::exchange(other.error_, 0)) {}

Sid& Sid::operator=(Sid&& other) noexcept {
    if (this != &other) {
        bytes_ = std::exchange(other.bytes_, {});
        error_ = std::exchange(other.error_, 0);
    }
    return *this;
}

PSID Sid::get() const noexcept {
    return bytes_.empty() ? nullptr : const_cast<unsigned char*>(bytes_.data());
}

} // namespace ov
