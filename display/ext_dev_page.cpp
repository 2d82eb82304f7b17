#include "ext_dev_page.h"

#include "connection_strip.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QPushButton *newButton(const QString &caption, const char *name) {
    auto *button = new QPushButton(caption);
    button->setObjectName(QString::fromLatin1(name));
    button->setMinimumWidth(110);
    return button;
}

} // namespace

ExtDevPage::ExtDevPage(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TS_ExtDev"));

    GroupBox25 = new ConnectionStrip("GroupBox25");
    GroupBoxPortSettings = new QGroupBox(QStringLiteral("Настройки порта"));
    GroupBoxPortSettings->setObjectName(QStringLiteral("GroupBoxPortSettings"));
    ComboBoxPort2 = NewPortSelector("ComboBoxPort2");
    StaticText9 = NewFixedText(QStringLiteral("9600"), "StaticText9");
    StaticText10 = NewFixedText(QStringLiteral("отключен"), "StaticText10");
    auto *port = new QHBoxLayout(GroupBoxPortSettings);
    port->setContentsMargins(8, 4, 8, 6);
    port->addWidget(new QLabel(QStringLiteral("Порт:")));
    port->addWidget(ComboBoxPort2);
    port->addSpacing(10);
    port->addWidget(new QLabel(QStringLiteral("Скорость:")));
    port->addWidget(StaticText9);
    port->addSpacing(10);
    port->addWidget(new QLabel(QStringLiteral("Паритет:")));
    port->addWidget(StaticText10);

    // The trailing blanks belong to the captions the instrument's users know.
    BitBtnSave = newButton(QStringLiteral("Записать  "), "BitBtnSave");
    BitBtnRead = newButton(QStringLiteral("Прочитать  "), "BitBtnRead");
    GroupBox25->addWidget(GroupBoxPortSettings);
    GroupBox25->addStretch();
    GroupBox25->addWidget(BitBtnSave);
    GroupBox25->addWidget(BitBtnRead);

    PageControl3 = new QTabWidget;
    PageControl3->setObjectName(QStringLiteral("PageControl3"));
    TSInd = AddSheet(PageControl3, "TSInd", QStringLiteral("Индикатор"));
    TSAmp = AddSheet(PageControl3, "TSAmp", QStringLiteral("Токовый преобразователь"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 4, 2, 2);
    layout->setSpacing(4);
    layout->addWidget(GroupBox25);
    layout->addWidget(PageControl3, 1);
}
