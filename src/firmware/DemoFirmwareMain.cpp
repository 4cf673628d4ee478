// korvel-demofw <output path>: writes the demo firmware image.
#include "core/SafeFile.h"
#include "firmware/DemoFirmware.h"

#include <QString>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvel-demofw <output path>\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString why = korvel::writeFileSafely(path, korvel::makeDemoFirmware());
    if (!why.isEmpty()) {
        std::fprintf(stderr, "korvel-demofw: %s: %s\n", argv[1], why.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
