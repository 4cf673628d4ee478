#pragma once

#include <QObject>
#include <QStringList>

namespace korvel {

// The program log panel's lines. Only the UI thread touches it; workers hand
// their lines over with blocking queued calls.
class ProgramLog : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    void append(const QString &line);
    // Deletes the last line (when there is one) and appends the new one.
    void replaceLast(const QString &line);
    void clear();

    const QStringList &lines() const { return m_lines; }
    QString last() const { return m_lines.isEmpty() ? QString() : m_lines.last(); }

signals:
    void appended(const QString &line);
    void lastReplaced(const QString &line);
    void cleared();

private:
    QStringList m_lines;
};

} // namespace korvel
