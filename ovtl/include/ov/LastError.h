// Keeping the thread's last-error code across clean-up and logging.
#pragma once

#include <ov/Win32.h>

namespace ov {

// Restores the thread's last-error code on every way out of a scope, so that a failure can be
// logged and cleaned up after and its code still read by the caller.
class LastErrorKeeper {
public:
    LastErrorKeeper() noexcept : lastError_(GetLastError()) {}
    ~LastErrorKeeper() { SetLastError(lastError_); }
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

private:
    const DWORD lastError_;
};

} // namespace ov
