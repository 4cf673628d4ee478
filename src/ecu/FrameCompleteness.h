#pragma once

#include <QByteArrayView>

#include <optional>

namespace korvel {

// How many bytes the KWP2000 frame at the start of `bytes` takes on the wire:
// header, data and checksum. The data length sits in the low six bits of the
// format byte (3-byte header), or in the byte after the source address when
// those bits are 0 (4-byte header). Nothing while the header is incomplete.
std::optional<qsizetype> kwpFrameSize(QByteArrayView bytes);

// The read of an exchange has all it will use: the echo of the `sentSize`
// bytes the tester sent and one whole answer frame right after it. Bytes
// beyond that frame do not matter; the checksum is not looked at here.
bool exchangeComplete(QByteArrayView received, qsizetype sentSize);

} // namespace korvel
