// The table-write commands against the simulated ECU: what reaches its memory.
#include "Hex.h"
#include "SimulatedCar.h"
#include "WaitFor.h"
#include "core/ProgramLog.h"
#include "ecu/EcuTexts.h"
#include "ecu/EcuWriteCommands.h"
#include "ecu/TECUThread.h"
#include "firmware/FirmwareImage.h"
#include "firmware/TuningAddressSets.h"
#include "sim/Simulator.h"

#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>

using namespace korvel;
using korvel::test::runEventsFor;
using korvel::test::waitFor;

namespace {

using test::kConnectMs;
constexpr int kWriteMs = 60000;
// With the fast exchange each answer is taken as soon as it is in; the read
// timeout only bounds an answer that never comes, so a loaded machine never
// loses a block to it.
constexpr int kWritesReadTimeOut = 1000;

using korvel::test::hex;

QByteArray pattern(int size, int seed) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed) & 0xFF);
    return bytes;
}

QByteArray address2(int address) {
    return QByteArray::fromHex(QByteArray::number(address, 16).rightJustified(4, '0'));
}

// One write request as the ECU receives it.
struct Write {
    int address;
    QByteArray bytes;
    int length = -1; // the length byte; -1: the byte count
    QByteArray request() const {
        return hex("3D00") + address2(address) + QByteArray(1, static_cast<char>(length < 0 ? bytes.size() : length)) +
               bytes;
    }
};

// The four 64-byte blocks of a 256-byte table.
QList<Write> tableBlocks(int address, const QByteArray &table) {
    QList<Write> writes;
    for (int k = 0; k < 4; ++k)
        writes.append({(address + 64 * k) & 0xFFFF, table.mid(64 * k, 64)});
    return writes;
}

class EcuWritesOverSim : public ::testing::Test {
protected:
    void SetUp() override {
        QObject::connect(&log, &ProgramLog::appended, [this](const QString &line) { appended.append(line); });
    }

    // Connected and polling; then the ECU answers at once and the worker takes
    // each answer as soon as it is in.
    void connect(bool verifyWrites, sim::Protocol protocol = sim::Protocol::Fast) {
        sim::SimulatorOptions options;
        options.protocol = protocol;
        options.latencyMs = 10;
        options.wideband = sim::WidebandType::None;
        simulator = std::make_unique<sim::Simulator>(options);
        QString error;
        ASSERT_TRUE(simulator->start(&error)) << error.toStdString();
        worker = std::make_unique<TECUThread>(&log);
        worker->setWriteHandler([this](const EcuWriteResult &result) { results.append(result); });
        worker->start();
        const EcuLinkSettings link{.port = simulator->ecuDevicePath(),
                                   .speed = "57600",
                                   .protocol = protocol == sim::Protocol::Fast ? Protocol::Fast : Protocol::Standard,
                                   .portTimeOut = 5,
                                   .portReadTimeOut = 150,
                                   .verifyWrites = verifyWrites,
                                   .fastExchange = true};
        ASSERT_TRUE(worker->Command.submit({EcuCommandKind::OpenComPort, link}));
        ASSERT_TRUE(
            waitFor([&] { return polling() && log.lines().contains("ECU: >> Диагностика параметров"); }, kConnectMs))
            << log.lines().join('\n').toStdString();
        simulator->setLineTiming(false);
        simulator->setLatencyMs(0);
        worker->PortTimeOut = 0;
        worker->PortReadTimeOut = kWritesReadTimeOut;
        forget();
    }

    void TearDown() override {
        if (worker)
            worker->shutdown();
        if (simulator)
            simulator->stop();
    }

    void forget() {
        simulator->clearRequestLog();
        appended.clear();
        results.clear();
    }

    // Hands the command over and waits until its end is reported.
    bool run(const EcuCommand &command) {
        if (!worker->Command.submit(command))
            return false;
        return waitFor([&] { return !results.isEmpty() && results.last().finished; }, kWriteMs);
    }

    bool polling() const {
        return worker->IsComConnected.load() == 1 && worker->IsECUConnected.load() == 1 &&
               worker->IsDiagnostic.load() == 1;
    }

    // The memory requests the ECU received, without the diagnostic polls.
    QList<QByteArray> memoryRequests() const {
        QList<QByteArray> requests;
        for (const QByteArray &request : simulator->requestLog())
            if (request.startsWith('\x3D') || request.startsWith('\x23'))
                requests.append(request);
        return requests;
    }

    static QList<QByteArray> requestsOf(const QList<Write> &writes) {
        QList<QByteArray> requests;
        for (const Write &write : writes)
            requests.append(write.request());
        return requests;
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<TECUThread> worker;
    ProgramLog log;
    QStringList appended;
    QList<EcuWriteResult> results;
};

} // namespace

