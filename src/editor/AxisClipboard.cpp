#include "editor/AxisClipboard.h"

#include "editor/CellText.h"

#include <QStringList>

#include <algorithm>

namespace korvel {
namespace {

inline const QString kUnnamedRow = QStringLiteral("—");
inline const QString kUnnamedAxes = QStringLiteral("Оси");

std::vector<QStringList> clipboardRows(const QString &text) {
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (body.endsWith(QLatin1Char('\n')))
        body.chop(1);
    std::vector<QStringList> rows;
    if (body.isEmpty())
        return rows;
    for (const QString &line : body.split(QLatin1Char('\n')))
        rows.push_back(line.split(QLatin1Char('\t')));
    return rows;
}

bool isNumberText(const QString &text) {
    return StrToFloat(text.trimmed()).ok();
}

// A header row and column: at least one value beyond them, a corner that
// names the axes, and no gap among the headers. An empty corner is an empty
// cell of a plain block, which leaves its grid cell as it is.
bool hasAxes(const std::vector<QStringList> &rows) {
    if (rows.size() < 2 || rows.front().size() < 2)
        return false;
    const QString corner = rows.front().front().trimmed();
    if (corner.isEmpty() || isNumberText(corner))
        return false;
    for (qsizetype i = 1; i < rows.front().size(); ++i)
        if (!isNumberText(rows.front()[i]))
            return false;
    return std::all_of(rows.begin() + 1, rows.end(),
                       [](const QStringList &r) { return r.size() >= 2 && !r.front().trimmed().isEmpty(); });
}

} // namespace

QString blockTextWithAxes(const TableView &view, int left, int top, int right, int bottom) {
    const int l = std::max(1, std::min(left, right));
    const int r = std::min(std::max(left, right), view.table.columns);
    const int t = std::max(1, std::min(top, bottom));
    const int b = std::min(std::max(top, bottom), static_cast<int>(view.cells.size()));
    if (l > r || t > b)
        return {};
    const bool curve = view.rowHeaders.isEmpty();
    // The corner names the axes ("rows \\ columns"): never empty, never a number.
    QString corner = curve ? view.xTitle : view.depthTitle + QStringLiteral(" \\ ") + view.xTitle;
    if (view.xTitle.isEmpty() || isNumberText(corner))
        corner = kUnnamedAxes;
    QStringList header{corner};
    for (int c = l; c <= r; ++c)
        header << view.columnHeaders.value(c - 1);
    QString text = header.join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (int j = t; j <= b; ++j) {
        // The first column is never empty: that is how a paste knows the axes.
        QString name = curve ? view.valueTitle : view.rowHeaders.value(j - 1);
        if (name.isEmpty())
            name = kUnnamedRow;
        QStringList line{name};
        for (int c = l; c <= r; ++c)
            line << view.cells[static_cast<std::size_t>(j - 1)][static_cast<std::size_t>(c - 1)];
        text += line.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

Outcome<PasteReport> pasteBlockWithAxes(CellTexts &cells, const CellPos &at, const QString &text,
                                        const CellPos &blockEnd) {
    const std::vector<QStringList> rows = clipboardRows(text);
    PasteReport report;
    report.at = at;
    if (!hasAxes(rows)) {
        const Outcome<int> laid = pasteBlockText(cells, at, text, blockEnd);
        if (!laid)
            return Outcome<PasteReport>::failure(laid.error());
        report.laid = laid.value();
        return Outcome<PasteReport>::success(report);
    }
    report.withAxes = true;
    QString values;
    for (std::size_t j = 1; j < rows.size(); ++j)
        values += rows[j].mid(1).join(QLatin1Char('\t')) + QLatin1Char('\n');
    const Outcome<int> laid = pasteBlockText(cells, at, values, blockEnd);
    if (!laid)
        return Outcome<PasteReport>::failure(laid.error());
    report.laid = laid.value();
    return Outcome<PasteReport>::success(report);
}

QString pasteReportText(const PasteReport &report) {
    const QString where =
        QStringLiteral("с ячейки %1:%2, вставлено ячеек: %3").arg(report.at.column).arg(report.at.row).arg(report.laid);
    return (report.withAxes ? QStringLiteral("Вставка: блок с осями (оси пропущены), ")
                            : QStringLiteral("Вставка: блок без осей, ")) +
           where;
}

} // namespace korvel
