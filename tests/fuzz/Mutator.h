#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <utility>
#include <vector>

namespace korvel::fuzz {

// A small seeded mutation fuzzer: every run with the same seed produces the
// same inputs, so a failure names its iteration and reproduces exactly.
// Inputs are valid seeds bent by a few stacked mutations (bit flips, bytes set
// to boundary values, truncation, duplicated ranges, random runs, splices of
// two seeds, dictionary tokens) or, now and then, purely random bytes.
class Mutator {
public:
    Mutator(std::uint64_t seed, std::vector<QByteArray> seeds, int maxLength = 256)
        : m_rng(seed), m_seeds(std::move(seeds)), m_maxLength(maxLength) {}

    // Tokens the format gives meaning to (sync bytes, separators); inserted as a whole.
    void setDictionary(std::vector<QByteArray> tokens) { m_dictionary = std::move(tokens); }

    std::mt19937_64 &rng() { return m_rng; }

    // Uniform in [0, n); 0 when n <= 0.
    int below(int n) {
        if (n <= 0)
            return 0;
        return static_cast<int>(std::uniform_int_distribution<int>(0, n - 1)(m_rng));
    }
    std::int64_t between(std::int64_t low, std::int64_t high) {
        return std::uniform_int_distribution<std::int64_t>(low, high)(m_rng);
    }
    bool oneIn(int n) { return below(n) == 0; }

    QByteArray randomBytes(int length) {
        QByteArray out(length, '\0');
        for (char &c : out)
            c = static_cast<char>(below(256));
        return out;
    }

    // One input: a mutated seed, or (one time in eight, or without seeds) random bytes.
    QByteArray next() {
        if (m_seeds.empty() || oneIn(8))
            return randomBytes(below(m_maxLength + 1));
        QByteArray data = m_seeds[static_cast<std::size_t>(below(static_cast<int>(m_seeds.size())))];
        const int steps = 1 + below(4);
        for (int i = 0; i < steps; ++i)
            mutate(data);
        if (data.size() > m_maxLength)
            data.truncate(m_maxLength);
        return data;
    }

    void mutate(QByteArray &data) {
        switch (below(9)) {
        case 0: // flip one bit
            if (!data.isEmpty()) {
                const int at = below(size(data));
                data[at] = static_cast<char>(data[at] ^ (1 << below(8)));
            }
            break;
        case 1: // a boundary value
            if (!data.isEmpty())
                data[below(size(data))] = static_cast<char>(kInteresting[static_cast<std::size_t>(below(4))]);
            break;
        case 2: // any value
            if (!data.isEmpty())
                data[below(size(data))] = static_cast<char>(below(256));
            break;
        case 3: // truncation
            data.truncate(below(size(data) + 1));
            break;
        case 4: { // a range repeated in place
            const int from = below(size(data) + 1);
            const int length = below(size(data) - from + 1);
            data.insert(from, data.mid(from, length));
            break;
        }
        case 5: // a random run
            data.insert(below(size(data) + 1), randomBytes(1 + below(16)));
            break;
        case 6: { // the head of this input, the tail of another seed
            const QByteArray &other = m_seeds[static_cast<std::size_t>(below(static_cast<int>(m_seeds.size())))];
            data = data.left(below(size(data) + 1)) + other.mid(below(size(other) + 1));
            break;
        }
        case 7: { // a range removed
            const int from = below(size(data) + 1);
            data.remove(from, below(size(data) - from + 1));
            break;
        }
        default: // a token of the format
            if (!m_dictionary.empty())
                data.insert(below(size(data) + 1),
                            m_dictionary[static_cast<std::size_t>(below(static_cast<int>(m_dictionary.size())))]);
            break;
        }
    }

    // Cuts `data` into consecutive pieces at random points (empty pieces included).
    std::vector<QByteArrayView> split(QByteArrayView data) {
        std::vector<QByteArrayView> pieces;
        qsizetype at = 0;
        while (at < data.size()) {
            const qsizetype length = std::min<qsizetype>(below(8) == 0 ? 0 : 1 + below(12), data.size() - at);
            pieces.push_back(data.sliced(at, length));
            at += length;
        }
        return pieces;
    }

    // Text of up to `maxLength` characters drawn from `alphabet`.
    QString randomText(const QString &alphabet, int maxLength) {
        QString text;
        const int length = below(maxLength + 1);
        for (int i = 0; i < length; ++i)
            text.append(alphabet.at(below(static_cast<int>(alphabet.size()))));
        return text;
    }

private:
    static constexpr std::array<std::uint8_t, 4> kInteresting{0x00, 0x7F, 0x80, 0xFF};

    static int size(const QByteArray &data) { return static_cast<int>(data.size()); }

    std::mt19937_64 m_rng;
    std::vector<QByteArray> m_seeds;
    std::vector<QByteArray> m_dictionary;
    int m_maxLength;
};

inline QByteArray bytesOf(std::initializer_list<std::uint8_t> values) {
    QByteArray out;
    for (auto value : values)
        out.append(static_cast<char>(value));
    return out;
}

} // namespace korvel::fuzz
