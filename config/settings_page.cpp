#include "settings_page.h"

#include "connection_strip.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

SettingsPage::SettingsPage(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TStuning"));

    GroupBoxLinkTuning = new ConnectionStrip("GroupBoxLinkTuning");
    ComboBoxPort3 = NewPortSelector("ComboBoxPort3");
    ComboBoxBaud2 = NewSpeedSelector("ComboBoxBaud2");
    StaticTextParityTuning = NewFixedText(QStringLiteral("отключен"), "StaticTextParityTuning");
    Edit2 = NewLogicalNumberEdit("Edit2");
    GroupBoxLinkTuning->addField(QStringLiteral("Порт:"), ComboBoxPort3);
    GroupBoxLinkTuning->addField(QStringLiteral("Скорость:"), ComboBoxBaud2);
    GroupBoxLinkTuning->addField(QStringLiteral("Паритет:"), StaticTextParityTuning);
    GroupBoxLinkTuning->addField(QStringLiteral("Логический номер:"), Edit2);
    GroupBoxLinkTuning->addStretch();

    PageControlSetAllParam = new QTabWidget;
    PageControlSetAllParam->setObjectName(QStringLiteral("PageControlSetAllParam"));
    TSSetParam =
        AddSheet(PageControlSetAllParam, "TSSetParam", QStringLiteral("Насторойка основных параметров"));
    sTabSetInd =
        AddSheet(PageControlSetAllParam, "sTabSetInd", QStringLiteral("Настройка параметров индикации"));
    TSSetMetrol = AddSheet(PageControlSetAllParam, "TSSetMetrol", QStringLiteral("Настройка метрологии"));
    TSSetCurrent =
        AddSheet(PageControlSetAllParam, "TSSetCurrent", QStringLiteral("Настройка токовых выходов"));
    TSSetTime = AddSheet(PageControlSetAllParam, "TSSetTime", QStringLiteral("Прочие настройки"));

    PageControl2or3Elem = new QTabWidget;
    PageControl2or3Elem->setObjectName(QStringLiteral("PageControl2or3Elem"));
    TabSheet4 = AddSheet(PageControl2or3Elem, "TabSheet4", QStringLiteral("Трехпроводная"));
    TabSheet3 = AddSheet(PageControl2or3Elem, "TabSheet3", QStringLiteral("Четырехпроводная"));
    TSSetMetrol->layout()->addWidget(PageControl2or3Elem);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 4, 2, 2);
    layout->setSpacing(4);
    layout->addWidget(GroupBoxLinkTuning);
    layout->addWidget(PageControlSetAllParam, 1);
}
