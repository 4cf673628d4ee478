// korvel-demomap <output path>: writes the demo firmware's calibration map.
#include "core/SafeFile.h"
#include "firmware/DemoMap.h"

#include <QString>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvel-demomap <output path>\n");
        return 2;
    }
    const korvel::Outcome<QByteArray> map = korvel::makeDemoMap();
    if (!map) {
        std::fprintf(stderr, "korvel-demomap: %s\n", map.error().toLocal8Bit().constData());
        return 1;
    }
    const QString why = korvel::writeFileSafely(QString::fromLocal8Bit(argv[1]), map.value());
    if (!why.isEmpty()) {
        std::fprintf(stderr, "korvel-demomap: %s: %s\n", argv[1], why.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
