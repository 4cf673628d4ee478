#include "live/ChartLayoutFile.h"

#include "core/SafeFile.h"
#include "core/TextFile.h"

#include <QFile>

namespace korvel::chartlayout {

namespace {
const QString kTitle = QStringLiteral("Графики");
constexpr int kSignificant = 3;
} // namespace

QByteArray encode(const QList<int> &layout) {
    QStringList lines{kTitle};
    for (int slot : layout)
        lines << QString::number(slot);
    return encodeLines(lines, TextLayout{});
}

QList<int> decode(const QByteArray &bytes, int channelCount) {
    const QStringList lines = decodeLines(bytes).lines;
    QList<int> layout;
    layout.reserve(channelCount);
    for (int q = 1; q <= channelCount; ++q) {
        const QString text = q < lines.size() ? lines.at(q).left(kSignificant).trimmed() : QString();
        bool ok = false;
        const int slot = text.toInt(&ok);
        layout << (ok ? slot : -1);
    }
    return layout;
}

std::optional<QList<int>> read(const QString &path, int channelCount) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decode(file.readAll(), channelCount);
}

QString write(const QString &path, const QList<int> &layout) {
    return writeFileSafely(path, encode(layout));
}

} // namespace korvel::chartlayout
