#pragma once
#include <QWidget>

class ConnectionStrip;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;

// "Настройка": the "Связь" band, then the sheets of the instrument's settings.
// Each sheet has a QVBoxLayout for its contents.
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(QWidget *parent = nullptr);
    static QString caption() { return QStringLiteral("Настройка"); }

    ConnectionStrip *GroupBoxLinkTuning;
    QComboBox *ComboBoxPort3;
    QComboBox *ComboBoxBaud2;
    QLabel *StaticTextParityTuning; // "отключен"
    QLineEdit *Edit2;

    QTabWidget *PageControlSetAllParam;
    QWidget *TSSetParam;
    QWidget *sTabSetInd;
    QWidget *TSSetMetrol;
    QWidget *TSSetCurrent;
    QWidget *TSSetTime;

    QTabWidget *PageControl2or3Elem; // inside TSSetMetrol
    QWidget *TabSheet4;
    QWidget *TabSheet3;
};
