#include "ui/ToolbarButtons.h"

#include "core/ControlNames.h"

namespace korvel::ui {

const std::vector<ToolbarButton> &toolbarButtons() {
    using namespace control;
    static const std::vector<ToolbarButton> buttons = {
        {TButConnectEcu, QStringLiteral("Подключиться"), QStringLiteral("▶"), 0x2E7D32},
        {TButDisconnectEcu, QStringLiteral("Отключиться"), QStringLiteral("✖"), 0xC62828},
        {TButMemo, QStringLiteral("Лог программы"), QStringLiteral("☰"), 0x455A64, true},
        {TButSettings, QStringLiteral("Настройки"), QStringLiteral("⚙"), 0x546E7A},
        {TButOpenfirmware, QStringLiteral("Открыть прошивку"), QStringLiteral("⏏"), 0x6D4C41, true},
        {TButLoadfirmware, QStringLiteral("Считать прошивку из блока"), QStringLiteral("⇩"), 0x1565C0},
        {TButTune, QStringLiteral("Автоматическая настройка таблиц"), QStringLiteral("✎"), 0x2E7D32, true},
        {TButStopTune, QStringLiteral("Остановить настройку"), QStringLiteral("■"), 0xAD1457},
        {TButReTune, QStringLiteral("Перезапись калибровки"), QStringLiteral("⟳"), 0x6A1B9A},
        {TButshowgrid, QStringLiteral("Таблицы для настройки"), QStringLiteral("▦"), 0x00838F, true},
        {TButshowSmallDia, QStringLiteral("Диагностика малая"), QStringLiteral("◔"), 0x0277BD},
        {TButshowBiglDia, QStringLiteral("Диагностика полная"), QStringLiteral("◕"), 0x01579B},
        {TButshowcalibr, QStringLiteral("Калибровка"), QStringLiteral("⚒"), 0x4E342E},
        {TButCalibrovka, QStringLiteral("Статистика параметров"), QStringLiteral("Σ"), 0x37474F},
        {TButRazgon, QStringLiteral("Тест разгона"), QStringLiteral("⚡"), 0xEF6C00},
        {Hexeditor, QStringLiteral("Шестнадцатеричный просмотр"), QStringLiteral("#"), 0x5D4037},
        {ToolButton16, QString(), QStringLiteral("★"), 0x9E9D24},
        {TButExit, QStringLiteral("Выход"), QStringLiteral("✕"), 0xB71C1C, true},
    };
    return buttons;
}

} // namespace korvel::ui
