#include "energy_page.h"

#include "connection_strip.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QTabWidget *newPageControl(const char *name) {
    auto *tabs = new QTabWidget;
    tabs->setObjectName(QString::fromLatin1(name));
    return tabs;
}

} // namespace

EnergyPage::EnergyPage(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("sTabSheet8"));

    GroupBoxLinkEnergy = new ConnectionStrip("GroupBoxLinkEnergy");
    ComboBoxPort5 = NewPortSelector("ComboBoxPort5");
    ComboBoxBaud4 = NewSpeedSelector("ComboBoxBaud4");
    StaticTextParityEnergy = NewFixedText(QStringLiteral("отключен"), "StaticTextParityEnergy");
    Edit12 = NewLogicalNumberEdit("Edit12");
    GroupBoxLinkEnergy->addField(QStringLiteral("Порт:"), ComboBoxPort5);
    GroupBoxLinkEnergy->addField(QStringLiteral("Скорость:"), ComboBoxBaud4);
    GroupBoxLinkEnergy->addField(QStringLiteral("Паритет:"), StaticTextParityEnergy);
    GroupBoxLinkEnergy->addField(QStringLiteral("Логический номер:"), Edit12);
    GroupBoxLinkEnergy->addStretch();

    EnergyColumn = new QWidget;
    EnergyColumn->setObjectName(QStringLiteral("EnergyColumn"));
    auto *column = new QVBoxLayout(EnergyColumn);
    column->setContentsMargins(0, 0, 0, 0);
    EnergyColumn->setFixedWidth(250);

    sPageControlEn = newPageControl("sPageControlEn");
    sTabSheet1 = AddSheet(sPageControlEn, "sTabSheet1", QStringLiteral("3-х минутная мощность"));
    sTabSheet2 = AddSheet(sPageControlEn, "sTabSheet2", QStringLiteral("30-и минутная мощноть"));

    sPageControl2 = newPageControl("sPageControl2");
    sTabSheet3 = AddSheet(sPageControl2, "sTabSheet3", QStringLiteral("График"));
    sTabSheet5 = AddSheet(sPageControl2, "sTabSheet5", QStringLiteral("Таблица"));
    sTabSheet1->layout()->addWidget(sPageControl2);

    sPageControl3 = newPageControl("sPageControl3");
    sTabSheet6 = AddSheet(sPageControl3, "sTabSheet6", QStringLiteral("График"));
    sTabSheet7 = AddSheet(sPageControl3, "sTabSheet7", QStringLiteral("Таблица"));
    sTabSheet2->layout()->addWidget(sPageControl3);

    auto *body = new QHBoxLayout;
    body->setSpacing(6);
    body->addWidget(EnergyColumn);
    body->addWidget(sPageControlEn, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 4, 2, 2);
    layout->setSpacing(4);
    layout->addWidget(GroupBoxLinkEnergy);
    layout->addLayout(body, 1);
}

QVBoxLayout *EnergyPage::energyColumnLayout() const {
    return static_cast<QVBoxLayout *>(EnergyColumn->layout());
}
