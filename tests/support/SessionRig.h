#pragma once

// A working folder, the simulator and a started session pointed at it, for
// tests that drive the whole session against the simulated car.
#include "app/Session.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "firmware/DemoFirmware.h"
#include "sim/Simulator.h"

#include "SimulatedCar.h"
#include "TestSupport.h"
#include "WaitFor.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace korvel::test {

inline const QString kFirmwareFile = QStringLiteral("demo.bin");
inline const QString kMissingAdapter = QStringLiteral("/dev/korvel-no-such-adapter");

// A working folder, the simulator and a started session pointed at it.
struct SessionRig {
    // `adjust` changes the simulator's options before it starts.
    explicit SessionRig(sim::Protocol protocol = sim::Protocol::Fast,
                        sim::WidebandType wideband = sim::WidebandType::Innovate,
                        const std::function<void(sim::SimulatorOptions &)> &adjust = {}) {
        sim::SimulatorOptions options = test::quickSimulatorOptions();
        options.protocol = protocol;
        options.wideband = wideband;
        if (adjust)
            adjust(options);
        simulator = std::make_unique<sim::Simulator>(options);
        QString error;
        started = simulator->start(&error);
        EXPECT_TRUE(started) << error.toStdString();
        simulator->setEngineState(test::steadyCruise());
        work.write(kFirmwareFile, makeDemoFirmware());

        // The user's settings, saved before the program starts: port discovery
        // at start-up then finds the simulator's devices.
        SettingsList config;
        EXPECT_TRUE(config.load(work.path("config.ini")));
        const std::pair<QString, QString> values[] = {
            {setting::EcuCom, simulator->ecuDevicePath()},
            {setting::LambdaCom, simulator->lambdaDevicePath()},
            {setting::Protocol, protocol == sim::Protocol::Fast ? setting::FastProtocol : setting::StandardProtocol},
            {setting::FirmwareType, QStringLiteral("j5ls")},
            {setting::DefaultFirmware, kFirmwareFile},
            {setting::LoadDefaultFirmware, setting::Yes},
        };
        for (const auto &[name, value] : values)
            config.setValue(name, value);
        EXPECT_EQ(config.save(work.path("config.ini")), QString());

        session = std::make_unique<Session>(work.path());
        EXPECT_TRUE(session->startUp());
    }

    void set(const QString &name, const QString &value) { session->settings().setValue(name, value); }

    // A connect to an adapter that is not plugged in, with Timer3 and Timer5 quick.
    void connectToMissingAdapter() {
        set(setting::EcuCom, kMissingAdapter);
        set(setting::OxygenSensor, setting::Narrowband);
        session->timers().Timer3.setInterval(50);
        session->timers().Timer5.setInterval(200);
        session->connectEcu();
    }

    bool connectAndPoll() {
        session->connectEcu();
        return waitFor(
                   [&] {
                       return session->statusBar().link.text == QLatin1String("ONLINE") ||
                              session->statusBar().link.text == QLatin1String("IN DIAG");
                   },
                   kConnectMs) &&
               waitFor([&] { return session->live().engine().processedFrames() >= 3; }, kConnectMs) &&
               finishSetUpSoon();
    }

    // The post-connect set-up comes 30 s after the first Timer3 tick; tests
    // need not wait that long once polling runs. The set-up is armed at that
    // first tick, before polling is seen: false when it was not.
    bool finishSetUpSoon() {
        if (!session->timers().Timer5.isActive())
            return false;
        session->timers().Timer5.setInterval(300);
        return true;
    }

    bool disconnect() {
        session->disconnectEcu();
        return waitFor([&] {
            return !session->isConnecting() && session->workers().ecu().IsComConnected.load() == 0 &&
                   !session->workers().lambda().ComConnect.load();
        });
    }

    // A steady cruise that the wideband measures `leanBy` lean of the target;
    // tuning by throttle with the accumulation, the cycle filling written back
    // every second.
    void prepareLeanTuning(double leanBy) {
        sim::EngineState cruise = steadyCruise();
        cruise.cyclicAir = 150;
        simulator->setEngineState(cruise);
        simulator->setAfrError(leanBy);
        for (const auto &[name, value] : std::initializer_list<std::pair<QString, QString>>{
                 {setting::TuneBy, QStringLiteral("Дросселю")},
                 {setting::FourPoints, setting::No},
                 {setting::PhaseTuning, setting::No},
                 {setting::NeighbourFactor, QStringLiteral("0")},
                 {setting::WriteBackInterval, QStringLiteral("1000")},
             })
            set(name, value);
    }

    // Connected and polling, then the firmware the ECU runs opened again: its
    // tables go into the ECU's RAM and tuning is offered.
    bool connectForTuning() {
        return connectAndPoll() && session->openFirmware(work.path(kFirmwareFile)) &&
               waitFor([&] { return session->tuningAllowed(); }, kConnectMs);
    }

    QString csvPath() const { return session->logDirectory().ensure() + QStringLiteral("/лог.csv"); }

    test::WorkDir work;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<Session> session;
    bool started = false;
};

} // namespace korvel::test