// Each command sends exactly its requests, the ECU's memory holds the bytes
// afterwards, the command ends and polling comes back.
TEST_F(EcuWritesOverSim, EveryWriteCommandLandsInTheEcuMemory) {
    const QByteArray table = pattern(256, 3);
    EcuCommand blocks;
    blocks.kind = EcuCommandKind::correct23DF;
    blocks.adressdata = 0x7FC0;
    blocks.plusrw = 4;
    blocks.data2 = table;
    EcuCommand throttleCorrection;
    throttleCorrection.kind = EcuCommandKind::RewriteDR;
    throttleCorrection.adressdata = 0x7CF7;
    throttleCorrection.data2 = pattern(256, 11);
    const QByteArray fourPoints = pattern(18, 5);

    struct Case {
        const char *what;
        EcuCommand command;
        QList<Write> writes;
        QStringList lines;
    };
    const Case cases[] = {
        {"block writer from 7FC0 crosses into 8000",
         blocks,
         {{0x7FC0, table.mid(0, 64)},
          {0x8000, table.mid(64, 64)},
          {0x8040, table.mid(128, 64)},
          {0x8080, table.mid(192, 64)}},
         {}},
        {"base filling table", ecuwrite::gbcTable(0x75EF, pattern(256, 1)), tableBlocks(0x75EF, pattern(256, 1)), {}},
        {"correction table",
         ecuwrite::correctionTable(0x7CF7, pattern(256, 2)),
         tableBlocks(0x7CF7, pattern(256, 2)),
         {}},
        {"ignition table", ecuwrite::ignitionTable(pattern(256, 4)), tableBlocks(0x6DC8, pattern(256, 4)), {}},
        {"throttle correction rewrite",
         throttleCorrection,
         tableBlocks(0x7CF7, pattern(256, 11)),
         {"PC>>&&перезапись&&"}},
        {"one cell with the four-point marker",
         ecuwrite::singleCell(0x7D00, 0x91, 0xFD10),
         {{0x7D00, hex("91")}, {0xFD10, hex("80")}},
         {}},
        {"one cell", ecuwrite::singleCell(0x7D01, 0x92), {{0x7D01, hex("92")}}, {}},
        {"four points", ecuwrite::fourPoints(0x6000, fourPoints), {{0x6000, fourPoints}}, {}},
        {"short write", ecuwrite::shortWrite(0x7000, hex("0102030405")), {{0x7000, hex("0102030405")}}, {}},
    };

    connect(false);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        forget();
        ASSERT_TRUE(run(c.command)) << log.lines().join('\n').toStdString();
        EXPECT_EQ(memoryRequests(), requestsOf(c.writes));
        for (const Write &write : c.writes)
            EXPECT_EQ(simulator->readMemory(write.address, static_cast<int>(write.bytes.size())), write.bytes)
                << std::hex << write.address;
        ASSERT_EQ(results.size(), 1);
        EXPECT_EQ(results[0].command, c.command.kind);
        EXPECT_EQ(results[0].requests, c.writes.size());
        EXPECT_FALSE(results[0].verified);
        EXPECT_FALSE(results[0].failed());
        EXPECT_EQ(appended, c.lines);
        EXPECT_FALSE(worker->Command.pending());
        const int polls = worker->numlog.load();
        EXPECT_TRUE(waitFor([&] { return polling() && worker->numlog.load() > polls + 1; })) << "polling resumes";
    }
}

// The throttle correction table is written always, every other table of the
// rewrite only when the firmware family has it, in the fixed order.
TEST_F(EcuWritesOverSim, TheTableRewriteWritesThePresentTablesInOrder) {
    struct Case {
        const char *what;
        int row; // of the address sets
        QList<std::pair<int, QString>> tables;
    };
    const Case cases[] = {
        {"standard firmware",
         1,
         {{0x7CF7, "PC>>ECU:Поправка дроссель\""},
          {0x75EF, "PC>>ECU: БЦН дроссель\""},
          {0x6DC8, "PC>>ECU:УОЗ дроссель\""},
          {0x6953, "PC>>ECU:Состав смеси дроссель\""},
          {0x64D3, "PC>>ECU:Фаза\""}}},
        {"VRK",
         3,
         {{0x7CF7, "PC>>ECU:Поправка дроссель\""},
          {0x736D, "PC>>ECU: Поправка давление\""},
          {0x75EF, "PC>>ECU: БЦН дроссель\""},
          {0x726D, "PC>>ECU: БЦН давление\""},
          {0x6DC8, "PC>>ECU:УОЗ дроссель\""},
          {0x852F, "PC>>ECU:УОЗ давление\""},
          {0x6953, "PC>>ECU:Состав смеси дроссель\""},
          {0x76EF, "PC>>ECU:Состав смеси Давление\""},
          {0x64D3, "PC>>ECU:Фаза\""}}},
    };

    connect(false);
    // An image unlike the ECU's, so that every table written shows.
    QByteArray bytes = simulator->memory();
    for (char &byte : bytes)
        byte = static_cast<char>(byte ^ 0x5A);
    const FirmwareImage image = *FirmwareImage::fromBytes(bytes);
    QTemporaryDir noFiles;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        forget();
        TuningAddressSets sets;
        ASSERT_TRUE(sets.addhexdata(c.row, noFiles.path()));
        ASSERT_TRUE(run(ecuwrite::rewriteTables(sets, image))) << log.lines().join('\n').toStdString();

        QList<Write> writes;
        QStringList lines;
        for (const auto &[address, line] : c.tables) {
            writes += tableBlocks(address, image.slice(address, 256));
            lines.append(line);
            EXPECT_EQ(simulator->readMemory(address, 256), image.slice(address, 256)) << std::hex << address;
        }
        EXPECT_EQ(memoryRequests(), requestsOf(writes));
        EXPECT_EQ(appended, lines);
        ASSERT_EQ(results.size(), 2);
        EXPECT_FALSE(results[0].finished) << "the window hears of the start first";
        EXPECT_EQ(results[1].command, EcuCommandKind::rewritetabl);
        EXPECT_EQ(results[1].requests, writes.size());
        EXPECT_FALSE(worker->Command.pending());
    }
}

