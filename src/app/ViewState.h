#pragma once

#include "app/StatusBarState.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace korvel {

// What the window shows of the session beyond the named controls: the status
// bar, the page in front and the statistics rows. The controllers decide it;
// the window (or the command-line front end) observes it.
class ViewState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const StatusBarState &statusBar() const { return m_statusBar; }
    void setStatusBar(const StatusBarState &state);
    void setProgress(int maximum, int position);
    void setProgressVisible(bool on);
    void setPanelText(int panel, const QString &text);

    QString frontPage() const { return m_frontPage; }
    void raisePage(const QString &page);

    // Display names of the statistics grids' rows (the connected protocol's channels).
    const QStringList &statisticsRowNames() const { return m_statisticsRowNames; }
    void setStatisticsRowNames(const QStringList &names);

signals:
    void statusBarChanged();
    void pageRaised(const QString &page);
    void statisticsRowsChanged();
    // A modal message; the sequence that asked for it goes on once it is dismissed.
    void messageRequested(const QString &text);
    void closeRequested();

private:
    StatusBarState m_statusBar;
    QString m_frontPage;
    QStringList m_statisticsRowNames;
};

} // namespace korvel
