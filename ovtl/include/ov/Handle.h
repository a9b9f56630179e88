// One owner template for every kind of Windows handle; the kinds differ only in how a
// handle is closed and which values mean "no handle".
#pragma once

#include <ov/Win32.h>

#include <utility>

namespace ov {

// Owns one handle and closes it when it goes. Closing keeps the thread's last-error code,
// so a failure can be logged and its code read after the clean-up.
template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

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
    bool valid() const noexcept { return Traits::isValid(handle_); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without closing.
    Type release() noexcept { return std::exchange(handle_, Traits::invalid()); }

    // Closes the owned handle (if any) and takes the new one.
    void reset(Type handle = Traits::invalid()) noexcept {
        if (Traits::isValid(handle_)) {
            const DWORD lastError = GetLastError();
            Traits::close(handle_);
            SetLastError(lastError);
        }
        handle_ = handle;
    }

    // For output parameters: closes the owned handle and hands out the slot.
    Type* put() noexcept {
        reset();
        return &handle_;
    }

private:
    Type handle_ = Traits::invalid();
};

// Kernel handles: null and INVALID_HANDLE_VALUE both mean none, as the APIs return either.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Type h) noexcept { CloseHandle(h); }
};

struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type h) noexcept {
        return h != nullptr && h != reinterpret_cast<SC_HANDLE>(INVALID_HANDLE_VALUE);
    }
    static void close(Type h) noexcept { CloseServiceHandle(h); }
};

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type h) noexcept { return h != nullptr; }
    static void close(Type h) noexcept { RegCloseKey(h); }
};

struct FindHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool isValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Type h) noexcept { FindClose(h); }
};

struct LibraryTraits {
    using Type = HMODULE;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type h) noexcept { return h != nullptr; }
    static void close(Type h) noexcept { FreeLibrary(h); }
};

struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type h) noexcept { return h != nullptr; }
    static void close(Type h) noexcept { LocalFree(h); }
};

using ScopedHandle = UniqueHandle<KernelHandleTraits>;
using ScopedServiceHandle = UniqueHandle<ServiceHandleTraits>;
using ScopedRegKey = UniqueHandle<RegistryKeyTraits>;
using ScopedFindHandle = UniqueHandle<FindHandleTraits>;
using ScopedLibrary = UniqueHandle<LibraryTraits>;
using ScopedLocalMemory = UniqueHandle<LocalMemoryTraits>;

} // namespace ov
