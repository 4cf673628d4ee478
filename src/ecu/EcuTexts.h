#pragma once

#include <QString>

// The ECU link's own log texts.
namespace korvel::ecutext {

// Port steps; the port name goes in front of the first three.
inline const QString Opening = QStringLiteral(": >> Открытие порта...");
inline const QString Speed = QStringLiteral(": >> скорость порта - ");
inline const QString Closing = QStringLiteral(": >> Закрытие порта...");
inline const QString CannotOpen = QStringLiteral("ОШИБКА: Не удаётся открыть порт ");  // + name + " !"
inline const QString CannotClose = QStringLiteral("ОШИБКА: Не удаётся закрыть порт "); // + name + " !"
inline const QString NameTail = QStringLiteral(" !");
// A device that disappears while open (unplugged adapter, closed pseudo-terminal).
inline const QString PortLost = QStringLiteral("ОШИБКА: Порт "); // + name + ...
inline const QString PortLostTail = QStringLiteral(" пропал, порт закрыт, связь с ЭБУ прервана!");

// Port discovery.
inline const QString NoComPorts = QStringLiteral("ОШИБКА: В вашей системе нет COM портов!");
inline const QString NoPortList = QStringLiteral("ОШИБКА: Невозможно получить список COM портов!");

// Session.
inline const QString StartingCommunication = QStringLiteral("ECU: >> Starting Communication");
inline const QString StartingDiagnosticSession = QStringLiteral("ECU: >> Starting Diagnostic Session");
inline const QString BadSpeed = QStringLiteral("ERROR: >> Ошибка при выборе скорости порта!");
inline const QString TesterPresent = QStringLiteral("ECU: >> Sending \"Tester Present\"");
inline const QString SwitchToRam = QStringLiteral("ECU: >> Switch to RAM");
inline const QString StopDiagnosticSession = QStringLiteral("ECU: >> Stop Diagnostic Session");
inline const QString StopCommunication = QStringLiteral("ECU: >> Stop Communication");
inline const QString DiagnosticPolling = QStringLiteral("ECU: >> Диагностика параметров");

// Link errors.
inline const QString WrongAnswer = QStringLiteral("ECU: << ОШИБКА Неправильный ответ блока!");
inline const QString RamReadError = QStringLiteral("ECU: << ОШИБКА ЧТЕНИЯ RAM!");
inline const QString NoAnswer = QStringLiteral("ECU: << Нет ответа из блока!");
inline const QString ErrorNumber = QStringLiteral("Ошибка №");
inline const QString Request = QStringLiteral("Запрос - ");
inline const QString Answer = QStringLiteral("; Ответ - ");
inline const QString WrongReadLength = QStringLiteral("Неверная длина ответа! Запрос - ");

// A connect step that failed three times: the session and the port are closed.
inline const QString IdentificationGaveUp = QStringLiteral(
    "ECU: << Подключение прервано: блок идентификации не прочитан (3 попытки); сеанс закрыт, подключитесь снова");
inline const QString ClearGaveUp = QStringLiteral("ECU: << Подключение прервано: область маркеров коррекции FD00-FDFF "
                                                  "не очищена (3 попытки); сеанс закрыт, подключитесь снова");

// Memory services.
inline const QString ReadRam = QStringLiteral("ECU: >> Read RAM ");
inline const QString ReadEcuRam = QStringLiteral("ECU: >> Read ECU RAM");
inline const QString SomeSettings = QStringLiteral("ECU: >> Some settings");
// + four hex digits of the block's address.
inline const QString FirmwareNoAnswer = QStringLiteral("ECU: << Прошивка не считана: нет ответа на чтение адреса ");
// %1: four hex digits of the block's address; %2: the retry's number.
inline const QString FirmwareRetry = QStringLiteral("ECU: << Блок %1 прошивки не прочитан, повтор %2");
inline const QString FirmwareNotReady =
    QStringLiteral("ECU: << Прошивка не считана: нет связи с ЭБУ или память ЭБУ недоступна");

// Table writes. Each table line of the rewrite ends with one double quote.
inline const QString TableLineEnd = QStringLiteral("\"");
inline const QString RewriteThrottleCorrection = QStringLiteral("PC>>&&перезапись&&");
// + four hex digits of the block's address.
inline const QString WriteNotConfirmed = QStringLiteral("ECU: << Запись не подтверждена, повторяю запись по адресу ");
inline const QString WriteFailed = QStringLiteral("ECU: << ОШИБКА ЗАПИСИ: блок не записан по адресу ");
inline const QString WriteDropped =
    QStringLiteral("ECU: << ОШИБКА ЗАПИСИ: запись таблицы прервана, блок не записан по адресу ");
// + the table's name: a block of it did not land.
inline const QString TableNotWritten = QStringLiteral("ECU: << ОШИБКА ЗАПИСИ: таблица не записана в ЭБУ: ");
inline const QString WriteUnanswered = QStringLiteral("ECU: << Нет ответа на запись по адресу ");
// Actuators.
inline const QString ActuatorDone = QStringLiteral("ECU: >>ИМ-ОК ");
// + the actuator's name: its return of control went unanswered, or it still shows the value imposed.
inline const QString ActuatorStillForced = QStringLiteral("ECU: << ИМ не возвращён блоку: ");

} // namespace korvel::ecutext
