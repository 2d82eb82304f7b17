#pragma once
#include "value_text.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;

namespace tavro {
class RegisterData;
}

// The 31 measured quantities, in nine groups: phase and line voltages, currents, active,
// reactive and apparent powers, power factors, frequency and the zero-sequence values.
// Field k shows value k of the measured-values block (the quantity index).
class MeasuredValuesPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kQuantityCount = 31;

    explicit MeasuredValuesPanel(QWidget *parent = nullptr);

    QLineEdit *field(int k) const; // nullptr outside 0..30
    static ValueStyle styleOf(int k);
    static QString captionOf(int k); // the label beside field k, "Ua, B = "

    // Value k from registers 2k and 2k+1 of the response's data part, for k = 0..30.
    void ShowMeasured(const tavro::RegisterData &data);
    // Empties every field except the zero-sequence ones, which keep their last values.
    void ClearMeasured();

    QLineEdit *EditUa, *EditUb, *EditUc, *EditIa, *EditIb, *EditIc, *EditUab, *EditUbc, *EditUca;
    QLineEdit *EditPa, *EditPb, *EditPc, *EditQa, *EditQb, *EditQc, *EditSa, *EditSb, *EditSc;
    QLineEdit *EditCosFa, *EditCosFb, *EditCosFc, *EditP, *EditQ, *EditS, *EditCosF, *EditFrec;
    QLineEdit *EditU, *EditI, *EditUL, *EditUo, *EditIo;

    QGroupBox *GroupBoxVoltage, *GroupBoxLineVoltage, *GroupBoxCurrent;
    QGroupBox *GroupBoxActivePower, *GroupBoxReactivePower, *GroupBoxApparentPower;
    QGroupBox *GroupBoxPowerFactor, *GroupBoxFrequency, *GroupBoxZeroSequence;
    QLabel *LabelZeroSequence; // the second caption line of GroupBoxZeroSequence
};
