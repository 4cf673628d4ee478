#include "ui/LivePanels.h"

#include "live/MainPanel.h"
#include "ui/Gauges.h"

#include <QEvent>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>
#include <memory>
#include <vector>

namespace korvel::ui {
namespace {

QString utf8(const char *text) {
    return QString::fromUtf8(text);
}

// A value the core hides (pressure and air temperature with an air-flow
// sensor) takes its caption along: `apply` follows the value's shown state.
class VisibilityFollower : public QObject {
public:
    VisibilityFollower(QWidget *value, std::function<void(bool)> apply) : QObject(value), m_apply(std::move(apply)) {
        value->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::ShowToParent)
            m_apply(true);
        else if (event->type() == QEvent::HideToParent)
            m_apply(false);
        return false;
    }

private:
    std::function<void(bool)> m_apply;
};

QPixmap knockPicture() {
    QPixmap pixmap(360, 300);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QPolygonF triangle({QPointF(180, 10), QPointF(350, 250), QPointF(10, 250)});
    p.setPen(QPen(QColor(120, 0, 0), 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 200, 0, 230));
    p.drawPolygon(triangle);
    QFont font;
    font.setBold(true);
    font.setPixelSize(150);
    p.setFont(font);
    p.setPen(QColor(120, 0, 0));
    p.drawText(QRectF(0, 40, 360, 200), Qt::AlignCenter, QStringLiteral("!"));
    font.setPixelSize(40);
    p.setFont(font);
    p.drawText(QRectF(0, 250, 360, 50), Qt::AlignCenter, QStringLiteral("ДЕТОНАЦИЯ"));
    return pixmap;
}

// The value tiles of PanelMain, four to a row; a hidden tile leaves no hole.
class TileGrid {
public:
    static constexpr int kColumns = 4;
    explicit TileGrid(QGridLayout *layout) : m_layout(layout) {}

    void add(QWidget *tile) {
        m_tiles.push_back(tile);
        relayout();
    }
    void relayout() {
        for (QWidget *tile : m_tiles)
            m_layout->removeWidget(tile);
        int place = 0;
        for (QWidget *tile : m_tiles)
            if (!tile->isHidden()) {
                m_layout->addWidget(tile, place / kColumns, place % kColumns);
                ++place;
            }
    }

private:
    QGridLayout *m_layout;
    std::vector<QWidget *> m_tiles;
};

QWidget *valueTile(const PanelControl &def, QWidget *parent, const std::shared_ptr<TileGrid> &tiles) {
    auto *tile = new QFrame(parent);
    tile->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(tile);
    layout->setContentsMargins(8, 4, 8, 4);
    auto *caption = new QLabel(utf8(def.caption), tile);
    if (def.captionName)
        caption->setObjectName(QString::fromLatin1(def.captionName));
    caption->setWordWrap(true);
    QFont small = caption->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    caption->setFont(small);
    auto *value = new QLabel(tile);
    value->setObjectName(QString::fromLatin1(def.name));
    QFont big = value->font();
    big.setPixelSize(30);
    big.setBold(true);
    value->setFont(big);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(caption);
    layout->addWidget(value);
    new VisibilityFollower(value, [tile, tiles](bool shown) {
        tile->setVisible(shown);
        tiles->relayout();
    });
    tiles->add(tile);
    return tile;
}

// Panel8: the full list of active trouble codes, in front of the main panel
// when three or more are active.
QWidget *errorPanel(QWidget *parent) {
    auto *panel = new QFrame(parent);
    panel->setObjectName(QStringLiteral("Panel8"));
    panel->setFrameShape(QFrame::Box);
    panel->setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(panel);
    auto *list = new QLabel(panel);
    list->setObjectName(QStringLiteral("Labelerror"));
    list->setToolTip(QStringLiteral("Текущие ошибки"));
    list->setWordWrap(true);
    list->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    auto *close = new QPushButton(QStringLiteral("Закрыть"), panel);
    close->setObjectName(QStringLiteral("Button2"));
    QObject::connect(close, &QPushButton::clicked, panel, &QWidget::lower);
    layout->addWidget(list, 1);
    layout->addWidget(close, 0, Qt::AlignRight);
    panel->hide();
    return panel;
}

} // namespace

