#pragma once

#include <QWidget>

class QLabel;
class QTreeView;

namespace korvel {
class Session;
struct TableSelection;
} // namespace korvel

namespace korvel::ui {

class CatalogIconModel;

// The calibration catalogue on the calibration page: the tree of the loaded
// map with icons by kind, the map change (BitBtn3), the export (BitBtn19) and
// import (BitBtn20) of the open table, and a caption naming the open table.
class CatalogPanel : public QWidget {
    Q_OBJECT
public:
    explicit CatalogPanel(Session &session, QWidget *parent = nullptr);

    // The map choice: a window-modal file dialog that does not block; a chosen
    // file replaces the catalogue.
    void chooseMap();

private:
    void showSelection(const TableSelection &table);
    void exportTable();
    void importTable();

    Session &m_session;
    QTreeView *m_tree = nullptr;
    CatalogIconModel *m_icons = nullptr;
    QLabel *m_choice = nullptr;
};

} // namespace korvel::ui
