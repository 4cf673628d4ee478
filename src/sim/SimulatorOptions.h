#pragma once

#include "sim/DiagnosticFrames.h"
#include "sim/EcuLink.h"
#include "sim/EcuMemory.h"
#include "sim/EcuModel.h"
#include "sim/Faults.h"
#include "sim/RequestKind.h"
#include "sim/SimFrame.h"
#include "sim/Wideband.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace korvel::sim {

struct SimulatorOptions {
    Protocol protocol = Protocol::Fast;
    QString firmwareFile;                         // 65536 bytes; empty: the image from `firmwareFactory`
    FirmwareFactory firmwareFactory;              // empty: builtInImage()
    std::optional<PressureSensor> pressureSensor; // none: the one the image is calibrated for
    int latencyMs = 25;                           // end of request to first answer byte
    bool lineTiming = true;                       // every byte takes ten bit times
    int answerChunks = 1;                         // pieces each answer reaches the program in
    int sessionTimeoutMs = 5000;                  // no request for this long ends communication; 0 = never
    int interByteTimeoutMs = 100;                 // a request that stops this long half-way is abandoned
    // Header forms of the answers, by request kind; the others keep theirs
    // (short for 81, a length byte for everything else).
    std::vector<std::pair<RequestKind, HeaderForm>> answerForms;
    std::vector<FaultRule> faults; // waiting from the start
    std::optional<RandomFaults> randomFaults;
    std::uint32_t seed = 1;         // the drive (and, unless set there, the wideband noise)
    std::uint32_t troubleCodes = 0; // bits of the four trouble-code bytes during the drive

    // The ECU fuels from its own tables in RAM with a hidden air-measurement
    // error of up to ±airErrorSize (seeded by `seed`), so written tables change the mixture.
    bool closedLoop = false;
    double airErrorSize = 0.15;

    WidebandType wideband = WidebandType::Innovate;
    int widebandWarmupMs = 5000;
    double afrError = 0; // measured mixture = target x (1 + error)
    bool widebandCrLf = false;
    double widebandStrayBytes = 0; // probability per message

    QString ecuLinkPath; // symbolic links to the devices, made at start, removed at stop
    QString lambdaLinkPath;
    TraceSink trace;            // every frame both ways, rate changes, faults
    bool traceWideband = false; // also every wideband message
};

} // namespace korvel::sim
