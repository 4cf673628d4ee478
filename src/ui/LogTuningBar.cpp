#include "ui/LogTuningBar.h"

#include "app/LogTuning.h"
#include "app/Session.h"
#include "core/ProgramLog.h"
#include "tuning/LogCellTable.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>

namespace korvel::ui {
namespace {

const QString kLogFilter = QStringLiteral("Лог (*.csv)");
const QString kMslFilter = QStringLiteral("Лог для просмотрщиков (*.msl)");
const QString kViewLive = QStringLiteral("Текущие значения");
const QString kViewProposals = QStringLiteral("Поправки по логу");
const QString kLogExported = QStringLiteral("Лог записан: %1");
const QString kLogNotExported = QStringLiteral("Лог не записан: %1");
// The view choice: the live values, the proposals, then the log's quantities.
constexpr int kViewLiveIndex = 0;
constexpr int kViewProposalsIndex = 1;
constexpr int kViewFirstQuantity = 2;

} // namespace

LogTuningBar::LogTuningBar(Session &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_tuning(new LogTuning(session, this)) {
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto *open = new QPushButton(QStringLiteral("Настройка по логу…"), this);
    open->setObjectName(kOpenButton);
    open->setToolTip(QStringLiteral("Прогнать записанный лог через автонастройку и показать поправки"));
    m_apply = new QPushButton(QStringLiteral("Применить"), this);
    m_apply->setObjectName(kApplyButton);
    m_apply->setToolTip(QStringLiteral("Записать поправки по логу в прошивку (одним шагом отмены) и в ЭБУ"));
    m_view = new QComboBox(this);
    m_view->setObjectName(kViewChoice);
    m_view->setToolTip(QStringLiteral("Что показывает таблица: текущие значения или лог по ячейкам"));
    m_view->addItem(kViewLive);
    m_view->addItem(kViewProposals);
    for (const LogQuantityName &name : logQuantityNames())
        m_view->addItem(QString::fromUtf8(name.caption));
    m_view->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *exportButton = new QPushButton(QStringLiteral("Экспорт лога…"), this);
    exportButton->setObjectName(kExportButton);
    row->addWidget(open);
    row->addWidget(m_apply);
    row->addWidget(m_view);
    row->addWidget(exportButton);
    row->addStretch(1);

    connect(open, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Настройка по логу"),
                                                          m_session.logDirectory().path(), kLogFilter);
        if (!path.isEmpty())
            openLog(path);
    });
    connect(m_apply, &QPushButton::clicked, this, [this] {
        m_tuning->apply();
        refresh();
    });
    connect(m_view, &QComboBox::activated, this, &LogTuningBar::showChosenView);
    connect(exportButton, &QPushButton::clicked, this, [this] {
        const QString log = QFileDialog::getOpenFileName(this, QStringLiteral("Экспорт лога"),
                                                         m_session.logDirectory().path(), kLogFilter);
        if (log.isEmpty())
            return;
        const QString msl = QFileDialog::getSaveFileName(
            this, QStringLiteral("Экспорт лога"), QFileInfo(log).path() + QStringLiteral("/лог.msl"), kMslFilter);
        if (!msl.isEmpty())
            exportLog(log, msl);
    });
    refresh();
}

bool LogTuningBar::openLog(const QString &path) {
    const bool opened = m_tuning->open(path);
    if (opened) {
        const QSignalBlocker quiet(m_view);
        m_view->setCurrentIndex(kViewProposalsIndex);
    }
    refresh();
    return opened;
}

bool LogTuningBar::exportLog(const QString &logPath, const QString &mslPath) {
    const QString problem = LogTuning::exportMsl(logPath, mslPath);
    m_session.log().append(problem.isEmpty() ? kLogExported.arg(QDir::toNativeSeparators(mslPath))
                                             : kLogNotExported.arg(problem));
    return problem.isEmpty();
}

void LogTuningBar::showChosenView(int index) {
    if (index == kViewLiveIndex)
        m_tuning->showLiveValues();
    else if (index == kViewProposalsIndex)
        m_tuning->showProposals();
    else
        m_tuning->showQuantity(logQuantityNames().at(static_cast<std::size_t>(index - kViewFirstQuantity)).quantity);
    refresh();
}

void LogTuningBar::refresh() {
    const bool proposals = m_tuning->proposals() && m_tuning->proposals()->correctedCells() > 0;
    m_apply->setEnabled(proposals);
    m_view->setEnabled(m_tuning->hasLog());
    if (!m_session.tuningGridModel().overlay()) {
        const QSignalBlocker quiet(m_view);
        m_view->setCurrentIndex(kViewLiveIndex);
    }
}

} // namespace korvel::ui
