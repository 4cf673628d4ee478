#pragma once

#include <QByteArray>
#include <QString>

// Windows-1251, the single-byte code page of the files our users exchange
// (config.ini, hexdata.cfg, errors.cfg). Qt's own converters only cover it
// when built with ICU, so the 128-entry table is ours.
namespace korvel::cp1251 {

QString decode(const QByteArray &bytes);
// Characters outside the code page become '?', as Windows does.
QByteArray encode(const QString &text);
bool canEncode(const QString &text);

} // namespace korvel::cp1251
