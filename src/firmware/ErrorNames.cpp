#include "firmware/ErrorNames.h"

#include "core/TextFile.h"

namespace korvel {

QString ErrorNames::name(int codeByte, int bit) const {
    if (codeByte < 0 || codeByte >= kCodeBytes || bit < 0 || bit >= kBits)
        return {};
    return names[static_cast<std::size_t>(codeByte)][static_cast<std::size_t>(bit)];
}

ErrorNames parseErrorNames(const QByteArray &bytes) {
    ErrorNames out;
    const QStringList lines = decodeLines(bytes).lines;
    const qsizetype used = std::min<qsizetype>(lines.size(), ErrorNames::kCodeBytes * ErrorNames::kBits);
    for (qsizetype n = 0; n < used; ++n)
        out.names[static_cast<std::size_t>(n / ErrorNames::kBits)][static_cast<std::size_t>(n % ErrorNames::kBits)] =
            lines.at(n);
    return out;
}

} // namespace korvel
