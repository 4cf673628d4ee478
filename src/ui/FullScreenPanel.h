#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;

namespace korvel::ui {

// A chart shown over the whole page area of the window (the toolbar and the
// status bar stay), with its own close button; Esc or the button gives the
// chart back to where it came from.
class FullScreenPanel : public QWidget {
    Q_OBJECT
public:
    // Takes `content` out of its layout and lays it over `host`.
    FullScreenPanel(QWidget *content, const QString &title, QWidget *host);

    QWidget *content() const { return m_content; }
    // Hands the content back and closes; the owner lays the content out again
    // at once (the panel is deleted later, with whatever it still holds).
    void release();

signals:
    // The user asked to leave (Esc or the close button).
    void leaveRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPointer<QWidget> m_content;
    QWidget *m_host;
};

} // namespace korvel::ui
