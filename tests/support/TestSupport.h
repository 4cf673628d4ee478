#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace korvel::test {

// The project's data/ folder (config.ini, hexdata.cfg, errors.cfg, ...).
QString dataDir();
// A fresh working folder, optionally holding copies of the shipped data files.
struct WorkDir {
    explicit WorkDir(bool withDataFiles = true);
    QString path(const QString &name = {}) const;
    void write(const QString &name, const QByteArray &bytes) const;
    QByteArray read(const QString &name) const;
    QTemporaryDir dir;
};

// While alive, no file of this process may grow beyond `bytes` bytes: writes
// past it fail as on a full disk, whoever runs the test (root included).
class FileSizeLimit {
public:
    explicit FileSizeLimit(long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    unsigned long long m_soft = 0;
};

// Where tests leave screenshots and other files for people to look at.
QString artifactDir();

// The program log without the start-up line of port discovery that machines
// without serial ports (build containers) add: "no COM ports".
QStringList withoutNoPortsLine(QStringList lines);

} // namespace korvel::test
