// The owner of COM interface pointers: one reference, released when the owner goes.
#pragma once

#include <ov/LastError.h>
#include <ov/Win32.h>

#include <unknwn.h>

#include <utility>

// Holds one reference to a COM object. Releasing keeps the thread's last-error code, as the
// owners of the other Windows handles do, so a failure can still be logged after clean-up.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    // Takes over a reference the caller already holds (no AddRef).
    explicit ComPtr(T* object) noexcept : object_(object) {}
    ~ComPtr() { reset(); }

    ComPtr(ComPtr&& other) noexcept : object_(other.release()) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const noexcept { return object_; }
    T* operator->() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }

    // Gives up the reference without releasing it.
    T* release() noexcept { return std::exchange(object_, nullptr); }

    // Releases the held reference (if any) and takes over the given one.
    void reset(T* object = nullptr) noexcept {
        if (object_ != nullptr) {
            const ov::LastErrorKeeper keeper;
            object_->Release();
        }
        object_ = object;
    }

    // For output parameters of creation and query calls: releases the held reference first.
    T** put() noexcept {
        reset();
        return &object_;
    }
    void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }

    // Asks the held object for another of its interfaces; the result owns its own reference.
    template <typename U>
    HRESULT queryInterface(ComPtr<U>& result) const noexcept {
        return object_->QueryInterface(__uuidof(U), result.putVoid());
    }

private:
    T* object_ = nullptr;
};
