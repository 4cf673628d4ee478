// hexdata.cfg: the custom row of tuning table addresses, read from the working
// folder when an address set is chosen; its first line is split as it stands.
#include "FuzzCheck.h"
#include "firmware/TuningAddressSets.h"

#include <QFile>
#include <QTemporaryDir>

using namespace korvel;
using korvel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const QTemporaryDir dir;
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    {
        QFile file(dir.filePath(kHexDataFile));
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
                "the scratch file is written");
    }
    TuningAddressSets sets;
    require(sets.addhexdata(kCustomRow, dir.path()), "the custom row can be chosen");
    for (int col = 1; col <= tuningcolumn::Tables; ++col) {
        require(sets.address(col) == sets.row(kCustomRow)[static_cast<std::size_t>(col - 1)], "selected address");
        require(sets.present(col) == (sets.address(col) != kAbsentTable), "presence follows the address");
    }
    (void)sets.tablcont();
    const TuningAddressSet direct = parseHexData(QString::fromLatin1(bytes));
    for (const QString &field : direct)
        require(!field.contains(QLatin1Char(',')), "fields are split at every comma");
    return 0;
}
