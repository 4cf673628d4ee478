#include "app/FirmwareReadController.h"

#include "app/LinkWorkers.h"
#include "app/SessionTimers.h"
#include "app/ViewState.h"
#include "core/ControlBoard.h"
#include "core/ControlNames.h"
#include "core/ProgramLog.h"
#include "firmware/FirmwareFiles.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareStore.h"
#include "tuning/TuningTables.h"

#include <QTimer>

#include <utility>

namespace korvel {
namespace {

constexpr int kBeforeCommand = 50;      // ms after the live work stopped
constexpr int kBeforeTakingImage = 505; // ms after the worker's result
constexpr int kWaitForWorkerMs = 50;    // how often a waiting read looks whether the worker is free

const QString kReading = QStringLiteral("Читаем прошивку из ECU");
const QString kNoLink = QStringLiteral("Нет связи с ECU, прошика не считана");
const QString kRead = QStringLiteral("Прошивка считана из ECU");

} // namespace

FirmwareReadController::FirmwareReadController(Parts parts) : m_parts(parts) {
    connect(&m_parts.timers.ReadFWTimer, &QTimer::timeout, this, &FirmwareReadController::onReadFWTimer);
    m_waitForWorker.setObjectName(QStringLiteral("firmwareReadWaitsForWorker"));
    m_waitForWorker.setSingleShot(true);
    m_waitForWorker.setInterval(kWaitForWorkerMs);
    connect(&m_waitForWorker, &QTimer::timeout, this, &FirmwareReadController::submitRead);
}

void FirmwareReadController::readFirmware() {
    if (m_busy)
        return;
    m_busy = true;
    m_result.reset();
    emit readStarted();
    m_parts.controls.setEnabled(control::TButOpenfirmware, false);
    m_parts.timers.engineTimer.stop();
    m_parts.timers.Timer2.stop();
    QTimer::singleShot(kBeforeCommand, this, &FirmwareReadController::start);
}

void FirmwareReadController::start() {
    m_parts.view.setProgressVisible(true);
    if (!m_parts.workers.created() || !m_parts.workers.ecu().isConnected()) {
        m_parts.log.append(kNoLink);
        giveUp();
        return;
    }
    m_parts.log.append(kReading);
    submitRead();
}

// A table write or an actuator action in progress is not cut: the read waits
// until the worker has finished it.
void FirmwareReadController::submitRead() {
    if (!m_busy)
        return;
    if (!m_parts.workers.ecu().isConnected()) {
        m_waitForWorker.stop();
        m_parts.log.append(kNoLink);
        giveUp();
        return;
    }
    if (!m_parts.workers.ecu().Command.submit({EcuCommandKind::ReadFW, {}})) {
        m_waitForWorker.start();
        return;
    }
    m_waitForWorker.stop();
    m_parts.timers.ReadFWTimer.start();
}

void FirmwareReadController::takeResult(const FirmwareReadResult &result) {
    m_result = result;
}

void FirmwareReadController::onReadFWTimer() {
    if (!m_result)
        return;
    m_parts.timers.ReadFWTimer.stop();
    const FirmwareReadResult result = *std::exchange(m_result, std::nullopt);
    if (!result.complete) {
        // The worker logged why; the image in work stays as it was.
        giveUp();
        return;
    }
    QTimer::singleShot(kBeforeTakingImage, this, [this, image = result.image] { takeImage(image); });
}

void FirmwareReadController::takeImage(const QByteArray &bytes) {
    const std::optional<FirmwareImage> image = FirmwareImage::fromBytes(bytes);
    if (!image) {
        giveUp();
        return;
    }
    Parts &p = m_parts;
    p.store.loadImage(*image);
    p.identity.ImageSwid(p.store.image()); // with the compatibility check
    p.view.setProgressVisible(false);
    p.tables.reloadFromImage();
    emit imageReplaced();
    p.log.append(kRead);
    p.controls.setEnabled(control::TButOpenfirmware, true);
    p.timers.engineTimer.start();
    const Outcome<QString> saved = saveFirmwareReadFromEcu(p.store, p.identity, p.logDirectory, p.log);
    if (saved)
        emit imageSaved(saved.value());
    end(true);
}

// Whatever the read stopped comes back, so the window is usable again.
void FirmwareReadController::giveUp() {
    Parts &p = m_parts;
    p.view.setProgressVisible(false);
    p.controls.setEnabled(control::TButOpenfirmware, true);
    if (p.workers.created() && p.workers.ecu().isConnected())
        p.timers.engineTimer.start();
    end(false);
}

void FirmwareReadController::end(bool complete) {
    m_busy = false;
    emit readFinished(complete);
}

} // namespace korvel
