#include "ui/CatalogPanel.h"
#include "ui/NamedWidgets.h"

#include "app/CatalogController.h"
#include "app/Session.h"
#include "core/ControlNames.h"
#include "firmware/KvFile.h"
#include "ui/CatalogIcons.h"
#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace korvel::ui {
namespace {

const QString kMapFilter = QStringLiteral("Карты прошивок|*.j5;*.j7|Все файлы|*.*");

QString kindCaption(int kind) {
    switch (kind) {
    case 1:
        return QStringLiteral("одномерная таблица");
    case 2:
        return QStringLiteral("двумерная таблица");
    case 3:
        return QStringLiteral("одиночное значение");
    case 4:
        return QStringLiteral("флаги");
    case 5:
        return QStringLiteral("текстовые поля");
    default:
        return QStringLiteral("группа");
    }
}

} // namespace

CatalogPanel::CatalogPanel(Session &session, QWidget *parent) : QWidget(parent), m_session(session) {
    using namespace control;
    CatalogController &catalog = session.catalog();

    m_icons = new CatalogIconModel(this);
    m_icons->setSourceModel(&catalog.model());
    m_tree = new QTreeView(this);
    m_tree->setObjectName(TreeView);
    m_tree->setModel(m_icons);
    m_tree->setHeaderHidden(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);

    m_choice = new QLabel(this);
    m_choice->setObjectName(QStringLiteral("catalogChoice"));
    m_choice->setWordWrap(true);
    QFont bold = m_choice->font();
    bold.setBold(true);
    m_choice->setFont(bold);

    auto *change =
        namedButton(BitBtn3, QStringLiteral("Сменить карту"), QStringLiteral("Сменить карту калибровок"), this);
    auto *exportButton =
        namedButton(BitBtn19, QStringLiteral("Экспорт"), QStringLiteral("Экспорт таблицы из программы"), this);
    auto *importButton =
        namedButton(BitBtn20, QStringLiteral("Импорт"), QStringLiteral("Импорт таблицы в программу"), this);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(change);
    buttons->addWidget(exportButton);
    buttons->addWidget(importButton);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(buttons);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_choice);

    connect(change, &QPushButton::clicked, this, &CatalogPanel::chooseMap);
    connect(exportButton, &QPushButton::clicked, this, &CatalogPanel::exportTable);
    connect(importButton, &QPushButton::clicked, this, &CatalogPanel::importTable);
    // TreeViewChange: the current node becomes the open table.
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { m_session.catalog().selectNode(m_icons->mapToSource(current)); });
    connect(&catalog, &CatalogController::tableSelected, this, &CatalogPanel::showSelection);
    connect(&catalog, &CatalogController::mapChanged, this, [this] {
        m_tree->expandToDepth(1);
        showSelection(m_session.catalog().selection());
    });
}

void CatalogPanel::chooseMap() {
    auto *dialog =
        new QFileDialog(this, QStringLiteral("Сменить карту калибровок"), QString(), qtFileFilter(kMapFilter));
    dialog->setObjectName(QStringLiteral("mapDialog"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &path) {
        if (!path.isEmpty())
            m_session.catalog().changeMap(path);
    });
    dialog->open();
}

void CatalogPanel::showSelection(const TableSelection &table) {
    m_choice->setText(table.isChosen() ? table.name + QStringLiteral(" (") + kindCaption(table.kind) + QLatin1Char(')')
                                       : QString());
}

void CatalogPanel::exportTable() {
    CatalogController &catalog = m_session.catalog();
    if (catalog.grid().columns == 0)
        return;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт таблицы"), catalog.proposedExportName(),
                                                qtFileFilter(kKvExportFilter));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".kv");
    catalog.exportTable(path);
}

void CatalogPanel::importTable() {
    if (m_session.catalog().grid().columns == 0)
        return;
    const QString path = chooseFileToOpen(this, QStringLiteral("Импорт таблицы"), kKvImportFilter);
    if (!path.isEmpty())
        m_session.catalog().importTable(path);
}

} // namespace korvel::ui
