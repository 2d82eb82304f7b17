#include "info_channel_page.h"

#include "connection_strip.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

InfoChannelPage::InfoChannelPage(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("sTabSheet4"));

    GroupBoxLinkChan = new ConnectionStrip("GroupBoxLinkChan");
    ComboBoxPort4 = NewPortSelector("ComboBoxPort4");
    // The channel always sends at 9600 baud; the field only says so.
    sEdit1 = new QLineEdit(QStringLiteral("       9600"));
    sEdit1->setObjectName(QStringLiteral("sEdit1"));
    sEdit1->setEnabled(false);
    sEdit1->setFixedWidth(80);
    sEditNetAddr = new QLineEdit;
    sEditNetAddr->setObjectName(QStringLiteral("sEditNetAddr"));
    sEditNetAddr->setEnabled(false);
    sEditNetAddr->setFixedWidth(56);
    LabelChanInfoMess = new QLabel;
    LabelChanInfoMess->setObjectName(QStringLiteral("LabelChanInfoMess"));
    LabelChanInfoMess->setMinimumWidth(180);

    GroupBoxLinkChan->addField(QStringLiteral("Порт:"), ComboBoxPort4);
    GroupBoxLinkChan->addField(QStringLiteral("Скорость:"), sEdit1);
    GroupBoxLinkChan->addField(QStringLiteral("Логический номер:"), sEditNetAddr);
    GroupBoxLinkChan->addSpacing(16);
    GroupBoxLinkChan->addWidget(LabelChanInfoMess);
    GroupBoxLinkChan->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 4, 2, 2);
    layout->setSpacing(4);
    layout->addWidget(GroupBoxLinkChan);
    layout->addStretch();
}
