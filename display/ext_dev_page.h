#pragma once
#include <QWidget>

class ConnectionStrip;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTabWidget;

// "Внешние устройства": the "Связь" band with the port and the indicator's read and write
// buttons, then the sheets of the external indicator and the current converter.
// Each sheet has a QVBoxLayout for its contents.
class ExtDevPage : public QWidget {
    Q_OBJECT
public:
    explicit ExtDevPage(QWidget *parent = nullptr);
    static QString caption() { return QStringLiteral("Внешние устройства"); }

    ConnectionStrip *GroupBox25;
    QGroupBox *GroupBoxPortSettings; // "Настройки порта"
    QComboBox *ComboBoxPort2;
    QLabel *StaticText9;  // "9600"
    QLabel *StaticText10; // "отключен"
    QPushButton *BitBtnSave;
    QPushButton *BitBtnRead;

    QTabWidget *PageControl3;
    QWidget *TSInd;
    QWidget *TSAmp;
};
