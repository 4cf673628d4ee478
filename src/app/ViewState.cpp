#include "app/ViewState.h"

namespace korvel {

void ViewState::setStatusBar(const StatusBarState &state) {
    if (state == m_statusBar)
        return;
    m_statusBar = state;
    emit statusBarChanged();
}

void ViewState::setProgress(int maximum, int position) {
    StatusBarState bar = m_statusBar;
    bar.progressMaximum = maximum;
    bar.progressPosition = position;
    setStatusBar(bar);
}

void ViewState::setProgressVisible(bool on) {
    StatusBarState bar = m_statusBar;
    bar.progressVisible = on;
    setStatusBar(bar);
}

void ViewState::setPanelText(int panel, const QString &text) {
    StatusBarState bar = m_statusBar;
    bar.panelText.at(static_cast<std::size_t>(panel)) = text;
    setStatusBar(bar);
}

void ViewState::raisePage(const QString &page) {
    m_frontPage = page;
    emit pageRaised(page);
}

void ViewState::setStatisticsRowNames(const QStringList &names) {
    m_statisticsRowNames = names;
    emit statisticsRowsChanged();
}

} // namespace korvel
