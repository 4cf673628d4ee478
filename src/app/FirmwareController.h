#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace korvel {

class ControlBoard;
class FirmwareIdentity;
class FirmwareStore;
class LogDirectory;
class ProgramLog;
class TuningTables;
class ViewState;

// The firmware files of the session: opening (by hand and the connect's
// default file), the comparison image, saving, undo and the automatic save
// into the run's folder. The image's identity follows every change of the image.
class FirmwareController : public QObject {
    Q_OBJECT
public:
    // What opening needs to know about the link at that moment.
    struct LinkFacts {
        bool connected = false;
        QString ecuComplectation; // komplectecu of the connected ECU
    };
    using LinkProbe = std::function<LinkFacts()>;

    FirmwareController(FirmwareStore &store, FirmwareIdentity &identity, TuningTables &tables,
                       LogDirectory &logDirectory, ProgramLog &log, ControlBoard &controls, ViewState &view,
                       LinkProbe link);

    // False when nothing changed (the refusal is logged).
    bool openFirmware(const QString &path);
    bool openComparison(const QString &path);
    // The connect's default firmware; `shownName` is "Прошивка по умолчанию" as written.
    bool loadDefaultFirmware(const QString &path, const QString &shownName);
    // Returns the path written (".bin" appended) or empty on failure (logged).
    QString saveFirmwareAs(const QString &chosenName);
    // One undo step: the image and its identity go back; the tuning grids keep
    // what they learned and are only redrawn.
    void undoFirmware();
    // Start-up ran again (a settings save): the kept image's identity is recomputed.
    void reidentifyKeptImage();
    // FirmwareSave into the run's folder; false when nothing was written.
    bool autoSave();

signals:
    // A new image replaced the old one; the tables were reloaded from it.
    void imageReplaced();
    // Undo restored an earlier image; whatever shows the image redraws.
    void imageRestored();
    // The automatic save wrote the image to this path.
    void imageSaved(const QString &path);
    // A file the connected ECU runs was opened: its tables go into the ECU's
    // RAM ("rewritetabl"), so that tuning starts from what the screen shows.
    void tablesToRewrite();

private:
    FirmwareStore &m_store;
    FirmwareIdentity &m_identity;
    TuningTables &m_tables;
    LogDirectory &m_logDirectory;
    ProgramLog &m_log;
    ControlBoard &m_controls;
    ViewState &m_view;
    LinkProbe m_link;
};

} // namespace korvel
