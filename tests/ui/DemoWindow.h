#pragma once
// The demo as a user starts it: the simulated car, a session pointed at it
// and the main window, shown at the laptop size the layouts are drawn for.

#include "app/Session.h"
#include "core/ControlNames.h"
#include "core/SettingNames.h"
#include "sim/DemoRig.h"
#include "ui/DemoMode.h"
#include "ui/MainWindow.h"

#include "Shots.h"
#include "TestSupport.h"
#include "WaitFor.h"

#include <gtest/gtest.h>

#include <memory>

namespace korvel::test {

class DemoWindow {
public:
    static constexpr int kConnectMs = 60000;
    // The post-connect set-up without its 30 s wait.
    static constexpr int kQuickSetUpMs = 200;

    DemoWindow() : rig(work.path()) {}
    ~DemoWindow() {
        if (session)
            session->shutDown();
    }
    DemoWindow(const DemoWindow &) = delete;
    DemoWindow &operator=(const DemoWindow &) = delete;

    // Starts the simulated car; its engine state can be set before the connect.
    bool startCar(QString *error) { return rig.start(error); }

    // Builds the session and the window and starts the program.
    bool openWindow() {
        session = std::make_unique<Session>(work.path());
        // A patient read timeout: the simulator shares a busy machine.
        auto overrides = rig.settingOverrides();
        overrides.append({setting::Timeout2, QStringLiteral("600")});
        session->setSettingOverrides(overrides);
        window = std::make_unique<ui::MainWindow>(*session);
        window->resize(1280, 791);
        window->show();
        return session->startUp();
    }

    // Connects and waits until polling runs and the post-connect set-up (grid
    // axes, tuning tables, the buttons it enables) is done.
    bool connectAndSetUp() {
        session->connectEcu();
        if (!waitFor([&] { return session->live().engine().processedFrames() >= 5; }, kConnectMs))
            return false;
        // The set-up was armed at the connect's first tick; it comes sooner now that polling runs.
        if (session->timers().Timer5.isActive())
            session->timers().Timer5.setInterval(kQuickSetUpMs);
        return waitFor([&] { return session->controls().isEnabled(control::TButshowBiglDia); }, kConnectMs);
    }

    // As `korvel --demo` does: the ECU's own firmware opens once a connection is set up.
    void openFirmwareWhenConnected() {
        ui::openFirmwareWhenConnected(*session, work.path(sim::DemoRig::kFirmwareFile));
    }

    bool disconnect() {
        session->disconnectEcu();
        return waitFor([&] { return !session->isConnecting(); });
    }

    std::string log() const { return session->log().lines().join('\n').toStdString(); }

    WorkDir work;
    sim::DemoRig rig;
    std::unique_ptr<Session> session;
    std::unique_ptr<ui::MainWindow> window;
};

} // namespace korvel::test
