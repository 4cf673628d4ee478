#pragma once

#include <QHash>
#include <QMainWindow>

class QScrollArea;
class QStackedWidget;
class QPlainTextEdit;

namespace korvel {
class Session;
}

namespace korvel::ui {

class CatalogPanel;
class ControlBinder;
class StatusPanels;
class TTHEXeditor;

// The program window: binds widgets to the session and paints what it says.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Session &session, QWidget *parent = nullptr);

    // The page currently in front (for tests and screenshots), without its scroll area.
    QWidget *frontPage() const;
    // Control names the core set that no widget or action of the window carries.
    const QStringList &unboundControlNames() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolbar();
    void buildPages();
    void buildStatusBar();
    void bindProgramLog();
    void raise(const QString &page);
    void onToolbarButton(const QString &name);

    QWidget *page(const QString &name, QWidget *content = nullptr);

    Session &m_session;
    QStackedWidget *m_pages = nullptr;
    QPlainTextEdit *m_memo = nullptr;
    StatusPanels *m_status = nullptr;
    CatalogPanel *m_catalog = nullptr;
    ControlBinder *m_binder = nullptr;
    TTHEXeditor *m_hex = nullptr;
    QHash<QString, QScrollArea *> m_pageByName; // each page sits in its own scroll area
};

} // namespace korvel::ui
