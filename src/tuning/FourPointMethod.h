#pragma once

#include "tuning/OwedBytes.h"
#include "tuning/WorkingPoint.h"

#include <QString>

#include <array>
#include <cstdint>

namespace korvel {

class CellLocks;
class CorrectionAuthority;
class FirmwareImage;
class FirmwareStore;
class TuningWrites;
struct TuningCounters;
struct TuningGrid;
struct TuningTrace;

// The shares of the four-point method: every mixture error measured on a
// steady working point is split over the four working points around the
// operating point with the ECU's own interpolation weights; a point with
// enough shares is evaluated on its own, and every third changed point sends
// the changed bytes to the ECU. A changed byte stays owed until a hand-over
// carries it: a busy worker delays the write, it never drops it.
class FourPointMethod {
public:
    static constexpr int kPoints = 256;
    static constexpr int kMaxShares = 20;
    // Shares needed beyond "Стационарность по циклам".
    static constexpr int kExtraShares = 5;

    // Taken when a connection starts; the shares start again, the count of
    // changed points stays.
    struct Settings {
        int statCycles = 4;
        int weight = 70;
        int minThrottle = 2;
        double corrMin = 0.05;
        double corrMax = 1.95;
    };
    void startConnection(const Settings &settings);

    struct Input {
        WorkingPoint point; // computed on this tick
        double rpm = 0;
        double throttle = 0;
        double coefficient = 1; // measured over desired mixture, to 0.001
        bool tuningOn = false;
        bool byPressure = false; // the table tuned is laid out over pressure
    };
    // One processed tick; `correctionTable` is the image address of the
    // correction table being tuned. Returns whether changed bytes were handed over.
    bool tick(const Input &in, TuningGrid &grid, FirmwareStore &store, std::int64_t correctionTable,
              TuningWrites *writes, TuningCounters &counters, TuningTrace &trace);
    // A write that is due (three points changed) goes out when the worker is
    // free; `force` sends whatever is owed (tuning stops). True when handed over.
    bool handOver(const FirmwareImage &image, TuningWrites *writes, bool force = false);
    // A write of owed bytes failed: they are due again.
    void oweAgain() { m_writeDue = true; }
    // The owed bytes of the tuned table: shared with the accumulation when set.
    void setOwed(OwedBytes *owed) { m_owed = owed ? owed : &m_ownOwed; }
    const OwedBytes &owed() const { return *m_owed; }
    // Locked points take no shares and never change.
    void setLocks(const CellLocks *locks) { m_locks = locks; }
    // The extended tuning's limits on every change; none: the plain rules.
    void setAuthority(const CorrectionAuthority *authority) { m_authority = authority; }

    int shareCount(int point) const { return m_shareCount[static_cast<std::size_t>(point)]; }
    double share(int point, int slot) const {
        return m_shares[static_cast<std::size_t>(point)][static_cast<std::size_t>(slot)];
    }
    int sameCount() const { return m_sameCount; }
    int changed() const { return m_changed; }
    const Settings &settings() const { return m_settings; }
    // The grid's corner cell after a write: "ОК" + evaluations of the diagonal corner.
    const QString &cornerText() const { return m_cornerText; }

private:
    void addShare(int point, double share);
    int threshold() const;

    Settings m_settings;
    std::array<int, kPoints> m_shareCount{};
    std::array<std::array<double, kMaxShares + 1>, kPoints> m_shares{};
    int m_sameCount = 0;
    int m_prevPoint = -1;
    int m_curPoint = 0;
    int m_changed = 0;
    bool m_writeDue = false;
    OwedBytes m_ownOwed;
    OwedBytes *m_owed = &m_ownOwed;
    const CellLocks *m_locks = nullptr;
    const CorrectionAuthority *m_authority = nullptr;
    QString m_cornerText;
};

} // namespace korvel
