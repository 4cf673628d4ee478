#pragma once

#include <QString>

#include <utility>

namespace korvel {

// The result of an operation that can be refused: a value, or the reason why
// not. A refused outcome still holds a value-initialised T, so reading it by
// mistake is harmless; callers check ok() and report error().
template <typename T> class Outcome {
public:
    static Outcome success(T value) {
        Outcome o;
        o.m_value = std::move(value);
        o.m_ok = true;
        return o;
    }
    static Outcome failure(QString why) {
        Outcome o;
        o.m_error = std::move(why);
        return o;
    }

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    const T &value() const { return m_value; }
    T valueOr(T fallback) const { return m_ok ? m_value : fallback; }
    const QString &error() const { return m_error; }

private:
    T m_value{};
    QString m_error;
    bool m_ok = false;
};

} // namespace korvel
