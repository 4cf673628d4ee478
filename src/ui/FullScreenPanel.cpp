#include "ui/FullScreenPanel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace korvel::ui {

FullScreenPanel::FullScreenPanel(QWidget *content, const QString &title, QWidget *host)
    : QWidget(host), m_content(content), m_host(host) {
    setObjectName(QStringLiteral("FullScreenChart"));
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *head = new QHBoxLayout;
    auto *caption = new QLabel(title, this);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    auto *close = new QPushButton(QStringLiteral("Закрыть (Esc)"), this);
    close->setObjectName(QStringLiteral("FullScreenClose"));
    close->setToolTip(QStringLiteral("Вернуть график на страницу (Esc)"));
    head->addWidget(caption, 1);
    head->addWidget(close);
    layout->addLayout(head);
    layout->addWidget(content, 1);
    content->show();

    connect(close, &QPushButton::clicked, this, &FullScreenPanel::leaveRequested);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &FullScreenPanel::leaveRequested);

    // It follows the host's size for as long as it is shown.
    host->installEventFilter(this);
    setGeometry(host->rect());
    show();
    raise();
    setFocus();
}

void FullScreenPanel::release() {
    m_host->removeEventFilter(this);
    // The owner lays the content out again before the panel is deleted.
    if (m_content)
        layout()->removeWidget(m_content);
    hide();
    deleteLater();
}

void FullScreenPanel::keyPressEvent(QKeyEvent *event) {
    // Esc that reaches the panel itself (its shortcut needs the window active).
    if (event->key() == Qt::Key_Escape) {
        emit leaveRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool FullScreenPanel::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_host && event->type() == QEvent::Resize)
        setGeometry(m_host->rect());
    return QWidget::eventFilter(watched, event);
}

} // namespace korvel::ui
