#include "ui/FirmwareFilesBar.h"
#include "ui/NamedWidgets.h"

#include "app/Session.h"
#include "core/ControlNames.h"
#include "editor/TableEditorController.h"
#include "firmware/FirmwareFiles.h"
#include "ui/FileDialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

namespace korvel::ui {
namespace {

QLabel *label(const QString &name, QWidget *parent) {
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

} // namespace

FirmwareFilesBar::FirmwareFilesBar(Session &session, QWidget *parent) : QWidget(parent), m_session(session) {
    using namespace control;
    auto *open = namedButton(BitBtn5, QStringLiteral("Открыть прошивку"), QStringLiteral("Открыть прошивку"), this);
    auto *save = namedButton(BitBtn4, QStringLiteral("Сохранить как"), QStringLiteral("Сохранить прошивку как"), this);
    auto *compare = namedButton(BitBtn10, QStringLiteral("Вторая прошивка"),
                                QStringLiteral("Открыть прошивку для сравнения"), this);
    auto *undo = namedButton(BitBtn26, QStringLiteral("Откат"), QStringLiteral("Откатить на 1 шаг"), this);
    auto *vs = new QCheckBox(this);
    vs->setObjectName(kComparisonCheckBox);
    vs->hide();
    undo->hide();

    auto *typeName = new QLineEdit(this);
    typeName->setObjectName(firmwarenameEdit);
    typeName->setReadOnly(true);
    typeName->setToolTip(QStringLiteral("Тип прошивки"));

    auto *layout = new QGridLayout(this);
    layout->addWidget(label(Label60, this), 0, 0, 1, 4);
    layout->addWidget(label(Label59, this), 1, 0, 1, 4);
    layout->addWidget(typeName, 2, 0, 1, 2);
    // Two buttons a line: the bar stays narrow enough for a 1280-pixel screen.
    layout->addWidget(open, 3, 0, 1, 2);
    layout->addWidget(save, 3, 2, 1, 2);
    layout->addWidget(compare, 4, 0, 1, 2);
    layout->addWidget(undo, 4, 2, 1, 2);
    layout->addWidget(vs, 5, 0, 1, 4);
    layout->setRowStretch(6, 1);

    connect(open, &QPushButton::clicked, this, [this] { openFirmware(m_session, this); });
    connect(save, &QPushButton::clicked, this, &FirmwareFilesBar::saveAs);
    connect(compare, &QPushButton::clicked, this, &FirmwareFilesBar::openComparison);
    connect(undo, &QPushButton::clicked, this, [this] { m_session.undoFirmware(); });
    // Ctrl+Z is "Откат" while there is a step to undo (a namedButton's own shortcut
    // would be replaced whenever its caption is set).
    auto *undoKey = new QShortcut(QKeySequence::Undo, this);
    connect(undoKey, &QShortcut::activated, undo, [undo] {
        if (undo->isVisible())
            undo->click();
    });
    // `vs` draws the comparison firmware into the open entry: its line, Label5 and the flag marks.
    connect(vs, &QCheckBox::toggled, this, [this](bool on) {
        DisplayOptions options = m_session.editor().options();
        options.compare = on;
        m_session.editor().setOptions(options);
    });
}

void FirmwareFilesBar::openFirmware(Session &session, QWidget *dialogParent) {
    const Session::HeldWork held = session.holdLiveWork();
    const QString path = chooseFileToOpen(dialogParent, QStringLiteral("Открыть прошивку"), kOpenFirmwareFilter);
    if (!path.isEmpty())
        session.openFirmware(path);
    session.resumeLiveWork(held);
}

void FirmwareFilesBar::saveAs() {
    const QString name = chooseFileToSave(this, QStringLiteral("Сохранить прошивку"), kSaveFirmwareFilter);
    if (!name.isEmpty())
        m_session.saveFirmwareAs(name);
}

void FirmwareFilesBar::openComparison() {
    const QString path = chooseFileToOpen(this, QStringLiteral("Открыть прошивку для сравнения"), kComparisonFilter);
    if (!path.isEmpty())
        m_session.openComparison(path);
}

} // namespace korvel::ui
