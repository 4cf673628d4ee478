#pragma once

#include <QWidget>

class QComboBox;
class QPushButton;

namespace korvel {
class LogTuning;
class Session;
} // namespace korvel

namespace korvel::ui {

// The grid page's row for tuning from a recorded drive: "Настройка по логу…"
// picks a CSV log and shows the corrections it proposes on the tuning grid,
// "Применить" writes them into the image, the view choice shows a quantity
// of the log per cell instead, and "Экспорт лога…" writes a log for log viewers.
class LogTuningBar : public QWidget {
    Q_OBJECT
public:
    static inline const QString kOpenButton = QStringLiteral("ButtonLogTuning");
    static inline const QString kApplyButton = QStringLiteral("ButtonLogApply");
    static inline const QString kViewChoice = QStringLiteral("ComboLogView");
    static inline const QString kExportButton = QStringLiteral("ButtonLogExport");

    explicit LogTuningBar(Session &session, QWidget *parent = nullptr);

    LogTuning &logTuning() { return *m_tuning; }
    // The same as the buttons after their file dialogs: for tests and scripts.
    bool openLog(const QString &path);
    bool exportLog(const QString &logPath, const QString &mslPath);

private:
    void showChosenView(int index);
    void refresh();

    Session &m_session;
    LogTuning *m_tuning;
    QComboBox *m_view = nullptr;
    QPushButton *m_apply = nullptr;
};

} // namespace korvel::ui
