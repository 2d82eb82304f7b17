#pragma once
#include <QWidget>

class ConnectionStrip;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QVBoxLayout;

// "   Энергия   ": the "Связь" band, then the energy counters on the left (EnergyColumn)
// and the power-profile sheets on the right. Each sheet has a QVBoxLayout for its contents.
class EnergyPage : public QWidget {
    Q_OBJECT
public:
    explicit EnergyPage(QWidget *parent = nullptr);
    static QString caption() { return QStringLiteral("   Энергия   "); }

    ConnectionStrip *GroupBoxLinkEnergy;
    QComboBox *ComboBoxPort5;
    QComboBox *ComboBoxBaud4;
    QLabel *StaticTextParityEnergy; // "отключен"
    QLineEdit *Edit12;

    QWidget *EnergyColumn; // the left column, with a QVBoxLayout
    QVBoxLayout *energyColumnLayout() const;

    QTabWidget *sPageControlEn;
    QWidget *sTabSheet1; // 3-minute power
    QTabWidget *sPageControl2;
    QWidget *sTabSheet3;
    QWidget *sTabSheet5;
    QWidget *sTabSheet2; // 30-minute power
    QTabWidget *sPageControl3;
    QWidget *sTabSheet6;
    QWidget *sTabSheet7;
};
