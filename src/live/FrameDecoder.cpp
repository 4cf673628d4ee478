#include "live/FrameDecoder.h"
#include "core/Bytes.h"

#include "core/Numbers.h"
#include "live/FrameLayout.h"

namespace korvel {
namespace {

int rawValue(const QByteArray &frame, const LayoutRow &row) {
    switch (row.type) {
    case ByteType::U8:
        return byteAt(frame, row.byte);
    case ByteType::S8:
        return static_cast<signed char>(byteAt(frame, row.byte));
    case ByteType::U16:
        return byteAt(frame, row.byte) | byteAt(frame, row.byte + 1) << 8;
    }
    return 0;
}

void decodeFlags(const QByteArray &frame, Protocol protocol, LiveParameters &p) {
    for (const FlagRow &flag : flagTable()) {
        const bool fast = protocol == Protocol::Fast;
        const int byte = byteAt(frame, fast ? flag.fastByte : flag.standardByte);
        p.flags[static_cast<std::size_t>(flag.number - 1)] = byte >> (fast ? flag.fastBit : flag.standardBit) & 1;
    }
}

// With a wideband controller its ratio over the ECU's stands in for the ECU's
// own correction; with the narrowband sensor there is no measured ratio.
void applyOxygenSensor(Protocol protocol, const DecodeInputs &in, LiveParameters &p) {
    p.ecuTrim = p.injCorrection;
    if (in.narrowbandSensor) {
        p.afrWideband = protocol == Protocol::Fast ? 0.0 : p.afrEcu;
        p.narrowband = true;
        return;
    }
    p.afrWideband = in.lambdaAfr;
    if (p.afrEcu != 0)
        p.injCorrection = p.afrWideband / p.afrEcu;
}

void deriveValues(const QByteArray &frame, Protocol protocol, const DecodeInputs &in, LiveParameters &p) {
    if (protocol == Protocol::Fast) {
        constexpr int kPressureSensorByte = 26;
        // Shown in kPa, kept in tenths of a kPa like the pressure grid axes.
        p.pressure = in.pressureSensor.kpa(byteAt(frame, kPressureSensorByte)) * 10.0f;
    }
    p.injectorLoad = roundHalfEven(p.rpm * p.injPulse / 1200 * 10) / 10;
    applyOxygenSensor(protocol, in, p);
}

float channelValue(const LayoutRow &row, LiveParameters &p) {
    switch (row.form) {
    case ChannelForm::AsIs:
        return static_cast<float>(row.field(p));
    case ChannelForm::Hundredths:
        return static_cast<float>(roundTo(row.field(p), 2));
    case ChannelForm::Thousandths:
        return static_cast<float>(roundTo(row.field(p), 3));
    case ChannelForm::WholeKpa:
        return static_cast<float>(roundHalfEven(p.pressure / 10.0));
    }
    return 0;
}

void fillChannels(Protocol protocol, LiveParameters &p, LiveChannels &channels) {
    for (const LayoutRow &row : frameLayout(protocol))
        if (row.channel > 0)
            channels.set(row.channel, channelValue(row, p));
    for (const FlagRow &flag : flagTable())
        channels.set(flagChannel(protocol, flag.number), static_cast<float>(p.flag(flag.number)));
}

} // namespace

std::optional<Protocol> decodeFrame(const QByteArray &frame, const DecodeInputs &in, LiveParameters &p,
                                    LiveChannels &channels) {
    const std::optional<Protocol> protocol = protocolOfFrame(frame.size());
    if (!protocol)
        return std::nullopt;
    for (const LayoutRow &row : frameLayout(*protocol))
        if (row.byte != LayoutRow::kDerived)
            row.field(p) = row.scale(rawValue(frame, row));
    decodeFlags(frame, *protocol, p);
    deriveValues(frame, *protocol, in, p);
    fillChannels(*protocol, p, channels);
    return protocol;
}

} // namespace korvel
