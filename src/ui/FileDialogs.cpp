#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <QStringList>

namespace korvel::ui {

QString qtFileFilter(const QString &pipeFilter) {
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        filters << parts.at(i) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QString chooseFileToOpen(QWidget *parent, const QString &title, const QString &pipeFilter) {
    return QFileDialog::getOpenFileName(parent, title, QString(), qtFileFilter(pipeFilter));
}

QString chooseFileToSave(QWidget *parent, const QString &title, const QString &pipeFilter) {
    return QFileDialog::getSaveFileName(parent, title, QString(), qtFileFilter(pipeFilter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

} // namespace korvel::ui
