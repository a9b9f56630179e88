// One owner template for every kind of Windows handle; the kinds differ only in how a
// handle is closed and which values mean "no handle".
#pragma once

#include <ov/LastError.h>
#include <ov/Win32.h>

#include <utility>

namespace ov {

// Owns one handle and closes it with Close when it goes. Null means "no handle"; with
// MinusOneIsNone, INVALID_HANDLE_VALUE does too (the APIs of those kinds return either).
// Closing keeps the thread's last-error code, so a failure can be logged and its code read
// after the clean-up.
template <typename T, auto Close, bool MinusOneIsNone = false>
class UniqueHandle {
public:
    using Type = T;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type get() const noexcept { return handle_; }
    bool valid() const noexcept { return isValid(handle_); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without closing.
    Type release() noexcept { return std::exchange(handle_, nullptr); }

    // Closes the owned handle (if any) and takes the new one.
    void reset(Type handle = nullptr) noexcept {
        if (isValid(handle_)) {
            const LastErrorKeeper keeper;
            Close(handle_);
        }
        handle_ = handle;
    }

    // For output parameters: closes the owned handle and hands out the slot.
    Type* put() noexcept {
        reset();
        return &handle_;
    }

private:
    static bool isValid(Type handle) noexcept {
        return handle != nullptr &&
               !(MinusOneIsNone && handle == reinterpret_cast<Type>(INVALID_HANDLE_VALUE));
    }

    Type handle_ = nullptr;
};

using ScopedHandle = UniqueHandle<HANDLE, &CloseHandle, true>;
using ScopedServiceHandle = UniqueHandle<SC_HANDLE, &CloseServiceHandle, true>;
using ScopedRegKey = UniqueHandle<HKEY, &RegCloseKey>;
using ScopedFindHandle = UniqueHandle<HANDLE, &FindClose, true>;
using ScopedLibrary = UniqueHandle<HMODULE, &FreeLibrary>;
using ScopedLocalMemory = UniqueHandle<HLOCAL, &LocalFree>;

} // namespace ov
