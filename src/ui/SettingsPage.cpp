#include "ui/SettingsPage.h"

#include "app/Session.h"
#include "core/ControlNames.h"

#include <QComboBox>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace korvel::ui {
namespace {

// A drop-down for entries with offered values; the value stays free text.
class PickListDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override {
        const QStringList choices = index.data(SettingsList::PickListRole).toStringList();
        if (index.column() != SettingsList::ValueColumn || !index.data(SettingsList::PickListRole).isValid())
            return QStyledItemDelegate::createEditor(parent, option, index);
        auto *box = new QComboBox(parent);
        box->setEditable(true);
        box->addItems(choices);
        return box;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override {
        if (auto *box = qobject_cast<QComboBox *>(editor))
            box->setCurrentText(index.data(Qt::EditRole).toString());
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override {
        if (auto *box = qobject_cast<QComboBox *>(editor))
            model->setData(index, box->currentText(), Qt::EditRole);
        else
            QStyledItemDelegate::setModelData(editor, model, index);
    }
};

} // namespace

SettingsPage::SettingsPage(Session &session, QWidget *parent) : QWidget(parent) {
    setObjectName(control::PanelSett);
    auto *grid = new QTableView(this);
    grid->setObjectName(QStringLiteral("ValueListEditor1"));
    grid->setModel(&session.settings());
    grid->setItemDelegate(new PickListDelegate(grid));
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setColumnWidth(0, 320);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::SelectedClicked);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, grid, [grid, &session](const QPoint &at) {
        if (!session.settings().isEditable())
            return;
        QMenu menu;
        menu.addAction(QStringLiteral("Добавить параметр"), grid, [grid, &session] {
            QString name = QStringLiteral("Новый параметр");
            for (int n = 2; !session.settings().appendEntry(name, QString()); ++n)
                name = QStringLiteral("Новый параметр %1").arg(n);
            grid->edit(session.settings().index(session.settings().count() - 1, 0));
        });
        menu.exec(grid->viewport()->mapToGlobal(at));
    });

    auto *save = new QPushButton(QStringLiteral("Сохранить настройки"), this);
    save->setObjectName(control::BitBtn14);
    connect(save, &QPushButton::clicked, &session, &Session::saveSettings);
    connect(&session.settings(), &SettingsList::editableChanged, grid, [grid](bool on) { grid->setEnabled(on); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(grid);
    layout->addWidget(save, 0, Qt::AlignRight);
}

} // namespace korvel::ui
