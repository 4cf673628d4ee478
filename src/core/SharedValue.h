#pragma once

#include <mutex>
#include <utility>

namespace korvel {

// A value that two threads share: every access copies the whole value under a
// short lock, so a reader never sees half of a string or byte array. The lock
// is the standard library's, whose ordering ThreadSanitizer sees even when the
// lock is contended (it cannot see inside Qt's futex-based QMutex).
template <typename T> class SharedValue {
public:
    SharedValue() = default;
    explicit SharedValue(T initial) : m_value(std::move(initial)) {}
    SharedValue(const SharedValue &) = delete;
    SharedValue &operator=(const SharedValue &) = delete;

    T load() const {
        std::lock_guard lock(m_mutex);
        return m_value;
    }
    void store(T value) {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }
    // Replaces the value only while it still equals `expected`.
    bool compareExchange(const T &expected, T desired) {
        std::lock_guard lock(m_mutex);
        if (!(m_value == expected))
            return false;
        m_value = std::move(desired);
        return true;
    }
    // Changes the value in place under the lock.
    template <typename Change> void update(Change change) {
        std::lock_guard lock(m_mutex);
        change(m_value);
    }

private:
    mutable std::mutex m_mutex;
    T m_value{};
};

} // namespace korvel
