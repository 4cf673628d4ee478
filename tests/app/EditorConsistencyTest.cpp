// A seeded property test of the calibration editor inside the session: many
// short random sequences of what a user does (drags and clicks, range
// commands, typed cells, paste, undo, .kv export and import, the flag and
// single-value panels) and of what changes the image under the editor
// (tuning corrections, a map change, a comparison firmware). After every
// step:
//   - the open entry shows what the image holds, converted;
//   - bytes no step meant to change keep their values, and an undo brings
//     back the image from before the last change;
//   - an export followed by an import changes nothing.
// A failure prints the seed and the shortest failing sequence found.
// KORVEL_PROPERTY_SEED and KORVEL_PROPERTY_RUNS choose another seed and count.
#include "app/CatalogController.h"
#include "app/Session.h"
#include "app/TuningController.h"
#include "core/TextFile.h"
#include "editor/TableEditorController.h"
#include "firmware/DemoFirmware.h"
#include "firmware/DemoMap.h"
#include "firmware/FirmwareStore.h"
#include "firmware/MapBuilder.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace korvel;

namespace {

// The demo map's entries the sequences work on, as the map text describes
// them (written out here, not read through the code under test).
struct Entry {
    const char *name;
    int kind;
    int address;
    int columns;
    int rows;
    int width;      // bytes per cell
    bool bigEndian; // 16-bit cells
    double k;       // D4 / D1; D2, D3 and D5 are 0 for all of them
};

const Entry kEntries[] = {
    {"Поправка наполнения", 2, 0x7CF7, 16, 16, 1, false, 1.0 / 128},     // shown rounded to 2 decimals
    {"Задержка форсунок", 1, 0x9000, 16, 1, 2, false, 1.0 / 1000},       // a curve, shown as it is
    {"Впрыск при пуске", 2, 0x9020, 8, 8, 2, true, 1.0 / 1000},          // big-endian 16-bit map
    {"Крутизна датчика давления", 3, 0x60D2, 1, 1, 2, false, 1.0 / 500}, // single value
    {"Комплектация", 4, 0, 0, 0, 0, false, 0},                           // flags
};
constexpr int kFlagAddresses[] = {0x6051, 0x6052, 0x5F04, 0x5F05};
constexpr int kTuningMap = 0; // the entry tuning corrections are written into

enum class Kind { Choose, Drag, Range, Type, Paste, Undo, ExportImport, Flag, Single, Tuning, MapChange, Compare };

// One step. The numbers are fractions and indices that the step maps onto
// whatever entry is open when it runs, so that any sub-sequence still runs.
struct Op {
    Kind kind;
    int a = 0, b = 0, c = 0, d = 0;
    double f = 0, g = 0;

    std::string describe() const {
        std::ostringstream s;
        switch (kind) {
        case Kind::Choose:
            s << "choose \"" << kEntries[a].name << '"';
            break;
        case Kind::Drag:
            s << "drag point " << a << " to " << f << " of the range, release";
            break;
        case Kind::Range:
            s << "range command " << d << " on cells (" << a << ',' << b << ")..(" << a + c << ',' << b + c << ") step "
              << f;
            break;
        case Kind::Type:
            s << "type " << f << (c ? " with a decimal comma" : "") << " into cell (" << a << ',' << b << ')';
            break;
        case Kind::Paste:
            s << "paste a " << c << "x" << d << " block at (" << a << ',' << b << ')';
            break;
        case Kind::Undo:
            s << "Откат";
            break;
        case Kind::ExportImport:
            s << "export to .kv, import it";
            break;
        case Kind::Flag:
            s << "flag box " << a << (b ? " ticked" : " unticked");
            break;
        case Kind::Single:
            s << "single value " << f;
            break;
        case Kind::Tuning:
            s << "tuning writes " << b << " into cell " << a << " of \"" << kEntries[kTuningMap].name << '"';
            break;
        case Kind::MapChange:
            s << "Сменить карту (the same map again)";
            break;
        case Kind::Compare:
            s << "open the comparison firmware, vs " << (a ? "on" : "off");
            break;
        }
        return s.str();
    }
};

Op randomOp(std::mt19937 &random) {
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    auto unit = [&] { return std::uniform_real_distribution<double>(0, 1)(random); };
    static const Kind kinds[] = {Kind::Choose, Kind::Drag,   Kind::Drag,   Kind::Range,     Kind::Range,
                                 Kind::Type,   Kind::Paste,  Kind::Undo,   Kind::Undo,      Kind::ExportImport,
                                 Kind::Flag,   Kind::Single, Kind::Tuning, Kind::MapChange, Kind::Compare};
    Op op{kinds[pick(static_cast<int>(std::size(kinds)))]};
    switch (op.kind) {
    case Kind::Choose:
        op.a = pick(static_cast<int>(std::size(kEntries)));
        break;
    case Kind::Tuning:
        op.a = pick(256);
        op.b = 100 + pick(100);
        break;
    case Kind::Flag:
        op.a = pick(64);
        op.b = pick(2);
        break;
    default:
        op.a = pick(16);
        op.b = pick(16);
        op.c = pick(3);
        op.d = pick(4);
        op.f = std::round(unit() * 1000) / 1000;
        op.g = std::round(unit() * 1000) / 1000;
        break;
    }
    return op;
}

std::string describe(const std::vector<Op> &ops) {
    std::string s;
    for (std::size_t i = 0; i < ops.size(); ++i)
        s += "  " + std::to_string(i + 1) + ". " + ops[i].describe() + "\n";
    return s;
}

QString numberText(double v, bool comma) {
    QString t = QString::number(v, 'f', 3);
    return comma ? t.replace(QLatin1Char('.'), QLatin1Char(',')) : t;
}

// One session over the demo firmware and map, driven step by step.
class Run {
public:
    Run() {
        m_work.write(kDemoMapFile, makeDemoMap().value());
        m_work.write("demo.bin", makeDemoFirmware());
        QByteArray second = makeDemoFirmware();
        for (int i = 0; i < 40; ++i)
            second[0x7CF7 + 5 * i] = static_cast<char>(second[0x7CF7 + 5 * i] + 3);
        m_work.write("second.bin", second);
        EXPECT_TRUE(m_session.startUp());
        EXPECT_TRUE(m_session.openFirmware(m_work.path("demo.bin")));
        EXPECT_TRUE(m_session.catalog().changeMap(m_work.path(kDemoMapFile)));
        choose(0);
    }

