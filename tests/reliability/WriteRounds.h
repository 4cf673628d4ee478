#pragma once

// What the crash writer writes in each round, shared with the test that checks
// the files it leaves: every round's content differs from the others in bytes
// and in size, so a file can be matched to exactly one round.

#include "core/Cp1251.h"
#include "core/LogDirectory.h"
#include "firmware/FirmwareImage.h"
#include "live/CsvLog.h"
#include "live/LiveParameters.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>

#include <cstdint>

namespace korvel::test {

inline const QString kKindFirmware = QStringLiteral("firmware");
inline const QString kKindConfig = QStringLiteral("config");
inline const QString kKindCsv = QStringLiteral("csv");

// The run's log folder is named by a fixed moment, so the test knows where the automatic save goes.
inline QDateTime writerNow() {
    return QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5));
}
inline const QString kAutoSaveName = QStringLiteral("авто.bin");
inline const QString kSaveAsChoice = QStringLiteral("копия"); // saved as "копия.bin"
inline const QString kConfigName = QStringLiteral("config.ini");

inline std::uint32_t mix(std::uint32_t seed, std::uint32_t round) {
    std::uint32_t x = seed * 0x9E3779B1u ^ (round + 0x7F4A7C15u) * 0x85EBCA77u;
    x ^= x >> 15;
    x *= 0x2C1B3C6Du;
    x ^= x >> 12;
    return x;
}

// A 64 KB image whose first four bytes hold the round (little-endian).
inline FirmwareImage firmwareRound(std::uint32_t seed, std::uint32_t round) {
    QByteArray bytes(kFirmwareSize, '\0');
    std::uint32_t x = mix(seed, round);
    for (int i = 0; i < kFirmwareSize; ++i) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(x >> 24);
    }
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((round >> (8 * i)) & 0xFF);
    return *FirmwareImage::fromBytes(bytes);
}

inline std::uint32_t roundOfImage(const QByteArray &bytes) {
    std::uint32_t round = 0;
    for (int i = 0; i < 4 && i < bytes.size(); ++i)
        round |= std::uint32_t(std::uint8_t(bytes[i])) << (8 * i);
    return round;
}

// config.ini's lines in a round: a few real settings, the round, and a value
// long enough (and of a varying length) that the file spans several pages.
inline QStringList configLines(std::uint32_t seed, std::uint32_t round) {
    const QString filler = QStringLiteral("Данные%1;").arg(round);
    const int repeats = 600 + int(mix(seed, round) % 600);
    return {QStringLiteral("Ecu com=COM1"), QStringLiteral("Скорость ECU COM=57600"), QStringLiteral("Писать логи=да"),
            QStringLiteral("Раунд=%1").arg(round), QStringLiteral("Заметка=") + filler.repeated(repeats)};
}

// The file SettingsList writes for those lines: Windows-1251, CRLF after every line.
inline QByteArray configBytes(std::uint32_t seed, std::uint32_t round) {
    return cp1251::encode(configLines(seed, round).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

inline int configRound(const QByteArray &bytes) {
    const QByteArray key = cp1251::encode(QStringLiteral("\r\nРаунд="));
    const qsizetype at = bytes.indexOf(key);
    if (at < 0)
        return -1;
    const qsizetype from = at + key.size();
    bool ok = false;
    const int round = bytes.mid(from, bytes.indexOf('\r', from) - from).toInt(&ok);
    return ok ? round : -1;
}

// The channels of the n-th CSV line (from 1): the line number and values of
// varying length, so that every line is unique and a torn one cannot pass.
inline LiveChannels csvChannels(std::uint32_t seed, int n) {
    LiveChannels channels;
    channels.set(1, float(n));
    for (int c = 2; c <= channelCount(Protocol::Fast); ++c)
        channels.set(c, float(mix(seed, std::uint32_t(n * 64 + c)) % 100000) / 8.0f);
    return channels;
}

inline QString csvLine(std::uint32_t seed, int n) {
    return CsvLog::line(csvChannels(seed, n), channelCount(Protocol::Fast), TuningTrace{}, writerNow().time(),
                        kLogFieldSeparator);
}

} // namespace korvel::test
