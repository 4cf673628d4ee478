#include "app/Session.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel Online"));
    QApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));

    // The working folder holds config.ini and the other data files.
    korvel::Session session(QDir::currentPath());
    korvel::ui::MainWindow window(session);
    window.show();
    session.startUp();
    return QApplication::exec();
}
