#include "editor/CellText.h"

#include <QLocale>

#include <cmath>

namespace korvel {

QString FloatToStr(double value) {
    if (value == 0)
        return QStringLiteral("0"); // no "-0"
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e-4 && magnitude < 1e15) {
        // 15 significant digits, without an exponent and without trailing zeros.
        const int integerDigits = magnitude >= 1 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 0;
        QString text = QString::number(value, 'f', std::max(0, 15 - integerDigits));
        if (text.contains(QLatin1Char('.'))) {
            while (text.endsWith(QLatin1Char('0')))
                text.chop(1);
            if (text.endsWith(QLatin1Char('.')))
                text.chop(1);
        }
        return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
    }
    return QString::number(value, 'g', 15);
}

Outcome<double> StrToFloat(const QString &text) {
    QString number = text.trimmed();
    // A comma is the decimal separator of a Russian keyboard and spreadsheet.
    // With both marks, or several commas, one of them groups thousands: such a
    // text is refused rather than read as a number a thousand times larger.
    const qsizetype commas = number.count(QLatin1Char(','));
    if (commas > 1 || (commas == 1 && number.contains(QLatin1Char('.'))))
        return Outcome<double>::failure(
            QStringLiteral("'%1': разделитель разрядов не допускается, дробная часть через запятую или точку")
                .arg(text));
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(number, &ok);
    if (!ok || !std::isfinite(value))
        return Outcome<double>::failure(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return Outcome<double>::success(value);
}

} // namespace korvel
