#pragma once

#include "live/LiveParameters.h"

#include <QObject>

#include <functional>
#include <optional>

namespace korvel {

class ProgramLog;
class Session;
class SettingsList;

// The numbers a connect reads from the settings. A value that is empty or
// not a decimal integer stops the connect before anything changes.
struct ConnectSettings {
    int portTimeOut = 0;       // "Таймаут1"
    int portReadTimeOut = 0;   // "Таймаут2"
    int firmwareSaveMs = 0;    // "Время перезаписи прошивки(мс)": Timer2
    int writeBackMs = 0;       // "Интервал коррекции БЦН(мс)": Timer4
    int neighbourMs = 0;       // "Интервал обучения соседних РТ": Timer6
    int minLoadPercent = 0;    // "Не настраивать ниже %"

    static std::optional<ConnectSettings> read(const SettingsList &settings, ProgramLog &log);
};

// The window's connect and disconnect sequences, the timers that finish a
// connect (Timer3 waits for polling, Timer5 does the post-connect set-up) and
// the exit button. Pauses between steps run on single-shot timers; a newer
// sequence cancels the rest of an older one.
class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(Session &session);

    // Ignored while a connection is up (until its disconnect has finished) or
    // the program is exiting: a second connect must not restart the CSV log.
    void connectEcu();
    void disconnectEcu();
    void exitProgram();
    // The window is closing: no step of a sequence runs any more.
    void cancel() { ++m_sequence; }
    bool busy() const { return m_pendingSteps > 0; }
    bool linkUp() const { return m_linkUp; }
    const std::optional<ConnectSettings> &connectSettings() const { return m_settings; }

private:
    void onTimer3();
    void onTimer5();
    void startWorkers(Protocol protocol);
    void finishDisconnect();
    // Runs `step` after `ms` unless a newer sequence started meanwhile.
    void after(int ms, std::function<void()> step);

    Session &m_session;
    std::optional<ConnectSettings> m_settings;
    Protocol m_protocol = Protocol::Fast;
    unsigned m_sequence = 0;
    int m_pendingSteps = 0;
    bool m_linkUp = false;      // from connect until its disconnect has closed the ports
    bool m_setUpArmed = false;  // Timer5 was started for this connection
    bool m_exiting = false;
};

} // namespace korvel
