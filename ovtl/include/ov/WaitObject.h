// A one-shot wait for a condition that can only be polled, such as a service reaching a state.
#pragma once

#include <ov/Win32.h>

#include <functional>
#include <stdexcept>
#include <utility>

namespace ov {
namespace sync {

template <typename Result>
class WaitObject;

// Holds one predicate (true = the awaited condition holds); empty once a wait has succeeded.
template <>
class WaitObject<void> {
public:
    using Predicate = std::function<bool()>;

    WaitObject() = default;
    explicit WaitObject(Predicate predicate) : predicate_(std::move(predicate)) {}

    bool empty() const noexcept { return !predicate_; }

    // Polls the predicate every 100 ms, without a time limit, until it holds; then the object
    // is empty. Throws std::logic_error when already empty; an exception of the predicate
    // passes through and the object keeps its predicate.
    void wait() {
        if (!predicate_) {
            throw std::logic_error("Subsequent call to wait");
        }
        while (!predicate_()) {
            Sleep(pollIntervalMs);
        }
        predicate_ = nullptr;
    }

private:
    static constexpr DWORD pollIntervalMs = 100;

    Predicate predicate_;
};

} // namespace sync
} // namespace ov
