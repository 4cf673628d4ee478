#pragma once

#include "core/ProgramLog.h"
#include "editor/TableEditorController.h"
#include "firmware/FirmwareStore.h"
#include "firmware/MapBuilder.h"

#include <gtest/gtest.h>

#include <QString>

namespace korvel::test {

// A map of one table: the table node is the first record, so it lies at 22.
inline CalibrationMap oneTableMap(int kind, const QString &fields) {
    const Outcome<QByteArray> built =
        buildCalibrationMap(QStringLiteral("group 1 Таблица\nkind %1\n").arg(kind) + fields);
    EXPECT_TRUE(built.ok()) << built.error().toStdString();
    return CalibrationMap{built.value()};
}

inline constexpr qint64 kTableReference = 22;

// An editor over an image of our own with one table open.
struct EditorRig {
    ProgramLog log;
    FirmwareStore store{&log};
    TableEditorController editor{store, &log};

    EditorRig() { store.loadImage(FirmwareImage()); }
    void poke(int address, std::initializer_list<int> bytes) {
        QByteArray b;
        for (int v : bytes)
            b.append(static_cast<char>(v));
        FirmwareImage image = store.image();
        image.setBytes(address, b);
        store.loadImage(image);
    }
    int byte(int address) const { return store.image().byteAt(address).value_or(-1); }
    bool open(int kind, const QString &fields) {
        return editor.showTable(oneTableMap(kind, fields), TableRef{kind, QStringLiteral("Таблица"), kTableReference});
    }
    QString cell(int column, int row) const {
        return editor.view().cells.at(static_cast<std::size_t>(row - 1)).at(static_cast<std::size_t>(column - 1));
    }
};

} // namespace korvel::test
