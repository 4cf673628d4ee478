#pragma once

#include "ecu/ActuatorTable.h"
#include "ecu/EcuCommand.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <deque>
#include <optional>

namespace korvel {

class LinkWorkers;

// The actuator controls of the full diagnostic panel without their widgets:
// the check box, the selected row, the track bar, the value shown and each
// row's indicator. Every user action becomes one actuator command for the
// ECU worker; an action that finds the worker busy waits its turn.
class ActuatorController : public QObject {
    Q_OBJECT
public:
    explicit ActuatorController(LinkWorkers &workers, QObject *parent = nullptr);

    struct Row {
        std::optional<int> sentPosition; // last track bar position sent for the row
        bool overridden = false;         // the indicator shows the overridden picture
    };

    // The controls exist: built when diagnostics first run in the fast
    // protocol, kept for the rest of the run.
    bool built() const { return m_built; }
    bool checked() const { return m_checked; }
    int selectedRow() const { return m_selected; }
    int trackPosition() const { return m_trackPosition; }
    const QString &valueText() const { return m_valueText; }
    bool stateShown() const { return m_stateShown; }
    const std::array<Row, kActuatorCount> &rows() const { return m_rows; }
    // Actions not yet handed to the worker.
    qsizetype waitingCount() const { return static_cast<qsizetype>(m_waiting.size()); }

    // The diagnostic panels of a connection were built (or released at disconnect).
    void diagnosticsShown(bool fastProtocol);
    // Disconnect: the worker hands every imposed actuator back before it
    // ends the session; the box is unticked.
    void diagnosticsHidden();
    // Another page came to the front: leaving the controls hands every actuator back.
    void pageShown(const QString &page);
    // A firmware read starts: the actuators go back to the ECU before it.
    void firmwareReadStarting();

    // User actions.
    void setChecked(bool on);
    void selectRow(int row);
    void moveTrackBar(int position);
    void clickIndicator(int row);

    // The engine tick: the selected row's value and track bar follow the state the ECU reported.
    void showState();

signals:
    void builtChanged();
    // Anything the controls show changed.
    void changed();

private:
    ActuatorCommand action(int row, std::uint8_t parameter);
    void send(ActuatorCommand command);
    void handOverWaiting();

    LinkWorkers &m_workers;
    bool m_built = false;
    bool m_panelsBuilt = false;
    bool m_checked = false;
    int m_selected = 0;
    int m_trackPosition = 0;
    QString m_valueText;
    bool m_stateShown = false;
    std::array<Row, kActuatorCount> m_rows;
    std::uint32_t m_serial = 0;
    std::deque<ActuatorCommand> m_waiting;
    QTimer m_retry;
};

} // namespace korvel
