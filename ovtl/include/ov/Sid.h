// A security identifier held as a value, with the error of the query that produced it.
#pragma once

#include <ov/Win32.h>

#include <vector>

namespace ov {

class Sid {
public:
    Sid() = default;
    // Copies the source. Null gives an empty SID with error 0, an invalid one an empty SID
    // with ERROR_INVALID_PARAMETER.
    explicit Sid(PSID source);
    // An empty SID recording why there is none.
    static Sid failure(DWORD error);

    Sid(const Sid&) = default;
    Sid& operator=(const Sid&) = default;
    // Moving leaves the source empty.
    Sid(Sid&& other) noexcept;
    Sid& operator=(Sid&& other) noexcept;

    bool hasValue() const noexcept { return !bytes_.empty(); }
    // The Windows error code of the failed query; 0 when none.
    DWORD error() const noexcept { return error_; }
    const std::vector<unsigned char>& bytes() const noexcept { return bytes_; }
    // The binary SID for system calls; null when empty. Valid while this object is unchanged.
    PSID get() const noexcept;

private:
    std::vector<unsigned char> bytes_;
    DWORD error_ = 0;
};

} // namespace ov