    // Runs one step; an empty text when every check holds afterwards.
    std::string step(const Op &op) {
        const QByteArray before = image();
        const int undoBefore = m_session.firmware().undoCount();
        std::set<int> touched;
        std::string failure = perform(op, touched);
        if (!failure.empty())
            return failure;
        const QByteArray after = image();
        if (op.kind == Kind::Undo) {
            const QByteArray expected = m_history.empty() ? before : m_history.back();
            if (!m_history.empty())
                m_history.pop_back();
            if (after != expected)
                return "the undo did not bring back the image from before the last change" +
                       firstDifference(expected, after);
        } else {
            for (int i = 0; i < after.size(); ++i)
                if (after[i] != before[i] && !touched.count(i))
                    return "byte " + hex(i) + " changed from " + std::to_string(static_cast<unsigned char>(before[i])) +
                           " to " + std::to_string(static_cast<unsigned char>(after[i])) +
                           ", which the step did not touch";
            const bool edit = op.kind != Kind::Tuning; // tuning writes without an undo copy
            if (edit && after != before) {
                m_history.push_back(before);
                if (m_history.size() > 6)
                    m_history.erase(m_history.begin());
            }
            if (after == before && m_session.firmware().undoCount() > undoBefore)
                return "a step that changed nothing pushed an undo step";
        }
        return shownMatchesImage();
    }

private:
    const Entry &open() const { return kEntries[m_open]; }
    QByteArray image() const { return m_session.firmware().image().bytes(); }
    static std::string hex(int v) {
        std::ostringstream s;
        s << "0x" << std::hex << std::uppercase << v;
        return s.str();
    }
    static std::string firstDifference(const QByteArray &a, const QByteArray &b) {
        for (int i = 0; i < a.size(); ++i)
            if (a[i] != b[i])
                return " (first at " + hex(i) + ")";
        return {};
    }

