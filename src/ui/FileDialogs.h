#pragma once

#include <QString>

class QWidget;

namespace korvel::ui {

// Filters are kept in the form users know from the program's dialogs
// ("bin/bir|*.bin;*.bir|Все файлы|*.*"); Qt wants "bin/bir (*.bin *.bir);;Все файлы (*.*)".
QString qtFileFilter(const QString &pipeFilter);

// An existing file chosen by the user, or empty when cancelled.
QString chooseFileToOpen(QWidget *parent, const QString &title, const QString &pipeFilter);
QString chooseFileToSave(QWidget *parent, const QString &title, const QString &pipeFilter);

} // namespace korvel::ui
