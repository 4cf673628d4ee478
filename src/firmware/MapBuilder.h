#pragma once

#include "firmware/CalibrationMap.h"
#include "firmware/Outcome.h"

#include <QByteArray>
#include <QString>

namespace korvel {

// Writes calibration maps from a readable description, for tests and the demo
// map. The description is line based; blank lines and lines starting with '#'
// are skipped, words are separated by spaces, and a name or text is the rest
// of its line (it may be empty or hold spaces).
//
//   group LEVEL NAME     a group record (67 bytes)
//   item LEVEL NAME      an item record (2 zero bytes, then 67 bytes)
//   kind N               the kind byte of the record above; 1 to 5 make it a
//                        table, whose description block follows the record.
//                        Without it the kind announces the next record: 0 when
//                        an item follows, 255 when a group follows or at the end.
//                        An explicit kind is written as given, even when it
//                        contradicts the next record (for maps meant to break).
//
// Fields of the table above (after its kind line); numbers in decimal, the
// ones marked hex in upper- or lower-case hexadecimal:
//   id HEX, address HEX (written masked), marker HEX, mark HEX, trailer HEX,
//   cells N, rows M, celltype C, xstart, xend, ystart, yend, min, max,
//   d1, d2, d3, d4, d5 (doubles; d1 and d4 are 1 unless given, the rest 0),
//   xname TEXT, unit TEXT, yname TEXT, xcode TEXT, ycode TEXT, title TEXT,
//   flag I HEX NAME      kind 4: flag byte I (0 to 7), its address and name
//   bit I J NAME         kind 4: the name of bit J of flag byte I
//   text I HEX LENGTH NAME   kind 5: text I, its address, length and name
//
// Names and texts are stored in the map's single-byte code: Cyrillic letters
// as in Windows-1251 and other characters up to U+00FF as themselves, except
// those whose bytes the reader takes for Cyrillic letters. The 22-byte header
// is zeros, and two zero bytes close the map, because the reader takes an
// item record only when it ends before the last byte.
//
// Refused, with the line number: unknown words, bad numbers, texts too long
// for their slot or not encodable, an item first, a table followed by an item.
Outcome<QByteArray> buildCalibrationMap(const QString &description);

// The map's single-byte code of a text; refused for characters it cannot hold.
Outcome<QByteArray> EncodeMapText(const QString &text);

// The description block of a table of d.kind (1 to 5), the inverse of
// readTableDescriptor; texts that cannot be stored are refused.
Outcome<QByteArray> encodeTableDescriptor(const TableDescriptor &d);

} // namespace korvel
