// config.ini as users leave it: any bytes, in any of the encodings the reader
// recognises, loaded into the settings list and written back.
#include "FuzzCheck.h"
#include "core/Cp1251.h"
#include "core/ProgramLog.h"
#include "core/SettingsList.h"
#include "core/TextFile.h"

#include <QFile>
#include <QTemporaryDir>

using namespace korvel;
using korvel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("config.ini"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    {
        QFile file(path);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
                "the scratch file is written");
    }
    SettingsList settings;
    require(settings.load(path), "a readable file always loads");
    ProgramLog log;
    for (int row = 0; row < settings.count(); ++row) {
        const QString name = settings.nameAt(row);
        require(settings.contains(name), "every name is found again");
        (void)settings.integer(name, log);
        (void)settings.pickList(name);
    }

    // What is written back reads back as the same lines.
    const TextLines first = decodeLines(bytes);
    if (first.layout.encoding == TextEncoding::Cp1251 && !cp1251::canEncode(first.lines.join(QString())))
        return 0; // such a file is saved as UTF-8 instead
    const TextLines again = decodeLines(encodeLines(first.lines, first.layout));
    require(again.lines == first.lines, "lines survive a round trip");
    require(again.layout.encoding == first.layout.encoding, "the encoding survives a round trip");
    return 0;
}
