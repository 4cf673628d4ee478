#pragma once

#include <QWidget>

namespace korvel {
class Session;
}

namespace korvel::ui {

// The firmware file controls of the calibration page: the loaded firmware's
// and map's labels, open, save as, open a comparison firmware, its check box
// and undo.
class FirmwareFilesBar : public QWidget {
    Q_OBJECT
public:
    explicit FirmwareFilesBar(Session &session, QWidget *parent = nullptr);

    // The open-firmware command of the toolbar and of BitBtn5.
    static void openFirmware(Session &session, QWidget *dialogParent);

private:
    void saveAs();
    void openComparison();

    Session &m_session;
};

} // namespace korvel::ui
