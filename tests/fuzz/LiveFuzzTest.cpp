#include "Mutator.h"
#include "core/ControlBoard.h"
#include "live/EngineTick.h"
#include "live/FrameDecoder.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace korvel;
using korvel::fuzz::Mutator;

namespace {

constexpr int kLiveIterations = 2000;

using P = LiveParameters;
// Every double the decoder may write.
constexpr double P::*kFields[] = {
    &P::ecuWorkPoint,     &P::coolantTemp,   &P::afrEcu,      &P::afrWideband,     &P::rco,
    &P::throttle,         &P::rpm,           &P::idleRpm,     &P::cycleTime,       &P::idleValveDesired,
    &P::idleValveCurrent, &P::injCorrection, &P::injPhase,    &P::ignition,        &P::adcKnock,
    &P::adcMaf,           &P::adcRco,        &P::adcTps,      &P::adcCoolant,      &P::adcAirTemp,
    &P::adcO2Change,      &P::batteryU,      &P::octaneCorr,  &P::vehicleSpeed,    &P::desiredIdleRpm,
    &P::airTemp,          &P::adcO2,         &P::gtcRich,     &P::gtcLean,         &P::injPulse,
    &P::airMass,          &P::cyclicAir,     &P::fuelPerHour, &P::fuelPerDistance, &P::injectorLoad,
    &P::loadValue,
};

// The parameters and channels as plain numbers, for "finite" and "unchanged".
std::vector<double> snapshot(const LiveParameters &p, const LiveChannels &channels) {
    std::vector<double> out;
    for (auto field : kFields)
        out.push_back(p.*field);
    for (double corr : p.ignitionCorr)
        out.push_back(corr);
    out.push_back(p.pressure);
    for (int flag : p.flags)
        out.push_back(flag);
    out.push_back(p.narrowband ? 1 : 0);
    for (int channel = 1; channel <= kMaxChannelCount; ++channel)
        out.push_back(channels.value(channel));
    return out;
}

struct BoardState {
    QString name, text;
    bool enabled, visible;
    int color;
    friend bool operator==(const BoardState &, const BoardState &) = default;
};
std::vector<BoardState> snapshot(const ControlBoard &board) {
    std::vector<BoardState> out;
    QStringList names = board.names();
    names.sort();
    for (const QString &n : names)
        out.push_back({n, board.text(n), board.isEnabled(n), board.isVisible(n), board.color(n)});
    return out;
}

TickInputs randomInputs(Mutator &m) {
    TickInputs in;
    in.settings.showErrors = m.oneIn(2);
    in.settings.showKnock = m.oneIn(2);
    in.settings.narrowbandSensor = m.oneIn(3);
    in.settings.tuneByPressure = m.oneIn(2);
    in.lambdaAfr = m.oneIn(4) ? 0.0 : static_cast<double>(m.below(3000)) / 100;
    if (!m.oneIn(3)) {
        const double gain = static_cast<double>(m.below(4000)) / 100;
        in.pressureSensor = {true, gain, static_cast<double>(m.below(200) - 100) / 100};
    }
    return in;
}

std::vector<QByteArray> frameSeeds() {
    return {QByteArray(kFastFrameLength, '\0'), QByteArray(kFastFrameLength, '\xFF'),
            QByteArray(kStandardFrameLength, '\0'), QByteArray(kStandardFrameLength, '\x80')};
}

} // namespace

// Frames of the two layouts decode to finite values and 0/1 flags whatever their bytes.
TEST(EngineTickFuzz, FramesOfBothLayoutsDecodeToFiniteValues) {
    ControlBoard board;
    EngineTick tick(board);
    ErrorNameTable names;
    names[0][0] = QStringLiteral("Датчик детонации");
    tick.setErrorNames(names);
    tick.startConnection(Protocol::Fast);
    Mutator mutator(0x4C49'0001, {});
    for (int i = 0; i < kLiveIterations; ++i) {
        const bool fast = mutator.oneIn(2);
        const QByteArray frame = mutator.randomBytes(fast ? kFastFrameLength : kStandardFrameLength);
        const TickOutcome outcome = tick.processFrame(frame, i, randomInputs(mutator));
        ASSERT_EQ(outcome.decoded, fast ? Protocol::Fast : Protocol::Standard);
        for (double value : snapshot(tick.parameters(), tick.channels()))
            ASSERT_TRUE(std::isfinite(value)) << "iteration " << i << " " << frame.toHex(' ').toStdString();
        for (int flag : tick.parameters().flags)
            ASSERT_TRUE(flag == 0 || flag == 1);
    }
}

// A frame of any other length leaves the parameters, the channels and the window alone.
TEST(EngineTickFuzz, OtherLengthsChangeNothing) {
    ControlBoard board;
    EngineTick tick(board);
    tick.startConnection(Protocol::Fast);
    Mutator mutator(0x4C49'0002, frameSeeds(), 120);
    const TickInputs first = randomInputs(mutator);
    tick.processFrame(mutator.randomBytes(kFastFrameLength), 1, first);
    tick.processFrame(mutator.randomBytes(kStandardFrameLength), 2, first);
    for (int i = 0; i < kLiveIterations; ++i) {
        QByteArray frame = mutator.next();
        if (protocolOfFrame(frame.size()))
            frame.append('\0');
        const auto parameters = snapshot(tick.parameters(), tick.channels());
        const auto window = snapshot(board);
        const TickOutcome outcome = tick.processFrame(frame, 2, randomInputs(mutator)); // no new request
        EXPECT_FALSE(outcome.decoded) << frame.size();
        EXPECT_FALSE(outcome.newRequest);
        EXPECT_EQ(snapshot(tick.parameters(), tick.channels()), parameters) << "length " << frame.size();
        EXPECT_TRUE(snapshot(board) == window) << "length " << frame.size();

        LiveParameters p = tick.parameters();
        LiveChannels channels = tick.channels();
        EXPECT_FALSE(decodeFrame(frame, {}, p, channels));
        EXPECT_EQ(snapshot(p, channels), parameters);
        if (HasFailure())
            return;
    }
}
