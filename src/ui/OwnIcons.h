#pragma once

#include <QIcon>

namespace korvel::ui {

// Our own toolbar icons: a glyph on a rounded tile of the given colour.
QIcon glyphIcon(const QString &glyph, unsigned rgb);

} // namespace korvel::ui
