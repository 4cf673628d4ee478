#pragma once

#include "ecu/EcuCommand.h"
#include "editor/TableWriteScheduler.h"
#include "tuning/TuningWrites.h"

namespace korvel {

class LinkWorkers;
class SettingsList;

// The writes tuning and the table editor ask for, as commands for the ECU
// worker, handed over whole and only while the worker has nothing pending.
class EcuWrites final : public TuningWrites, public TableWriteLink {
public:
    EcuWrites(LinkWorkers &workers, const SettingsList &settings) : m_workers(workers), m_settings(settings) {}

    bool busy() const override;
    void remake(int address, std::uint8_t value, int marker) override;
    void remakeFourPoints(int address, const QByteArray &bytes) override;
    void remakeGbc(int address, const QByteArray &table) override;
    void remakePopr(int address, const QByteArray &table) override;
    void remakeUoz(int address, const QByteArray &table) override;
    void correct23DF(int address, const QByteArray &blockBytes, int blocks, int lastCount) override;

    // The table editor's TimerRW.
    bool connected() const override;
    void correct23DF(const TableBlockWrite &write) override;

private:
    void submit(const EcuCommand &command);

    LinkWorkers &m_workers;
    const SettingsList &m_settings;
};

} // namespace korvel
