#pragma once
#include <QColor>
#include <QWidget>

// A small round lamp showing the state of an exchange: lit in its colour, or unlit (grey).
class StatusLamp : public QWidget {
    Q_OBJECT
public:
    explicit StatusLamp(QWidget *parent = nullptr);

    void setLit(bool lit);
    bool isLit() const { return lit_; }
    void setColor(const QColor &color);
    QColor color() const { return color_; }

    QSize sizeHint() const override { return QSize(kDiameter, kDiameter); }

    static constexpr int kDiameter = 14;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool lit_ = false;
    QColor color_ = Qt::green;
};
