#pragma once
// The upper area of "Настройка метрологии": the connection scheme, the method of obtaining the
// phase-B current and the voltage and current transformer ratios, read as a chain of three
// requests and written as a sequence of seven with a progress bar.
#include "sheet_services.h"

#include <QGroupBox>

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;

class SchemeRatiosArea : public QGroupBox {
    Q_OBJECT
public:
    // timerSaveMaxVal paces the write sequence (100 ms); the area connects it. The tab widget holds
    // the four-wire (tabSheet3) and three-wire (tabSheet4) panels whose tabs follow the scheme.
    SchemeRatiosArea(SheetServices &services, tavro::Timer &timerSaveMaxVal, QTabWidget *pageControl2or3Elem,
                     QWidget *tabSheet3, QWidget *tabSheet4, QWidget *parent = nullptr);

    QGroupBox *GroupBoxNetSchKp; // this area itself
    QComboBox *ComboBoxSetSch;      // "трехпроводная" (0), "четырехпроводная" (1)
    QComboBox *ComboBoxCurrMeasure; // "измерительный" (0), "рассчетный" (1)
    QComboBox *ComboBoxMaxValU;     // voltage transformer, primary side
    QComboBox *ComboBoxMaxValU_;    // voltage, secondary side
    QComboBox *ComboBoxMaxValI;     // current transformer, primary side
    QComboBox *ComboBoxMaxValI_;    // current, secondary side
    QPushButton *BitBtnReadSchKp;
    QPushButton *BitBtnSaveSchKp;

    // The transformer values as last read, and the power bases computed from them.
    float UMax = 0;
    float USec = 0;
    float IMax = 0;
    float ISec = 0;
    float UMaxLine = 0;
    bool ThreeWire = false; // the scheme word last read was not 0
    float PPhaseMax = 0;
    float PTotalMax = 0;

    // The write step the next tick of TimerSaveMaxVal performs, named by its request tag.
    int SaveStep = 0;

    // Reading: the button, then the answers to tags 31, 30 and 28.
    void BitBtnReadSchKpClick();
    void ShowScheme(const tavro::Response &answer);     // tag 31
    void ShowCurrMethod(const tavro::Response &answer); // tag 30
    void ShowRatiosRead(const tavro::Response &answer); // tag 28
    // The four transformer values of a read at 2048 (tags 27 and 28).
    void ShowRatios(const tavro::Response &answer);
    void CalcNominalPower();

    // Writing: the button, the timer, the confirmations of tags 11, 26, 21, 22, 23, 24, and the
    // end at tag 20.
    void BitBtnSaveSchKpClick();
    void TimerSaveMaxValTimer();
    void SaveStepConfirmed(const tavro::Response &answer);
    void SaveFinished(const tavro::Response &answer);

    void EnableSchKp(bool enabled);
    // The scheme's panel tab, and both voltage texts snapped to their rated values.
    void ShowSchemePages();
    void FillRatedVoltages();

    // Edit rules.
    void ComboBoxSetSchChange();
    void ComboBoxMaxValUChange();
    void ComboBoxMaxValIChange();
    // Four-wire: the phase-B current can only be measured.
    void ApplyCurrentMethodRule();

    static constexpr float kMaxPrimaryVoltage = 750000;
    static constexpr float kMaxPrimaryCurrent = 20000;

private:
    bool fourWireShown() const;
    void limitRatioText(QComboBox *box, float limit);
    void showProgress(int value);
    void stopSaveSequence();
    void sendWrite06(tavro::TInquiry &inq, std::uint16_t reg, std::uint16_t value, std::uint8_t tag);
    void sendRatio(std::uint16_t reg, std::uint8_t tag, QComboBox *box, int progress, const QString &status);

    SheetServices &services_;
    tavro::Timer &timerSaveMaxVal_;
    QTabWidget *pageControl2or3Elem_;
    QWidget *tabSheet3_;
    QWidget *tabSheet4_;
};
