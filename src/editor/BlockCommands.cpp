#include "editor/BlockCommands.h"

#include "editor/CellText.h"

#include <algorithm>

namespace korvel {
namespace {

// The block's numbers, row by row; a cell without a number refuses the command.
using BlockValues = std::vector<std::vector<double>>;

Outcome<BlockValues> blockValues(const CellTexts &cells, const CellBlock &block) {
    BlockValues values;
    for (int j = block.top; j <= block.bottom; ++j) {
        std::vector<double> line;
        for (int i = block.left; i <= block.right; ++i) {
            const Outcome<double> v =
                StrToFloat(cells[static_cast<std::size_t>(j - 1)][static_cast<std::size_t>(i - 1)]);
            if (!v)
                return Outcome<BlockValues>::failure(v.error());
            line.push_back(v.value());
        }
        values.push_back(std::move(line));
    }
    return Outcome<BlockValues>::success(values);
}

bool blockInsideGrid(const CellTexts &cells, const CellBlock &block) {
    if (block.left < 1 || block.top < 1 || block.right < block.left || block.bottom < block.top)
        return false;
    if (static_cast<std::size_t>(block.bottom) > cells.size())
        return false;
    for (int j = block.top; j <= block.bottom; ++j)
        if (static_cast<std::size_t>(block.right) > cells[static_cast<std::size_t>(j - 1)].size())
            return false;
    return true;
}

// Linear between two ends: t = 0 gives a, t = 1 gives b.
double blockLerp(double a, double b, double t) {
    return a + (b - a) * t;
}

BlockValues blockInterpolated(const BlockValues &v, BlockCommand command) {
    const auto h = static_cast<int>(v.size());
    const auto w = static_cast<int>(v.front().size());
    BlockValues out = v;
    // A block one cell high or wide interpolates along its length only.
    const bool rows = command == BlockCommand::InterpolateRows || (command == BlockCommand::Interpolate2D && h == 1);
    const bool columns =
        command == BlockCommand::InterpolateColumns || (command == BlockCommand::Interpolate2D && w == 1);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const auto r = static_cast<std::size_t>(j);
            const auto c = static_cast<std::size_t>(i);
            const double u = w > 1 ? static_cast<double>(i) / (w - 1) : 0.0;
            const double t = h > 1 ? static_cast<double>(j) / (h - 1) : 0.0;
            const std::size_t last = static_cast<std::size_t>(w - 1);
            const std::size_t bottom = static_cast<std::size_t>(h - 1);
            if (rows) {
                if (w > 1)
                    out[r][c] = blockLerp(v[r][0], v[r][last], u);
            } else if (columns) {
                if (h > 1)
                    out[r][c] = blockLerp(v[0][c], v[bottom][c], t);
            } else if (j > 0 && j < h - 1 && i > 0 && i < w - 1) {
                // The surface through all four edges (a Coons patch): the two
                // lofts between opposite edges, less the plane of the corners.
                const double betweenRows = blockLerp(v[0][c], v[bottom][c], t);
                const double betweenColumns = blockLerp(v[r][0], v[r][last], u);
                const double corners =
                    blockLerp(blockLerp(v[0][0], v[0][last], u), blockLerp(v[bottom][0], v[bottom][last], u), t);
                out[r][c] = betweenRows + betweenColumns - corners;
            }
        }
    return out;
}

BlockValues blockSmoothed(const BlockValues &v) {
    const auto h = static_cast<int>(v.size());
    const auto w = static_cast<int>(v.front().size());
    BlockValues out = v;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            // A dimension of one cell has no edges: a single row smooths along itself.
            const bool rowEdge = h > 1 && (j == 0 || j == h - 1);
            const bool columnEdge = w > 1 && (i == 0 || i == w - 1);
            if (rowEdge || columnEdge)
                continue;
            double sum = 0;
            int count = 0;
            for (int y = std::max(0, j - 1); y <= std::min(h - 1, j + 1); ++y)
                for (int x = std::max(0, i - 1); x <= std::min(w - 1, i + 1); ++x) {
                    sum += v[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
                    ++count;
                }
            out[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)] = sum / count;
        }
    return out;
}

} // namespace

std::optional<CellBlock> blockOf(const std::vector<CellPos> &cells) {
    if (cells.empty())
        return std::nullopt;
    CellBlock b{cells.front().column, cells.front().row, cells.front().column, cells.front().row};
    for (const CellPos &p : cells) {
        b.left = std::min(b.left, p.column);
        b.top = std::min(b.top, p.row);
        b.right = std::max(b.right, p.column);
        b.bottom = std::max(b.bottom, p.row);
    }
    return b;
}

Outcome<bool> applyBlockCommand(CellTexts &cells, BlockCommand command, const CellBlock &block,
                                const QString &percentText) {
    if (!blockInsideGrid(cells, block))
        return Outcome<bool>::failure(QStringLiteral("Блок вне таблицы"));
    const Outcome<BlockValues> read = blockValues(cells, block);
    if (!read)
        return Outcome<bool>::failure(read.error());
    const BlockValues &v = read.value();
    BlockValues out;
    switch (command) {
    case BlockCommand::InterpolateRows:
    case BlockCommand::InterpolateColumns:
    case BlockCommand::Interpolate2D:
        out = blockInterpolated(v, command);
        break;
    case BlockCommand::ScalePercent: {
        const Outcome<double> percent = StrToFloat(percentText);
        if (!percent)
            return Outcome<bool>::failure(percent.error());
        out = v;
        for (auto &line : out)
            for (double &x : line)
                x = x * percent.value() / 100.0;
        break;
    }
    case BlockCommand::Mean: {
        double sum = 0;
        for (const auto &line : v)
            for (double x : line)
                sum += x;
        const double mean = sum / (block.width() * block.height());
        out.assign(v.size(), std::vector<double>(v.front().size(), mean));
        break;
    }
    case BlockCommand::Smooth:
        out = blockSmoothed(v);
        break;
    }
    // Only cells whose number changed get new text: the others keep theirs,
    // so the write-back leaves their raw values alone.
    for (int j = 0; j < block.height(); ++j)
        for (int i = 0; i < block.width(); ++i) {
            const double x = out[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)];
            if (x != v[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)])
                cells[static_cast<std::size_t>(block.top + j - 1)][static_cast<std::size_t>(block.left + i - 1)] =
                    FloatToStr(x);
        }
    return Outcome<bool>::success(true);
}

} // namespace korvel
