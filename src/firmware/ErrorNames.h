#pragma once

#include <QByteArray>
#include <QString>

#include <array>

namespace korvel {

// The names of the ECU's trouble codes from "errors.cfg": line n names code
// byte (n - 1) / 8 and bit (n - 1) % 8. Four code bytes of eight bits; a
// missing line leaves its name empty.
struct ErrorNames {
    static constexpr int kCodeBytes = 4;
    static constexpr int kBits = 8;

    std::array<std::array<QString, kBits>, kCodeBytes> names;

    // Code byte 0..3 (the frame's code bytes 1..4) and bit 0..7; "" outside.
    QString name(int codeByte, int bit) const;
    friend bool operator==(const ErrorNames &, const ErrorNames &) = default;
};

inline const QString kErrorNamesFile = QStringLiteral("errors.cfg");

// The file's bytes are Windows-1251 text (a UTF-8 file with or without its
// mark is read too); lines beyond the 32nd are ignored.
ErrorNames parseErrorNames(const QByteArray &bytes);

} // namespace korvel