    void choose(int entry) {
        const MapTreeModel &model = m_session.catalog().model();
        const QModelIndexList found =
            model.match(model.rootIndex(), Qt::DisplayRole, QString::fromUtf8(kEntries[entry].name), 1,
                        Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_FALSE(found.isEmpty());
        m_session.catalog().selectNode(found.first());
        m_open = entry;
    }

    int raw(const Entry &e, int cell) const {
        const QByteArray bytes = image();
        const int at = e.address + cell * e.width;
        const auto byte = [&](int i) { return static_cast<unsigned char>(bytes[at + i]); };
        if (e.width == 1)
            return byte(0);
        return e.bigEndian ? byte(0) << 8 | byte(1) : byte(1) << 8 | byte(0);
    }
    void touchCell(const Entry &e, int column, int row, std::set<int> &touched) const {
        if (column < 1 || column > e.columns || row < 1 || row > e.rows)
            return;
        const int at = e.address + ((row - 1) * e.columns + column - 1) * e.width;
        for (int i = 0; i < e.width; ++i)
            touched.insert(at + i);
    }
    double top(const Entry &e) const { return (e.width == 1 ? 255 : 65535) * e.k; }

    std::string perform(const Op &op, std::set<int> &touched) {
        TableEditorController &editor = m_session.editor();
        const Entry &e = open();
        const bool grid = e.kind == 1 || e.kind == 2;
        switch (op.kind) {
        case Kind::Choose:
            choose(op.a);
            break;
        case Kind::Drag:
            if (!grid)
                break;
            editor.dragPoint(1, op.a % e.columns, op.f * top(e)); // line 1: row 1 of a curve or a flat map
            editor.chartReleased(false, op.a % e.columns, 0, 10, 10);
            touchCell(e, op.a % e.columns + 1, 1, touched);
            break;
        case Kind::Range: {
            if (!grid)
                break;
            const int left = op.a % e.columns + 1;
            const int first = op.b % e.rows + 1;
            const int right = std::min(e.columns, left + op.c);
            const int bottom = std::min(e.rows, first + op.c);
            editor.gridReleased(false, left, first, left, first, 0, 0);
            editor.gridReleased(true, left, first, right, bottom, 5, 5);
            editor.setChangeText(numberText(op.d == 3 ? op.f * top(e) : op.f * top(e) / 5, false));
            const RangeCommand commands[] = {RangeCommand::Smooth, RangeCommand::Lower, RangeCommand::Raise,
                                             RangeCommand::Accept};
            editor.runRangeCommand(commands[op.d]);
            for (int j = first; j <= bottom; ++j)
                for (int i = left; i <= right; ++i)
                    touchCell(e, i, j, touched);
            break;
        }
        case Kind::Type:
            if (!grid)
                break;
            editor.setCellText(op.a % e.columns + 1, op.b % e.rows + 1, numberText(op.f * top(e), op.c == 1));
            touchCell(e, op.a % e.columns + 1, op.b % e.rows + 1, touched);
            break;
        case Kind::Paste: {
            if (!grid)
                break;
            const int column = op.a % e.columns + 1;
            const int row = op.b % e.rows + 1;
            QStringList lines;
            for (int j = 0; j <= op.d % 3; ++j) {
                QStringList cells;
                for (int i = 0; i <= op.c; ++i) {
                    const bool empty = (i + j + op.a) % 4 == 3;
                    cells << (empty ? QString() : numberText(std::fmod(op.f + 0.37 * (i + j), 1.0) * top(e), false));
                    if (!empty)
                        touchCell(e, column + i, row + j, touched);
                }
                lines << cells.join(QLatin1Char('\t'));
            }
            editor.pasteBlock(column, row, lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
            break;
        }
        case Kind::Undo:
            m_session.undoFirmware();
            break;
        case Kind::ExportImport: {
            if (!grid)
                break;
            const QString file = m_work.path("table.kv");
            if (!m_session.catalog().exportTable(file))
                return "the export was refused";
            const QStringList lines = decodeLines(m_work.read("table.kv")).lines;
            for (int c = 0; c < e.columns * e.rows; ++c) {
                const double written = lines.value(8 + c).toDouble();
                if (std::fabs(written - raw(e, c) * e.k) > tolerance(e))
                    return "the export wrote " + lines.value(8 + c).toStdString() + " for cell " + std::to_string(c) +
                           ", the image holds raw " + std::to_string(raw(e, c));
            }
            const QByteArray before = image();
            const int undo = m_session.firmware().undoCount();
            if (!m_session.catalog().importTable(file))
                return "the import of the file just exported was refused";
            if (image() != before || m_session.firmware().undoCount() != undo)
                return "an export followed by an import changed the image" + firstDifference(before, image());
            break;
        }
        case Kind::Flag: {
            if (e.kind != 4)
                break;
            const int number = 7 + op.a;
            bool named = false;
            for (const FlagBox &box : editor.flags().boxes)
                named = named || box.number == number;
            if (!named)
                break;
            editor.setFlag(number, op.b != 0);
            touched.insert(kFlagAddresses[std::min(3, op.a / 8)]);
            break;
        }
        case Kind::Single:
            if (e.kind != 3)
                break;
            editor.enterSingleValue(numberText(op.f * top(e), op.c == 1));
            touched.insert(e.address);
            touched.insert(e.address + 1);
            break;
        case Kind::Tuning: {
            const int address = kEntries[kTuningMap].address + op.a;
            m_session.firmware().storeByte(address, static_cast<std::uint8_t>(op.b));
            emit m_session.tuning().gridChanged();
            touched.insert(address);
            break;
        }
        case Kind::MapChange:
            if (!m_session.catalog().changeMap(m_work.path(kDemoMapFile)))
                return "the map could not be loaded again";
            break;
        case Kind::Compare: {
            if (!m_session.openComparison(m_work.path("second.bin")))
                return "the comparison firmware was not opened";
            DisplayOptions options = editor.options();
            options.compare = op.a % 2 == 0;
            editor.setOptions(options);
            break;
        }
        }
        return {};
    }

    static double tolerance(const Entry &e) { return e.kind == 2 ? 0.005 + 1e-9 : 1e-9; }

    // The open entry shows the image's values, converted.
    std::string shownMatchesImage() const {
        const TableEditorController &editor = m_session.editor();
        const Entry &e = open();
        if (e.kind == 1 || e.kind == 2) {
            const TableView &view = editor.view();
            if (static_cast<int>(view.cells.size()) != e.rows)
                return "the grid has " + std::to_string(view.cells.size()) + " rows";
            for (int j = 0; j < e.rows; ++j)
                for (int i = 0; i < e.columns; ++i) {
                    const int c = j * e.columns + i;
                    const QString shown = view.cells[j].at(i);
                    const double expected = raw(e, c) * e.k;
                    if (std::fabs(shown.toDouble() - expected) > tolerance(e))
                        return "cell (" + std::to_string(i + 1) + "," + std::to_string(j + 1) + ") shows " +
                               shown.toStdString() + ", the image holds raw " + std::to_string(raw(e, c)) + " (" +
                               std::to_string(expected) + ")";
                }
            if (editor.options().compare && m_session.firmware().ComparisonLoaded() && !view.second.visible &&
                (e.kind == 1 || !editor.options().depth))
                return "vs is on and the comparison line is not drawn";
        } else if (e.kind == 3) {
            const double expected = raw(e, 0) * e.k;
            const QString shown = editor.singleValue().valueText;
            if (std::fabs(shown.toDouble() - expected) > 1e-9)
                return "the single value shows " + shown.toStdString() + ", the image holds " +
                       std::to_string(expected);
        } else if (e.kind == 4) {
            const QByteArray bytes = image();
            for (const FlagBox &box : editor.flags().boxes) {
                const int i = (box.number - 7) / 8;
                const int j = (box.number - 7) % 8;
                const bool set = (static_cast<unsigned char>(bytes[kFlagAddresses[i]]) >> j & 1) != 0;
                if (box.ticked != set)
                    return "flag box " + std::to_string(box.number) + " shows " + (box.ticked ? "ticked" : "unticked") +
                           ", the image's bit is " + (set ? "1" : "0");
            }
        }
        return {};
    }

    test::WorkDir m_work;
    Session m_session{m_work.path()};
    int m_open = 0;
    std::vector<QByteArray> m_history; // what "Откат" brings back, newest last, six at most
};

struct Failure {
    std::size_t step; // index of the failing step
    std::string what;
};

std::optional<Failure> runSequence(const std::vector<Op> &ops) {
    Run run;
    for (std::size_t i = 0; i < ops.size(); ++i) {
        std::string what = run.step(ops[i]);
        if (!what.empty())
            return Failure{i, what};
    }
    return std::nullopt;
}

// The failing prefix, then single steps left out while it still fails.
std::pair<std::vector<Op>, Failure> shrink(std::vector<Op> ops, Failure failure) {
    ops.resize(failure.step + 1);
    for (bool smaller = true; smaller;) {
        smaller = false;
        for (std::size_t i = ops.size(); i-- > 0;) {
            std::vector<Op> fewer = ops;
            fewer.erase(fewer.begin() + static_cast<std::ptrdiff_t>(i));
            if (fewer.empty())
                continue;
            if (const std::optional<Failure> f = runSequence(fewer)) {
                fewer.resize(f->step + 1);
                ops = fewer;
                failure = *f;
                smaller = true;
            }
        }
    }
    return {ops, failure};
}

unsigned environmentNumber(const char *name, unsigned fallback) {
    bool ok = false;
    const unsigned v = qEnvironmentVariable(name).toUInt(&ok);
    return ok ? v : fallback;
}

} // namespace

TEST(EditorConsistency, RandomEditsKeepTheViewTheImageAndTheFilesInStep) {
    const unsigned seed = environmentNumber("KORVEL_PROPERTY_SEED", 20261211);
    const unsigned runs = environmentNumber("KORVEL_PROPERTY_RUNS", 40);
    constexpr int kSteps = 12;
    std::mt19937 random(seed);
    std::cout << "seed " << seed << ", " << runs << " sequences of " << kSteps << " steps\n";
    for (unsigned r = 0; r < runs; ++r) {
        std::vector<Op> ops;
        for (int i = 0; i < kSteps; ++i)
            ops.push_back(randomOp(random));
        const std::optional<Failure> failure = runSequence(ops);
        if (!failure)
            continue;
        const auto [shortest, why] = shrink(ops, *failure);
        ADD_FAILURE() << "seed " << seed << ", sequence " << r + 1 << " fails at step " << failure->step + 1 << ": "
                      << failure->what << "\nshortest failing sequence (" << shortest.size() << " steps):\n"
                      << describe(shortest) << "fails with: " << why.what;
        return;
    }
}

namespace {

// The session over the demo firmware and map with one entry open.
struct DemoSession {
    test::WorkDir work;
    Session session{work.path()};

