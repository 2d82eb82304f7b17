#pragma once
// "Настройка токовых выходов": the hardware variant of the three current outputs and their
// adjustment cycle. After "   Старт" the instrument is told which limit of the output range is being
// adjusted; the operator then types measured values or nudges each output up and down, stores the
// result, and "   Стоп" writes the limit selection 0. While the cycle runs, the request-sequence
// runner reads register 532 whenever no write is queued.
#include "sheet_services.h"

#include <QAbstractSpinBox>
#include <QGroupBox>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

class QButtonGroup;
class QComboBox;
class QPushButton;
class QRadioButton;
class QToolButton;
class StatusLamp;

// A radio group with an item index. Its clicked signal comes whenever the selection changes, by the
// user or by setItemIndex, as the sheets of this program expect of a radio group.
class LimitRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    LimitRadioGroup(const QString &title, const QStringList &items, int initialIndex, QWidget *parent = nullptr);
    int itemIndex() const;
    void setItemIndex(int index);
    QRadioButton *button(int index) const;

signals:
    void clicked();

private:
    QButtonGroup *buttons_;
};

// An up-down control: two arrows that move a position within 0..100 and report which arrow was pressed.
class AdjustUpDown : public QWidget {
    Q_OBJECT
public:
    explicit AdjustUpDown(QWidget *parent = nullptr);
    int position() const { return position_; }
    void setPosition(int position);
    QToolButton *upButton;
    QToolButton *downButton;

    static constexpr int kMin = 0;
    static constexpr int kMax = 100;
    static constexpr int kCentre = 50;

signals:
    void clicked(bool up);

private:
    void press(bool up);
    int position_ = kCentre;
};

// A decimal field with spin arrows stepping by 0.001. It holds whatever text is typed or set:
// the handler that needs the number converts it, and reports a text that is not one.
class DecimalSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit DecimalSpinEdit(QWidget *parent = nullptr);
    void setText(const QString &text);
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
};

class CurrentOutputsSheet : public QWidget {
    Q_OBJECT
public:
    // apdStatusLight2 is the runner's exchange lamp of this sheet; the sheet places it beside its
    // start button.
    CurrentOutputsSheet(SheetServices &services, StatusLamp *apdStatusLight2, QWidget *parent = nullptr);

    enum Limit { Upper = 0, Middle = 1, Lower = 2 };
    static constexpr int kOutputs = 3;

    // "Аппаратная реализация".
    QComboBox *sComboBoxSelHwCurr;
    QPushButton *sBitBtnSaveSelHwCurr;
    // "Установить связь:" and "Сохранить изменения:".
    QPushButton *sBitBtnSetCurr;
    StatusLamp *ApdStatusLight2;
    QPushButton *BitBtnSeveHwCurrInfo;
    // "Пределы".
    LimitRadioGroup *sRadioGroupHwCurr;
    // One per output, index 0..2 for "Токовый выход 1".."Токовый выход 3".
    DecimalSpinEdit *sDecimalSpinEditCurr1, *sDecimalSpinEditCurr2, *sDecimalSpinEditCurr3;
    QPushButton *sBitBtnEnterCurr1, *sBitBtnEnterCurr2, *sBitBtnEnterCurr3;
    AdjustUpDown *sUpDownSFast1, *sUpDownSFast2, *sUpDownSFast3; // "x 100"
    AdjustUpDown *sUpDownFast1, *sUpDownFast2, *sUpDownFast3;    // "x 10"
    AdjustUpDown *sUpDownCurr1, *sUpDownCurr2, *sUpDownCurr3;    // "x 1"

    // Controls.
    void sBitBtnSaveSelHwCurrClick();
    void sBitBtnSetCurrClick(); // start, or in its stop role enable "Выход" and StopSetCurr
    void sRadioGroupHwCurrClick();
    void sUpDownCurr1Click(int output, bool up);  // "x 1"
    void sUpDownFast2Click(int output, bool up);  // "x 10"
    void sUpDownSFast2Click(int output, bool up); // "x 100"
    void sBitBtnEnterCurr1Click(int output);      // "Ввод"
    void BitBtnSeveHwCurrInfoClick();

    // Ends the cycle and takes the outputs out of adjustment (0 to 766), whether the cycle runs or not.
    void StopSetCurr();
    void EnableCurrControls(bool enabled);
    void ShowCurrLimits(int variant);

    // Answers.
    void StartCurrCycle(const tavro::Response &answer);      // tag 33: the variant read at 534
    void RefreshCurrLimits(const tavro::Response &answer);   // tag 35: the limit was written
    void CurrWriteConfirmed(const tavro::Response &answer);  // tag 36: mode, adjustment or store written
    void CurrValueEntered(const tavro::Response &answer);    // tag 15: a measured value was written

    // What the sheet needs from the window, set by it.
    std::function<void(bool)> exitEnabled;       // BitBtnExit
    std::function<void()> showSchemePages;       // the scheme's panel tab on the metrology sheet
    std::function<void()> closeValueEntry;       // the value entry dialog

    std::array<DecimalSpinEdit *, kOutputs> measuredEdits() const;
    std::array<QPushButton *, kOutputs> enterButtons() const;
    std::array<AdjustUpDown *, kOutputs> stepUpDowns(int size) const; // size 1, 10 or 100

private:
    void followLimit();
    void queueAdjustment(AdjustUpDown *control, bool up, std::uint16_t code);
    void setExitEnabled(bool enabled);

    SheetServices &services_;
};
