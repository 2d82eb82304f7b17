#include "connection_strip.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

ConnectionStrip::ConnectionStrip(const char *objectName, QWidget *parent)
    : QGroupBox(QStringLiteral("Связь"), parent), row_(new QHBoxLayout(this)) {
    setObjectName(QString::fromLatin1(objectName));
    row_->setContentsMargins(8, 4, 8, 6);
    row_->setSpacing(6);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ConnectionStrip::addField(const QString &caption, QWidget *field) {
    auto *label = new QLabel(caption);
    label->setBuddy(field);
    if (row_->count() > 0)
        row_->addSpacing(10);
    row_->addWidget(label);
    row_->addWidget(field);
}

void ConnectionStrip::addWidget(QWidget *widget) {
    row_->addWidget(widget);
}

void ConnectionStrip::addSpacing(int pixels) {
    row_->addSpacing(pixels);
}

void ConnectionStrip::addStretch() {
    row_->addStretch();
}

QStringList SpeedItems() {
    return {QStringLiteral("1200"), QStringLiteral("2400"),  QStringLiteral("4800"),
            QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400")};
}

QComboBox *NewPortSelector(const char *objectName) {
    auto *box = new QComboBox;
    box->setObjectName(QString::fromLatin1(objectName));
    for (int port = 1; port <= 16; ++port)
        box->addItem(QStringLiteral("Comm%1").arg(port), port);
    box->setMaxVisibleItems(16);
    box->setMinimumWidth(80);
    return box;
}

QComboBox *NewSpeedSelector(const char *objectName) {
    auto *box = new QComboBox;
    box->setObjectName(QString::fromLatin1(objectName));
    for (const QString &speed : SpeedItems())
        box->addItem(speed, speed.toInt());
    box->setCurrentIndex(3);
    box->setMinimumWidth(80);
    return box;
}

QLabel *NewFixedText(const QString &text, const char *objectName) {
    auto *label = new QLabel(text);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setContentsMargins(4, 1, 4, 1);
    label->setMinimumWidth(64);
    return label;
}

QLineEdit *NewLogicalNumberEdit(const char *objectName) {
    auto *edit = new QLineEdit(QStringLiteral("1"));
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setFixedWidth(56);
    return edit;
}

QWidget *AddSheet(QTabWidget *tabs, const char *objectName, const QString &caption) {
    auto *sheet = new QWidget;
    sheet->setObjectName(QString::fromLatin1(objectName));
    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(6, 6, 6, 6);
    tabs->addTab(sheet, caption);
    return sheet;
}