// With "Проверять запись" every block is read back; a block the ECU stored
// wrongly is written once more, and one that is still wrong is reported.
TEST_F(EcuWritesOverSim, ReadingBackCatchesACorruptedWrite) {
    struct Case {
        const char *what;
        bool verify;
        int corruptions; // writes in a row the ECU spoils, from the first
        QStringList lines;
        QList<int> failed;
        bool firstBlockIntact;
    };
    const QString notConfirmed = "ECU: << Запись не подтверждена, повторяю запись по адресу 7FC0";
    const QString failed = "ECU: << ОШИБКА ЗАПИСИ: блок не записан по адресу 7FC0";
    const Case cases[] = {
        {"without the check nothing is noticed", false, 1, {}, {}, false},
        {"the retry mends it", true, 1, {notConfirmed}, {}, true},
        {"the retry fails too", true, 2, {notConfirmed, failed}, {0x7FC0}, false},
    };
    const QByteArray table = pattern(256, 9);
    EcuCommand blocks;
    blocks.kind = EcuCommandKind::correct23DF;
    blocks.adressdata = 0x7FC0;
    blocks.plusrw = 4;
    blocks.data2 = table;
    const QList<Write> writes = {{0x7FC0, table.mid(0, 64)},
                                 {0x8000, table.mid(64, 64)},
                                 {0x8040, table.mid(128, 64)},
                                 {0x8080, table.mid(192, 64)}};

    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        connect(c.verify);
        sim::FaultRule corrupt{sim::FaultKind::CorruptWrite, sim::RequestKind::WriteMemory, c.corruptions};
        corrupt.corruptByte = 10;
        simulator->injectFault(corrupt);
        ASSERT_TRUE(run(blocks)) << log.lines().join('\n').toStdString();

        // Each write is followed by the read of its block; the spoilt one is written again.
        QList<QByteArray> expected;
        for (qsizetype i = 0; i < writes.size(); ++i) {
            const QByteArray read = hex("2300") + address2(writes[i].address) + hex("40");
            expected.append(writes[i].request());
            if (c.verify)
                expected.append(read);
            if (c.verify && i == 0) {
                expected.append(writes[i].request());
                expected.append(read);
            }
        }
        EXPECT_EQ(memoryRequests(), expected);
        EXPECT_EQ(appended, c.lines);
        ASSERT_EQ(results.size(), 1);
        EXPECT_EQ(results[0].verified, c.verify);
        EXPECT_EQ(results[0].failedAddresses, c.failed);
        EXPECT_EQ(simulator->readMemory(0x7FC0, 64) == table.left(64), c.firstBlockIntact);
        EXPECT_EQ(simulator->readMemory(0x8000, 192), table.mid(64)) << "the other blocks are untouched";
        EXPECT_FALSE(worker->Command.pending());

        TearDown();
        worker.reset();
        simulator.reset();
    }
}

// Without memory access (the standard protocol) a single-cell write sends
// nothing and ends; a counter-driven write never advances and stays pending.
TEST_F(EcuWritesOverSim, WithoutMemoryAccessNothingIsWritten) {
    connect(false, sim::Protocol::Standard);
    ASSERT_TRUE(run(ecuwrite::singleCell(0x7D00, 0x91)));
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].requests, 0);

    forget();
    ASSERT_TRUE(worker->Command.submit(ecuwrite::gbcTable(0x75EF, pattern(256, 1))));
    runEventsFor(500); // a poll already under way still ends
    const int polls = worker->numlog.load();
    runEventsFor(1000);
    EXPECT_TRUE(memoryRequests().isEmpty());
    EXPECT_TRUE(results.isEmpty());
    EXPECT_EQ(worker->Command.kind(), EcuCommandKind::remakegbc);
    EXPECT_EQ(worker->numlog.load(), polls) << "a pending command stops polling";
}

