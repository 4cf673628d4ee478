// How many fast diagnostic exchanges (21 0F) the simulated ECU sustains with
// line timing on at 57600 baud and 25 ms latency, next to the line's limit.
#include "sim/SimFrame.h"
#include "sim/Simulator.h"

#include <benchmark/benchmark.h>

// Kernel termios2 for the custom 10400 rate; <termios.h> must stay out of this file.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

using namespace korvel::sim;

namespace {

constexpr int kFastBaud = 57600;
constexpr int kLatencyMs = 25;
constexpr int kEchoBytes = 6;            // 82 10 F1 21 0F B3
constexpr int kAnswerBytes = 4 + 53 + 1; // 80 F1 10 35, 61 0F and 51 frame bytes, checksum

// A minimal tester on the program's end: raw, non-blocking, any rate.
class RawTester {
public:
    explicit RawTester(const QString &path)
        : m_fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        if (m_fd < 0)
            throw std::runtime_error("cannot open the ECU device");
    }
    ~RawTester() { ::close(m_fd); }
    RawTester(const RawTester &) = delete;
    RawTester &operator=(const RawTester &) = delete;

    void setBaud(int baud) {
        termios2 t{};
        ::ioctl(m_fd, TCGETS2, &t);
        t.c_iflag = 0;
        t.c_oflag = 0;
        t.c_lflag = 0;
        t.c_cflag = static_cast<tcflag_t>((t.c_cflag & ~(CBAUD | CSIZE | PARENB)) | BOTHER | CS8 | CREAD | CLOCAL);
        t.c_ispeed = static_cast<speed_t>(baud);
        t.c_ospeed = static_cast<speed_t>(baud);
        if (::ioctl(m_fd, TCSETS2, &t) != 0)
            throw std::runtime_error("cannot set the rate");
    }

    // Sends a request and waits until its echo and `answerBytes` more came back.
    void exchange(const QByteArray &data, int answerBytes) {
        const QByteArray frame = encodeRequestFrame(data);
        if (::write(m_fd, frame.constData(), static_cast<size_t>(frame.size())) != frame.size())
            throw std::runtime_error("write failed");
        int wanted = static_cast<int>(frame.size()) + answerBytes;
        char buffer[512];
        while (wanted > 0) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                throw std::runtime_error("no answer");
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0)
                wanted -= static_cast<int>(n);
        }
    }

private:
    int m_fd;
};

void fastFrameExchanges(benchmark::State &state, bool lineTiming) {
    SimulatorOptions options;
    options.latencyMs = kLatencyMs;
    options.lineTiming = lineTiming;
    options.wideband = WidebandType::None;
    options.sessionTimeoutMs = 0;
    Simulator sim(options);
    if (!sim.start()) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    RawTester tester(sim.ecuDevicePath());
    tester.setBaud(10400);
    tester.exchange(QByteArray::fromHex("81"), 7);
    tester.exchange(QByteArray::fromHex("108139"), 7);
    tester.setBaud(kFastBaud);

    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        tester.exchange(QByteArray::fromHex("210F"), kAnswerBytes);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    // The line's limit: echo and answer at ten bits a byte, plus the latency.
    const double limitSeconds = (kEchoBytes + kAnswerBytes) * 10.0 / kFastBaud + kLatencyMs / 1000.0;
    state.counters["exchanges_per_s"] = double(state.iterations()) / seconds;
    state.counters["limit_per_s"] = lineTiming ? 1.0 / limitSeconds : 1000.0 / kLatencyMs;
}

void BM_FastFrame57600LineTiming(benchmark::State &state) {
    fastFrameExchanges(state, true);
}
void BM_FastFrame57600NoLineTiming(benchmark::State &state) {
    fastFrameExchanges(state, false);
}

} // namespace

BENCHMARK(BM_FastFrame57600LineTiming)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastFrame57600NoLineTiming)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
