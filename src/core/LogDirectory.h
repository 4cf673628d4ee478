#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace korvel {

// The run's folder for logs, screenshots and automatic firmware saves: named by
// the local time of its first need ("dd.mm.yy-hh.mm.ss") and kept for the run.
class LogDirectory {
public:
    explicit LogDirectory(QString workDir = {}) : m_workDir(std::move(workDir)) {}

    void setWorkDir(const QString &dir) { m_workDir = dir; }
    void reset() { m_name.clear(); }
    const QString &name() const { return m_name; }
    bool isNamed() const { return !m_name.isEmpty(); }

    // Names the folder on first use and creates it when missing; returns its
    // full path, or an empty string when it cannot be created.
    QString ensure(const QDateTime &now = QDateTime::currentDateTime());
    // Names the folder on first use like ensure(), but leaves its creation to
    // the caller (the CSV log's writer thread creates it off the window's thread).
    QString path(const QDateTime &now = QDateTime::currentDateTime());

    static QString nameFor(const QDateTime &when);
    // True for a folder name that nameFor() could have given: a run's folder.
    static bool isRunFolderName(const QString &name);
    // The run folders in the working folder, oldest name first, except the
    // one this run has named.
    QStringList earlierRunFolders() const;

private:
    QString m_workDir;
    QString m_name;
};

// The CSV field separator. Numbers in the log are always written with '.',
// whatever the system's locale, so ',' separates fields everywhere.
inline constexpr QChar kLogFieldSeparator = u',';

} // namespace korvel