// A counter-driven write dropped half-way (another command put in its place)
// is reported as not written, with the blocks it did not write; the next
// write command counts its own blocks from the first.
TEST_F(EcuWritesOverSim, ADroppedTableWriteIsReportedAndTheNextOneWritesEveryBlock) {
    connect(false);
    const int decpopr = 0x7CF7;
    // The second block goes unanswered; while the worker hands that line to
    // this thread, the window puts another command in the write's place.
    simulator->injectFault({.kind = sim::FaultKind::NoAnswer, .on = sim::RequestKind::WriteMemory, .after = 1});
    const QString unanswered = ecutext::WriteUnanswered + QStringLiteral("7D37");
    std::pair<int, int> progressWhileWriting{-1, -1};
    const QMetaObject::Connection drop = QObject::connect(&log, &ProgramLog::appended, [&](const QString &line) {
        if (line != unanswered)
            return;
        progressWhileWriting = {worker->writeBlocksDone.load(), worker->writeBlocksTotal.load()};
        worker->Command.replace({EcuCommandKind::DiagnosticECU, {}});
    });
    ASSERT_TRUE(worker->Command.submit(ecuwrite::correctionTable(decpopr, pattern(256, 21))));
    ASSERT_TRUE(waitFor([&] { return !results.isEmpty(); }, kWriteMs)) << log.lines().join('\n').toStdString();
    QObject::disconnect(drop);

    EXPECT_EQ(progressWhileWriting, std::make_pair(1, 4)) << "the status bar's block count";
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].command, EcuCommandKind::remakepopr);
    EXPECT_EQ(results[0].failedAddresses, QList<int>({0x7D37, 0x7D77, 0x7DB7}));
    EXPECT_TRUE(appended.contains(ecutext::WriteDropped + QStringLiteral("7D77")));
    EXPECT_TRUE(appended.contains(ecutext::WriteDropped + QStringLiteral("7DB7")));
    EXPECT_EQ(memoryRequests().size(), 2) << "nothing written after the drop";
    EXPECT_EQ(worker->writeBlocksTotal.load(), 0);

    forget();
    const QByteArray table = pattern(256, 22);
    ASSERT_TRUE(run(ecuwrite::correctionTable(decpopr, table)));
    EXPECT_EQ(memoryRequests(), requestsOf(tableBlocks(decpopr, table)));
    EXPECT_EQ(simulator->readMemory(decpopr, 256), table);
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].requests, 4);
    EXPECT_FALSE(results[0].failed());
}

// "rewritetabl" names every table with a block that did not land, and the
// block count the status bar shows runs over all the tables' blocks.
TEST_F(EcuWritesOverSim, TheTableRewriteNamesATableThatDidNotLand) {
    connect(true);
    QTemporaryDir noFiles;
    TuningAddressSets sets;
    ASSERT_TRUE(sets.addhexdata(1, noFiles.path()));
    QByteArray bytes = simulator->memory();
    for (char &byte : bytes)
        byte = static_cast<char>(byte ^ 0x5A);
    const EcuCommand command = ecuwrite::rewriteTables(sets, *FirmwareImage::fromBytes(bytes));
    ASSERT_EQ(command.tables.size(), 5);
    // The first block is spoilt twice: written, read back, written again, read back.
    simulator->injectFault({.kind = sim::FaultKind::CorruptWrite, .on = sim::RequestKind::WriteMemory, .count = 2});
    std::optional<std::pair<int, int>> progressAtLine;
    const QMetaObject::Connection watch = QObject::connect(&log, &ProgramLog::appended, [&](const QString &line) {
        if (line.startsWith(ecutext::TableNotWritten) && !progressAtLine)
            progressAtLine = {worker->writeBlocksDone.load(), worker->writeBlocksTotal.load()};
    });
    ASSERT_TRUE(run(command)) << log.lines().join('\n').toStdString();
    QObject::disconnect(watch);
    ASSERT_EQ(results.size(), 2);
    EXPECT_TRUE(results[1].failed());
    EXPECT_EQ(results[1].failedAddresses, QList<int>({0x7CF7}));
    EXPECT_EQ(results[1].failedTables, QStringList({QStringLiteral("Поправка дроссель")}));
    EXPECT_TRUE(appended.contains(ecutext::TableNotWritten + QStringLiteral("Поправка дроссель")));
    EXPECT_EQ(progressAtLine, std::make_pair(4, 20));
    EXPECT_EQ(worker->writeBlocksTotal.load(), 0) << "no write shown once it ended";
}