    DemoSession() {
        work.write(kDemoMapFile, makeDemoMap().value());
        work.write("demo.bin", makeDemoFirmware());
        EXPECT_TRUE(session.startUp());
        EXPECT_TRUE(session.openFirmware(work.path("demo.bin")));
        EXPECT_TRUE(session.catalog().changeMap(work.path(kDemoMapFile)));
    }
    void choose(const char *name) {
        const MapTreeModel &model = session.catalog().model();
        const QModelIndexList found = model.match(model.rootIndex(), Qt::DisplayRole, QString::fromUtf8(name), 1,
                                                  Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_FALSE(found.isEmpty()) << name;
        session.catalog().selectNode(found.first());
    }
    int byte(int address) const { return static_cast<unsigned char>(session.firmware().image().bytes().at(address)); }
    QString cell(int column, int row) const {
        return session.editor()
            .view()
            .cells.at(static_cast<std::size_t>(row - 1))
            .at(static_cast<std::size_t>(column - 1));
    }
};

} // namespace

// "Откат" and a correction written by tuning change the image under the open
// table: it shows them at once, and the next gesture does not write the
// older values back.
TEST(EditorInSession, AnUndoAndATuningCorrectionAreShownAndNotWrittenBack) {
    DemoSession d;
    d.choose("Задержка форсунок"); // 16-bit cells at 9000, ms
    const QString first = d.cell(1, 1);
    ASSERT_TRUE(d.session.editor().setCellText(1, 1, QStringLiteral("2.5")));
    ASSERT_EQ(d.cell(1, 1), "2.5");
    d.session.undoFirmware();
    EXPECT_EQ(d.cell(1, 1), first) << "the undo is shown";
    d.session.editor().chartReleased(false, 3, 0, 10, 10); // a click on the chart
    EXPECT_EQ(d.cell(1, 1), first) << "and not written back by the next click";

    d.choose("Поправка наполнения"); // the tuning map, ÷128, at 7CF7
    d.session.firmware().storeByte(0x7CF7 + 5, 150);
    emit d.session.tuning().gridChanged();
    EXPECT_EQ(d.cell(6, 1), "1.17") << "the correction is shown";
    ASSERT_TRUE(d.session.editor().setCellText(1, 2, QStringLiteral("1.5")));
    EXPECT_EQ(d.byte(0x7CF7 + 5), 150) << "an edit of another cell keeps the correction";
}

// A new map: the open entry is read from it, or closed when the map has no
// such entry; the editor never writes through the old map's description.
TEST(EditorInSession, ANewMapShowsTheOpenEntryAgainOrClosesIt) {
    DemoSession d;
    d.choose("Задержка форсунок");
    ASSERT_TRUE(d.session.catalog().changeMap(d.work.path(kDemoMapFile)));
    EXPECT_TRUE(d.session.editor().hasTable());
    EXPECT_EQ(d.session.editor().view().table.columns, 16);

    const Outcome<QByteArray> other =
        buildCalibrationMap(QStringLiteral("group 1 Таблица\nkind 1\naddress 5000\ncells 3\n"));
    ASSERT_TRUE(other);
    d.work.write("other.j5", other.value());
    ASSERT_TRUE(d.session.catalog().changeMap(d.work.path("other.j5")));
    EXPECT_FALSE(d.session.editor().hasTable());
    EXPECT_TRUE(d.session.editor().view().cells.empty());
    const QByteArray before = d.session.firmware().image().bytes();
    EXPECT_FALSE(d.session.editor().setCellText(1, 1, QStringLiteral("3")));
    d.session.editor().chartReleased(false, 0, 0, 0, 0);
    EXPECT_EQ(d.session.firmware().image().bytes(), before);
}
