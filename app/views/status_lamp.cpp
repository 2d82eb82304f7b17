#include "status_lamp.h"

#include <QPainter>
#include <QRadialGradient>

StatusLamp::StatusLamp(QWidget *parent) : QWidget(parent) {
    setFixedSize(kDiameter, kDiameter);
}

void StatusLamp::setLit(bool lit) {
    if (lit_ == lit)
        return;
    lit_ = lit;
    update();
}

void StatusLamp::setColor(const QColor &color) {
    if (color_ == color)
        return;
    color_ = color;
    update();
}

void StatusLamp::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    const QColor body = lit_ ? color_ : QColor(0x80, 0x80, 0x80);
    // A highlight off the centre makes the lamp read as a bulb rather than a flat dot.
    QRadialGradient glow(r.center() - QPointF(r.width() / 5, r.height() / 5), r.width() * 0.7);
    glow.setColorAt(0, body.lighter(lit_ ? 170 : 140));
    glow.setColorAt(1, lit_ ? body : body.darker(150));
    p.setPen(QPen(body.darker(lit_ ? 160 : 200), 1));
    p.setBrush(glow);
    p.drawEllipse(r);
}
