#pragma once

#include <QMetaType>
#include <QString>

namespace korvel {

// The catalogue node chosen in the tree, as the table view opens it: the
// kind (the node's icon index - 1), its text and where it lies in the map.
struct TableSelection {
    int kind = 0; // 1 to 5 for tables; 0 or 255 for nodes that only announce the next record
    QString name;
    qint64 reference = -1; // -1: nothing chosen yet
    bool isChosen() const { return reference >= 0; }
    friend bool operator==(const TableSelection &, const TableSelection &) = default;
};

} // namespace korvel

Q_DECLARE_METATYPE(korvel::TableSelection)
