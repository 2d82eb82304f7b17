#pragma once
#include <QWidget>

class ConnectionStrip;
class QComboBox;
class QLabel;
class QLineEdit;

// "Информационный канал": the "Связь" band (the port; the fixed speed and the logical number
// the instrument reports, both read-only) and, below it, room for the channel's values.
// The page's QVBoxLayout holds the band first; contents are added after it.
class InfoChannelPage : public QWidget {
    Q_OBJECT
public:
    explicit InfoChannelPage(QWidget *parent = nullptr);
    static QString caption() { return QStringLiteral("Информационный канал"); }

    ConnectionStrip *GroupBoxLinkChan;
    QComboBox *ComboBoxPort4;
    QLineEdit *sEdit1;       // speed, "       9600", disabled
    QLineEdit *sEditNetAddr; // logical number from the channel's frames, disabled
    QLabel *LabelChanInfoMess;
};
