// The five wideband controller streams: the bytes of successive reads fed to
// the parser of one controller type, the assembly state kept between reads.
// Input: type choice, then reads as [length][bytes].
#include "FuzzCheck.h"
#include "lambda/WidebandParsers.h"

#include <cmath>

using namespace korvel;
using korvel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const QString names[] = {QStringLiteral("Innovate"), QStringLiteral("AEM"), QStringLiteral("Korvel"),
                                    QStringLiteral("ALC-1"), QStringLiteral("APSX")};
    fuzz::Input input(data, size);
    const WidebandType *type = widebandType(names[input.byte() % std::size(names)]);
    require(type != nullptr, "every listed type has a parser");
    WidebandState state;
    while (!input.atEnd()) {
        const QByteArray chunk = input.bytes(input.byte());
        const WidebandReadings readings = type->parse(state, chunk, type->valueLength);
        require(state.buffpoint >= 0 && state.buffpoint < WidebandState::Slots, "write position inside the ring");
        require(state.numlc >= 0 && state.numlc <= WidebandState::Unsynchronised, "byte count in range");
        for (const WidebandReading &reading : readings) {
            require(!reading.afr.isEmpty(), "a value has its text");
            require(std::isfinite(reading.afr_float), "a value is a finite number");
        }
    }
    return 0;
}
