// The lambda worker against the simulated wideband controllers.
#include "WaitFor.h"
#include "core/ProgramLog.h"
#include "lambda/TLAMBDAThread.h"
#include "lambda/WidebandValue.h"
#include "sim/Simulator.h"

#include <QMutex>
#include <QMutexLocker>

#include "../ecu/QtPrinters.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace korvel;
using korvel::test::runEventsFor;
using korvel::test::waitFor;

namespace {

constexpr double kTargetAfr = 12.5;

struct TypeCase {
    sim::WidebandType type;
    const char *name;
    bool crLf = false;
};

class LambdaOverSim : public ::testing::Test {
protected:
    void startSimulator(sim::WidebandType type, int warmupMs = 0, bool crLf = false) {
        sim::SimulatorOptions options;
        options.wideband = type;
        options.widebandWarmupMs = warmupMs;
        options.widebandCrLf = crLf;
        simulator = std::make_unique<sim::Simulator>(options);
        QString error;
        ASSERT_TRUE(simulator->start(&error)) << error.toStdString();
        sim::EngineState state;
        state.rpm = 2500;
        state.afrTarget = kTargetAfr;
        simulator->setEngineState(state);

        worker = std::make_unique<TLAMBDAThread>(&log);
        worker->setOnChange([this](TLAMBDAThread &lambda) {
            const double afr = lambda.afr_float.load();
            afrWideband.offer(afr);
            QMutexLocker lock(&mutex);
            values.push_back(afr);
            ++changes;
        });
        worker->start();
    }

    void TearDown() override {
        if (worker)
            worker->shutdown();
        if (simulator)
            simulator->stop();
    }

    // The window's connect for a wideband controller.
    void connectLambda(const QString &type, const QString &port = {}) {
        worker->Command.replace(
            {LambdaCommandKind::OpenComPort, {port.isEmpty() ? simulator->lambdaDevicePath() : port, type, 2, 8, 0}});
    }
    void closeLambda() { worker->Command.replace({LambdaCommandKind::CloseComPort, {}}); }

    std::vector<double> received() {
        QMutexLocker lock(&mutex);
        return values;
    }
    int changeCount() {
        QMutexLocker lock(&mutex);
        return changes;
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<TLAMBDAThread> worker;
    ProgramLog log;
    WidebandValue afrWideband;
    QMutex mutex;
    std::vector<double> values; // every value FOnChange saw, on the worker thread
    int changes = 0;
};

} // namespace

TEST_F(LambdaOverSim, EveryControllerTypeDeliversTheMeasuredRatio) {
    const TypeCase cases[] = {
        {sim::WidebandType::Innovate, "Innovate"}, {sim::WidebandType::Aem, "AEM"},
        {sim::WidebandType::Aem, "AEM", true},     {sim::WidebandType::Korvel, "Korvel"},
        {sim::WidebandType::Alc1, "ALC-1"},        {sim::WidebandType::Apsx, "APSX"},
    };
    for (const TypeCase &c : cases) {
        SCOPED_TRACE(c.name + std::string(c.crLf ? " CR LF" : ""));
        startSimulator(c.type, 0, c.crLf);
        connectLambda(c.name);
        ASSERT_TRUE(waitFor([&] { return received().size() >= 5; }));
        for (double afr : received())
            EXPECT_NEAR(afr, kTargetAfr, 0.051);
        EXPECT_NEAR(afrWideband.value(), kTargetAfr, 0.051);
        EXPECT_TRUE(worker->ComConnect.load());
        EXPECT_EQ(worker->Command.kind(), LambdaCommandKind::Receive);
        EXPECT_EQ(worker->PortName.load(), simulator->lambdaDevicePath());
        EXPECT_EQ(worker->PortSpeed.load(), c.type == sim::WidebandType::Innovate ? "19200" : "9600");

        closeLambda();
        ASSERT_TRUE(waitFor([&] { return !worker->Command.pending(); }));
        EXPECT_FALSE(worker->ComConnect.load());
        TearDown();
        worker.reset();
        simulator.reset();
        afrWideband.reset();
        values.clear();
    }
}

// During warm-up an Innovate controller sends its heater progress in the word
// that otherwise carries lambda; none of it may reach the tuning as a ratio.
TEST_F(LambdaOverSim, InnovateWarmUpGivesNoRatio) {
    startSimulator(sim::WidebandType::Innovate, 1500);
    connectLambda("Innovate");
    ASSERT_TRUE(waitFor([&] { return received().size() >= 5; }));
    for (double afr : received())
        EXPECT_NEAR(afr, kTargetAfr, 0.051);
}

TEST_F(LambdaOverSim, InnovateSensorErrorGivesNoRatio) {
    startSimulator(sim::WidebandType::Innovate);
    connectLambda("Innovate");
    ASSERT_TRUE(waitFor([&] { return !received().empty(); }));
    simulator->setWidebandError(true);
    runEventsFor(300);
    const std::size_t before = received().size();
    runEventsFor(500);
    EXPECT_EQ(received().size(), before) << "error packets carry an error code, not lambda";
    simulator->setWidebandError(false);
    ASSERT_TRUE(waitFor([&] { return received().size() > before; }));
    EXPECT_NEAR(received().back(), kTargetAfr, 0.051);
}

TEST_F(LambdaOverSim, ClosingWithoutAnOpenPortFinishes) {
    startSimulator(sim::WidebandType::Aem);
    closeLambda();
    ASSERT_TRUE(waitFor([&] { return !worker->Command.pending(); }));
    EXPECT_FALSE(worker->ComConnect.load());
    EXPECT_EQ(changeCount(), 1) << "one change notification for the close";
}

TEST_F(LambdaOverSim, AMissingPortIsReportedAndReadsFailQuietly) {
    startSimulator(sim::WidebandType::Aem);
    connectLambda("AEM", "/dev/korvel-no-such-controller");
    ASSERT_TRUE(waitFor([&] { return worker->Command.kind() == LambdaCommandKind::Receive; }));
    EXPECT_FALSE(worker->ComConnect.load());
    EXPECT_EQ(worker->ErrorComPorts.load(), "Не удалось открыть порт /dev/korvel-no-such-controller");
    runEventsFor(100);
    EXPECT_EQ(changeCount(), 0);
}

TEST_F(LambdaOverSim, AControllerThatVanishesClosesThePort) {
    startSimulator(sim::WidebandType::Aem);
    connectLambda("AEM");
    ASSERT_TRUE(waitFor([&] { return !received().empty(); }));
    simulator->vanishWideband();
    ASSERT_TRUE(waitFor([&] { return !worker->ComConnect.load(); }));
    const QString lost = "ОШИБКА: Порт " + simulator->lambdaDevicePath() + " датчика кислорода пропал, порт закрыт!";
    ASSERT_TRUE(waitFor([&] { return log.lines().contains(lost); })) << log.lines().join('\n').toStdString();
    EXPECT_EQ(worker->ErrorComPorts.load(), lost);
    closeLambda();
    ASSERT_TRUE(waitFor([&] { return !worker->Command.pending(); }));
}
