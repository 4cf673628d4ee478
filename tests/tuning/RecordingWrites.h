#pragma once

#include "tuning/TuningWrites.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace korvel::test {

// Records the ECU writes tuning asks for, one line per command.
class RecordingWrites : public TuningWrites {
public:
    struct Write {
        QString command;
        int address = -1;
        QByteArray bytes;
        int marker = 0;
        int blocks = 0;
        int lastCount = 0;
    };

    bool isBusy = false;
    QList<Write> writes;

    bool busy() const override { return isBusy; }
    void remake(int address, std::uint8_t value, int marker) override {
        writes.append({"remake", address, QByteArray(1, static_cast<char>(value)), marker});
    }
    void remakeFourPoints(int address, const QByteArray &bytes) override {
        writes.append({"remake_four_points", address, bytes});
    }
    void remakeGbc(int address, const QByteArray &table) override { writes.append({"remakegbc", address, table}); }
    void remakePopr(int address, const QByteArray &table) override { writes.append({"remakepopr", address, table}); }
    void remakeUoz(int address, const QByteArray &table) override { writes.append({"remakeuoz", address, table}); }
    void correct23DF(int address, const QByteArray &bytes, int blocks, int lastCount) override {
        writes.append({"correct23DF", address, bytes, 0, blocks, lastCount});
    }
};

} // namespace korvel::test
