#pragma once
// The lower part of "Настройка метрологии": the metrology cycle (scheme, ratios, then the
// measured values once a second on a three-wire or four-wire panel) and the calibration writes
// made from it: "Ввод" references, typed references through the value-entry dialog, the power
// spin buttons and the store command.
#include "metrology_values.h"
#include "sheet_services.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QTabWidget;
class QToolButton;
class SchemeRatiosArea;
class StatusLamp;
class ValueEntryDialog;

// A spin button: an up half and a down half, each with its own click.
class SpinButton : public QWidget {
public:
    SpinButton(const char *name, bool wide, QWidget *parent = nullptr);
    QToolButton *up;
    QToolButton *down;
};

class MetrologyPanel : public QWidget {
    Q_OBJECT
public:
    // tabSheet3 is the four-wire panel, tabSheet4 the three-wire one; both get their controls here.
    MetrologyPanel(SheetServices &services, SchemeRatiosArea &schemeRatios, QTabWidget *pageControl2or3Elem,
                   QWidget *tabSheet3, QWidget *tabSheet4, StatusLamp *apdStatusLight1, QWidget *parent = nullptr);
    ~MetrologyPanel() override;

    // Three-wire panel.
    QLabel *StaticTextUab, *StaticTextUbc, *StaticTextUca;
    QPushButton *Button2Uan, *Button2Ubn;
    QLabel *StaticTextIa2, *StaticTextIb2, *StaticTextIc2;
    QLabel *StaticTextPs, *StaticTextQs;
    SpinButton *UpDownPsa1, *UpDownPsa0, *UpDownPsc1, *UpDownPsc0;
    // Four-wire panel.
    QLabel *StaticTextUan, *StaticTextUbn, *StaticTextUcn;
    QPushButton *Button3Uan, *Button3Ubn, *Button3Ucn;
    QLabel *StaticTextIa3, *StaticTextIb3, *StaticTextIc3;
    QPushButton *Button3Ian, *Button3Ibn, *Button3Icn;
    QLabel *StaticTextPa, *StaticTextPb, *StaticTextPc, *StaticTextP;
    QLabel *StaticTextPa_, *StaticTextPb_, *StaticTextPc_, *StaticTextP_;
    SpinButton *UpDownPa1, *UpDownPb1, *UpDownPc1, *UpDownPa0, *UpDownPb0, *UpDownPc0;
    // Bottom panel.
    QPushButton *BitBtnSetNet;
    QPushButton *BitBtnSeveSetInfo;
    StatusLamp *ApdStatusLight1;

    ValueEntryDialog *Form2;
    QWidget *Form2Source = nullptr; // the value field double-clicked last

    // Set by the window: the contents of TSSetParam, TS_Tavro and TS_ExtDev; BitBtnExit; whether
    // PageControlSetAllParam shows TSSetParam or sTabSetInd.
    std::function<void(bool)> setOtherPagesEnabled;
    std::function<void(bool)> exitEnabled;
    std::function<bool()> settingsSheetIsMainOrDisplay;

    // The cycle.
    void BitBtnSetNetClick();
    void StopSetNet();
    void SchemeStartRead(const tavro::Response &answer); // tag 29
    void RatiosRead(const tavro::Response &answer);      // tag 27
    void MeasureRead(const tavro::Response &answer);     // tag 32
    void CalibValueWritten(const tavro::Response &answer); // tag 14
    void CalibCmdWritten(const tavro::Response &answer);   // tag 40

    // Showing the measured values.
    void ShowNetValues(const tavro::Response &answer);
    float CheckNominal(int channel, float v);
    float NominalOf(int channel) const;

    // Calibration writes.
    void EnableCalibControls(bool enabled);
    void Button3UanClick(QPushButton *button); // Button3Uan, Button3Ubn, Button3Ucn
    void Button3IanClick(QPushButton *button); // Button3Ian, Button3Ibn, Button3Icn
    void Button2UanClick();
    void Button2UbnClick();
    void BitBtnSeveSetInfoClick();
    void SetCalibValue(float value);
    void SendInfoToForm2(QWidget *field);

    void UpDownPa0UpClick() { UpDownClick(UpDownPa0, true); }
    void UpDownPa0DownClick() { UpDownClick(UpDownPa0, false); }
    void UpDownPb0UpClick() { UpDownClick(UpDownPb0, true); }
    void UpDownPb0DownClick() { UpDownClick(UpDownPb0, false); }
    void UpDownPc0UpClick() { UpDownClick(UpDownPc0, true); }
    void UpDownPc0DownClick() { UpDownClick(UpDownPc0, false); }
    void UpDownPa1UpClick() { UpDownClick(UpDownPa1, true); }
    void UpDownPa1DownClick() { UpDownClick(UpDownPa1, false); }
    void UpDownPb1UpClick() { UpDownClick(UpDownPb1, true); }
    void UpDownPb1DownClick() { UpDownClick(UpDownPb1, false); }
    void UpDownPc1UpClick() { UpDownClick(UpDownPc1, true); }
    void UpDownPc1DownClick() { UpDownClick(UpDownPc1, false); }
    void UpDownPsa0UpClick() { UpDownClick(UpDownPsa0, true); }
    void UpDownPsa0DownClick() { UpDownClick(UpDownPsa0, false); }
    void UpDownPsc0UpClick() { UpDownClick(UpDownPsc0, true); }
    void UpDownPsc0DownClick() { UpDownClick(UpDownPsc0, false); }
    void UpDownPsa1UpClick() { UpDownClick(UpDownPsa1, true); }
    void UpDownPsa1DownClick() { UpDownClick(UpDownPsa1, false); }
    void UpDownPsc1UpClick() { UpDownClick(UpDownPsc1, true); }
    void UpDownPsc1DownClick() { UpDownClick(UpDownPsc1, false); }

    // The phase code a spin button sends (0..5), -1 for anything else.
    int PhaseCodeOf(const SpinButton *spin) const;
    // The calibration slot k that a value typed for this field goes to, -1 if it has none.
    int SlotOf(const QWidget *field) const;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    struct Spin {
        SpinButton *button;
        int code;
        void (MetrologyPanel::*upClick)();
        void (MetrologyPanel::*downClick)();
    };
    struct EntryField {
        QLabel *field;
        int left, top;
        int slot;
    };
    struct Channel {
        int value; // index of the single in the answer
        QLabel *shown;
        int channel;
        QPushButton *governed;
        QLabel *unit;
    };

    void buildThreeWire(QWidget *sheet);
    void buildFourWire(QWidget *sheet);
    void buildBottom();
    void connectHandlers();
    void UpDownClick(SpinButton *spin, bool up);
    void queueCalibValue(int slot, float value);
    void queueCalibCmd(std::uint16_t reg, std::uint16_t value);
    const EntryField *entryOf(const QWidget *field) const;

    SheetServices &services_;
    SchemeRatiosArea &schemeRatios_;
    QTabWidget *pageControl2or3Elem_;
    std::array<Spin, 10> spins_{};
    std::array<EntryField, 10> entries_{};
    std::array<Channel, 18> channels_{};
    std::unique_ptr<ValueEntryDialog> dialog_;
};
