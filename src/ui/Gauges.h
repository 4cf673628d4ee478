#pragma once

#include <QWidget>

namespace korvel::ui {

// A round dial that shows its numeric text as a needle over a scale; the text
// is set by the control binder like a label's.
class DialGauge : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    DialGauge(double minimum, double maximum, QWidget *parent = nullptr);
    QString text() const { return m_text; }
    void setText(const QString &text);
    QSize sizeHint() const override { return {220, 220}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_min;
    double m_max;
    QString m_text;
};

// A horizontal bar for percentages (the throttle).
class BarGauge : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    BarGauge(double minimum, double maximum, QWidget *parent = nullptr);
    QString text() const { return m_text; }
    void setText(const QString &text);
    QSize sizeHint() const override { return {220, 44}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_min;
    double m_max;
    QString m_text;
};

} // namespace korvel::ui
