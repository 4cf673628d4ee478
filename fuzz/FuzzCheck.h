#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Helpers shared by the fuzz targets. A broken invariant aborts, which both
// libFuzzer and the corpus replay report as a failure with the input kept.
namespace korvel::fuzz {

inline void require(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
        std::abort();
    }
}

// Reads the input front to back; past its end every read gives zeros or nothing.
class Input {
public:
    Input(const std::uint8_t *data, std::size_t size)
        : m_bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)) {}

    bool atEnd() const { return m_at >= m_bytes.size(); }
    std::uint8_t byte() { return atEnd() ? 0 : static_cast<std::uint8_t>(m_bytes[m_at++]); }
    // Up to `count` bytes.
    QByteArray bytes(qsizetype count) {
        const QByteArray out = m_bytes.sliced(m_at, std::min(count, m_bytes.size() - m_at)).toByteArray();
        m_at += out.size();
        return out;
    }
    QByteArray rest() { return bytes(m_bytes.size()); }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

} // namespace korvel::fuzz
