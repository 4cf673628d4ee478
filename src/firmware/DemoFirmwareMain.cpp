// korvel-demofw <output path> [<pressure output path>]: writes the demo
// firmware image and, when asked, the demo firmware without the air-flow sensor.
#include "core/SafeFile.h"
#include "firmware/DemoFirmware.h"

#include <QString>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: korvel-demofw <output path> [<pressure output path>]\n");
        return 2;
    }
    const QByteArray images[] = {korvel::makeDemoFirmware(), korvel::makeDemoPressureFirmware()};
    for (int i = 1; i < argc; ++i) {
        const QString why = korvel::writeFileSafely(QString::fromLocal8Bit(argv[i]), images[i - 1]);
        if (!why.isEmpty()) {
            std::fprintf(stderr, "korvel-demofw: %s: %s\n", argv[i], why.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
