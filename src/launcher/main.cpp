// korvel-launcher: what the desktop entry starts. It opens the user's working
// folder (making it from the shipped data files on first use) and then
// becomes korvel in that folder, so the window belongs to the entry's process.
#include "launcher/FirstRunMessage.h"
#include "launcher/ShippedData.h"
#include "launcher/WorkFolder.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

using namespace korvel::launcher;

bool wantsDialogs(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--no-dialogs") == 0)
            return false;
    return true;
}

// First use with dialogs: the user may take another folder than ~/Korvel.
QString askForFolder(const QString &proposed) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Korvel Online"),
                    QStringLiteral("Korvel Online keeps its settings, logs and firmware files in a working "
                                   "folder. Use %1?")
                        .arg(QDir::toNativeSeparators(proposed)));
    box.addButton(QStringLiteral("Use it"), QMessageBox::AcceptRole);
    QPushButton *other = box.addButton(QStringLiteral("Choose another folder…"), QMessageBox::ActionRole);
    box.exec();
    if (box.clickedButton() != other)
        return proposed;
    const QString chosen =
        QFileDialog::getExistingDirectory(nullptr, QStringLiteral("Working folder"), QDir::homePath());
    return chosen.isEmpty() ? proposed : chosen;
}

} // namespace

int main(int argc, char **argv) {
    const bool dialogs = wantsDialogs(argc, argv);
    QString program;
    QString folder;
    {
        // Without dialogs no display is needed.
        std::unique_ptr<QCoreApplication> app =
            dialogs ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Korvel"));
        QCoreApplication::setApplicationName(QStringLiteral("korvel-launcher"));
        QCoreApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));

        QCommandLineParser parser;
        parser.setApplicationDescription(
            QStringLiteral("Starts Korvel Online in your working folder (~/Korvel unless chosen otherwise), "
                           "making it from the shipped data files on first use."));
        parser.addHelpOption();
        parser.addVersionOption();
        const QCommandLineOption folderOption(
            QStringLiteral("folder"), QStringLiteral("Use this working folder from now on."), QStringLiteral("folder"));
        const QCommandLineOption noDialogs(QStringLiteral("no-dialogs"),
                                           QStringLiteral("Print messages instead of showing them."));
        parser.addOption(folderOption);
        parser.addOption(noDialogs);
        parser.process(*app);

        QSettings settings;
        QString chosen = parser.value(folderOption);
        if (chosen.isEmpty() && dialogs && !settings.contains(QStringLiteral("workFolder")))
            chosen = askForFolder(rememberedWorkFolder(settings, QDir::homePath()));
        const WorkFolder work =
            openWorkFolder(settings, QDir::homePath(), shippedDataDir(QCoreApplication::applicationDirPath()), chosen);
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (!work.error.isEmpty()) {
            err << "korvel-launcher: " << work.error << '\n';
            err.flush();
            if (dialogs)
                QMessageBox::critical(nullptr, QStringLiteral("Korvel Online"), work.error);
            return 1;
        }
        if (!work.copied.isEmpty()) {
            const QString text = firstRunMessage(work.path);
            out << text << '\n';
            out.flush();
            if (dialogs)
                QMessageBox::information(nullptr, QStringLiteral("Korvel Online"), text);
        }
        program = korvelProgram(QCoreApplication::applicationDirPath());
        folder = work.path;
    }
    const QByteArray programPath = QFile::encodeName(program);
    if (::chdir(QFile::encodeName(folder).constData()) != 0) {
        std::fprintf(stderr, "korvel-launcher: %s: %s\n", QFile::encodeName(folder).constData(), std::strerror(errno));
        return 1;
    }
    char *const arguments[] = {const_cast<char *>(programPath.constData()), nullptr};
    ::execv(programPath.constData(), arguments);
    std::fprintf(stderr, "korvel-launcher: cannot start %s: %s\n", programPath.constData(), std::strerror(errno));
    return 1;
}
