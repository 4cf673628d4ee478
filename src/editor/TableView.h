#pragma once

#include "editor/HeatMap.h"
#include "firmware/CalibrationMap.h"
#include "firmware/Outcome.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace korvel {

class FirmwareStore;
struct GridAxes;

// The catalogue entry on screen: its kind, the tree node's text and the node's
// offset in the calibration map. Every redisplay reads the description again
// from this reference.
struct TableRef {
    int kind = 0;
    QString nodeText;
    qint64 reference = 0;
};

// What a grid cell shows while the comparison firmware is drawn (`vs`): its
// value, or its difference from the comparison cell, absolute or in percent.
enum class CellShow { Value, Difference, DifferencePercent };

// The display controls that shape a curve or a map.
struct DisplayOptions {
    bool depth = false;    // Check3D: every row of a map as its own line, drawn in depth
    int flatRow = 0;       // TrackBar1: the map row of the flat chart, from 0
    bool compare = false;  // vs: draw the comparison firmware's line
    bool marks = false;    // Checkmarks
    int markAngleStep = 0; // TrackBar3, 0 to 6
    int markEvery = 1;     // TrackBar4, 1 to 10
    int markFontSize = 8;  // TrackBar5, 8 to 20
    int markColour = 0x000000;
    CellShow cellShow = CellShow::Value;
};

// The open table as its description gives it, with the limits that clamp edits.
struct OpenTable {
    TableRef ref;
    TableDescriptor descriptor;
    QString addressText; // 8 hex digits
    int columns = 0;     // N
    int rows = 0;        // M; 1 for a curve
    double minimum = 0;  // a description value of 0 stands for the end of the cell type's range
    double maximum = 0;
    double k = 1; // D4 / D1
    int cellWidth = 1;
};

// One cell against the comparison firmware: both physical values, as read
// (not rounded), and whether their raw values differ.
struct CellComparison {
    double value = 0;
    double other = 0;
    bool differs = false;
    friend bool operator==(const CellComparison &, const CellComparison &) = default;
};

inline constexpr int kLineSeries = 32; // Series1 to Series32; only 1 to 16 are ever shown together

struct ChartSeries {
    bool visible = false;
    int colour = 0;
    bool pointSymbols = true;
    bool marks = false;
    std::vector<double> values; // point at position c = grid column c + 1
    QStringList labels;
};

// What `ShowTable` draws for a curve (kind 1) or a map (kind 2): the grid's
// headers and cell texts, the comparison texts and the chart lines.
struct TableView {
    OpenTable table;
    QString title;      // Label1dname and the chart titles
    QString xTitle;     // horizontal axis
    QString valueTitle; // vertical axis (the unit)
    QString depthTitle; // maps: the depth axis of the surface and the row caption
    double xMinimum = 0, xMaximum = 0, xStep = 0;
    double valueMinimum = 0, valueMaximum = 0;         // the cell type's physical range
    QStringList columnHeaders;                         // N
    QStringList rowHeaders;                            // M; empty for a curve
    CellTexts cells;                                   // M rows of N texts: the edit buffer
    CellTexts comparison;                              // the same shape while a comparison firmware is loaded
    int changedCells = 0;                              // cells whose raw value differs in the comparison
    std::vector<std::vector<CellComparison>> compared; // the same shape while a comparison firmware is loaded
    std::array<ChartSeries, kLineSeries> series;
    ChartSeries second; // SeriesSecond, the comparison line
    bool depth = false;
    int flatRow = 0;          // map row of the flat chart, from 1; 0 for a curve
    QString trackLabel;       // Labeltrack in the flat arrangement
    bool unsupported = false; // cell type 6: the "unknow" panel goes in front
    int markAngle = 0;        // degrees
};

// Reads a curve or a map: its description, headers, cells (maps rounded to
// two decimals and limited), comparison and lines. Refused when the
// description cannot be read or the entry is not of kind 1 or 2.
Outcome<TableView> buildTableView(const CalibrationMap &map, const TableRef &ref, const FirmwareStore &store,
                                  const GridAxes &axes, const DisplayOptions &options);

// The open-table fields of any table kind, or a refusal when the description cannot be read.
Outcome<OpenTable> readOpenTable(const CalibrationMap &map, const TableRef &ref);

// The line colours of a map: in depth, line s (from 1) runs green to yellow;
// flat, the one row r (from 1) runs red to yellow.
int depthLineColour(int s);
int flatLineColour(int r);

// The raw value of a cell, 0 when it lies outside the image or its type is not read (6).
int tableCellRaw(const FirmwareStore &store, const OpenTable &table, int cell, int source);

} // namespace korvel
