// Two minutes of the simulated drive with tuning on, through the whole
// session over the serial path: the live heap stays flat once the run has
// settled, and nothing is logged as an error. scripts/soak.sh runs the same
// drive for as long as asked, headless, and follows the resident memory.
#include "app/TuningController.h"
#include "core/SettingNames.h"
#include "tuning/Accumulator.h"

#include "SessionRig.h"

#include <gtest/gtest.h>

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (GCC ships no header that declares it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

using namespace korvel;
using korvel::test::runEventsFor;

namespace {

constexpr int kSettleMs = 30000;
constexpr int kMeasuredMs = 90000;
// What a settled run may still take on in 90 s: program log lines and the
// allocator's own bookkeeping, far below a leak of even a few bytes a frame.
constexpr long long kHeapSlackBytes = 1 << 20;

// Bytes the program holds on the heap now (the sanitizer's figure under
// AddressSanitizer, whose quarantine would blur the resident size).
long long liveHeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<long long>(mallinfo2().uordblks);
#endif
}

bool looksLikeAnError(const QString &line) {
    return line.contains(QStringLiteral("ОШИБКА"), Qt::CaseInsensitive) ||
           line.contains(QStringLiteral("error"), Qt::CaseInsensitive) ||
           line.contains(QStringLiteral("не записан"), Qt::CaseInsensitive);
}

} // namespace

TEST(Soak, TwoMinutesOfTuningKeepTheHeapFlatAndLogNoError) {
    test::SessionRig rig;
    ASSERT_TRUE(rig.started);
    rig.prepareLeanTuning(0.05);
    rig.set(setting::NeighbourFactor, QStringLiteral("50"));
    rig.simulator->resumeDrive(); // warm-up, idle, cruises and accelerations
    Session &s = *rig.session;
    ASSERT_TRUE(rig.connectForTuning()) << s.log().lines().join('\n').toStdString();
    ASSERT_TRUE(s.tuning().startTuning());

    runEventsFor(kSettleMs);
    const long long settled = liveHeapBytes();
    const int framesBefore = s.live().engine().processedFrames();
    runEventsFor(kMeasuredMs);
    const long long after = liveHeapBytes();

    EXPECT_GT(s.live().engine().processedFrames(), framesBefore + 100) << "the drive went on";
    EXPECT_GT(s.tuning().accumulator().counters().windowHits, 0);
    EXPECT_LT(after - settled, kHeapSlackBytes) << settled << " bytes after 30 s, " << after << " after 2 min";
    QStringList errors;
    for (const QString &line : s.log().lines())
        if (looksLikeAnError(line))
            errors << line;
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(s.workers().ecu().error.load(), 0) << "no link error on a clean line";
    s.tuning().stopTuning();
    EXPECT_TRUE(rig.disconnect());
}