QWidget *makePanelMain(QWidget *parent) {
    auto *page = new QWidget(parent);
    auto *stack = new QGridLayout(page); // every layer shares cell (0, 0)
    auto *values = new QWidget(page);
    auto *grid = new QGridLayout(values);
    auto *tileLayout = new QGridLayout;
    grid->addLayout(tileLayout, 0, 2, 4, TileGrid::kColumns, Qt::AlignTop);
    auto tiles = std::make_shared<TileGrid>(tileLayout);
    auto *bottom = new QHBoxLayout;
    for (const PanelControl &def : mainPanelControls()) {
        if (QLatin1String(def.panel) != QLatin1String("PanelMain"))
            continue;
        const QString name = QString::fromLatin1(def.name);
        switch (def.kind) {
        case ControlKind::Gauge: {
            auto *dial = new DialGauge(def.minimum, def.maximum, values);
            dial->setObjectName(name);
            dial->setToolTip(utf8(def.caption));
            grid->addWidget(dial, 0, 0, 3, 2);
            break;
        }
        case ControlKind::Progress: {
            auto *bar = new BarGauge(def.minimum, def.maximum, values);
            bar->setObjectName(name);
            bar->setToolTip(utf8(def.caption));
            grid->addWidget(bar, 3, 0, 1, 2);
            break;
        }
        case ControlKind::Label:
            if (name == QLatin1String("Label35") || name == QLatin1String("Labelxx")) {
                auto *line = new QLabel(values);
                line->setObjectName(name);
                QFont bold = line->font();
                bold.setBold(true);
                line->setFont(bold);
                bottom->addWidget(line, name == QLatin1String("Label35") ? 1 : 0);
            } else {
                valueTile(def, values, tiles);
            }
            break;
        case ControlKind::Button: {
            auto *button = new QPushButton(QStringLiteral("Все ошибки"), values);
            button->setObjectName(name);
            button->setToolTip(utf8(def.caption));
            button->hide();
            bottom->addWidget(button);
            break;
        }
        case ControlKind::Panel:
        case ControlKind::Picture:
            break;
        }
    }
    grid->addLayout(bottom, 4, 0, 1, 6);
    grid->setRowStretch(5, 1);
    stack->addWidget(values, 0, 0);

    QWidget *panel8 = errorPanel(page);
    stack->addWidget(panel8, 0, 0, Qt::AlignCenter);
    panel8->setMinimumSize(500, 260);
    if (auto *showAll = values->findChild<QPushButton *>(QStringLiteral("BitBtn2")))
        QObject::connect(showAll, &QPushButton::clicked, panel8, &QWidget::raise);

    auto *knock = new QLabel(page);
    knock->setObjectName(QStringLiteral("Image1"));
    knock->setPixmap(knockPicture());
    knock->setScaledContents(true);
    knock->setAttribute(Qt::WA_TransparentForMouseEvents);
    knock->hide();
    stack->addWidget(knock, 0, 0);
    return page;
}

QWidget *makePanelMain2(QWidget *parent) {
    auto *page = new QWidget(parent);
    auto *outer = new QVBoxLayout(page);
    auto *form = new QFormLayout;
    for (const PanelControl &def : mainPanelControls()) {
        if (QLatin1String(def.panel) != QLatin1String("PanelMain2"))
            continue;
        const QString name = QString::fromLatin1(def.name);
        if (name == QLatin1String("LabelXX2")) {
            auto *idle = new QLabel(page);
            idle->setObjectName(name);
            QFont bold = idle->font();
            bold.setBold(true);
            idle->setFont(bold);
            form->addRow(idle);
            continue;
        }
        auto *edit = new QLineEdit(page);
        edit->setObjectName(name);
        edit->setReadOnly(true);
        edit->setMaximumWidth(160);
        edit->setAlignment(Qt::AlignRight);
        form->addRow(utf8(def.caption), edit);
        new VisibilityFollower(edit, [form, edit](bool shown) { form->setRowVisible(edit, shown); });
    }
    outer->addLayout(form);
    outer->addStretch(1);
    return page;
}

} // namespace korvel::ui
