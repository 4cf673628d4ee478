#pragma once

class QWidget;

namespace korvel::ui {

// `PanelMain`: the large live display (dial, throttle bar, value tiles, the
// trouble-code line, the error panel `Panel8` and the knock picture `Image1`).
QWidget *makePanelMain(QWidget *parent);
// `PanelMain2`: the compact display of edit fields.
QWidget *makePanelMain2(QWidget *parent);

} // namespace korvel::ui
