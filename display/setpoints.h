#pragma once
// The displayed quantities of the built-in display and of the external indicator, the setpoint
// pair that goes with each (defaults and limits by group), and the rules every setpoint field
// follows: the line rule and the focus-entry, change and focus-exit guards.
#include "timer.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QComboBox;
class QLineEdit;

// The 31 measured quantities a display line can show; the code is the item number in a line's
// list and the quantity's index in the measured-values block.
constexpr int kQuantityCount = 31;

// The list texts of the built-in display's lines, in code order.
QStringList DisplayQuantityTexts();

enum class SetpointGroup {
    PhaseVoltage,
    Current,
    LineVoltage,
    PhasePower,      // phase active and reactive power
    ApparentPower,
    PhasePowerFactor,
    TotalPower,      // total active and reactive power
    TotalPowerFactor,
    Frequency,
};

struct SetpointLimits {
    int defaultUpper;
    int defaultLower;
    int largestUpper;
    int smallestLower;
};

// The group of a quantity code; none for a code outside 0..30 (a list without selection included).
std::optional<SetpointGroup> SetpointGroupOf(int code);
SetpointLimits LimitsOf(SetpointGroup group);

// Whatever the group, a field the user leaves holds at most this (upper) or at least its negative (lower).
constexpr int kSetpointFieldBound = 150;

// A setpoint text read as a number: the locale's decimal separator, no group separators, blanks
// around it allowed. None for an empty text, a lone sign or anything else that is not a finite number.
std::optional<double> SetpointNumber(const QString &text);
inline bool IsSetpointNumber(const QString &text) { return SetpointNumber(text).has_value(); }

// A value as the rules write it: rounded to a whole number, no separators, a minus for negatives.
QString WholeNumberText(double value);

// What a field holds after the user leaves it: "0" for a non-number, then held to 150 (upper
// side) or -150 (lower side); any other text stays as typed.
QString SetpointExitText(const QString &text, bool upperSide);

// The quantity a line's list shows: its item number, or -1 when the list has no selection or the
// user typed a text that names no item.
int SelectedCode(const QComboBox *list);

// One line (display) or channel (external indicator): its quantity list and its two setpoint fields.
struct UstChannel {
    QComboBox *param = nullptr;
    QLineEdit *upper = nullptr;
    QLineEdit *lower = nullptr;
};

// The pair rule for a known group. With reset the group's defaults go in; without it a value
// beyond the group's limit is pulled back to it and a value inside keeps its text as typed.
// Reading a field that is not a number raises tavro::ConversionError.
void ApplySetpointLimits(const UstChannel &channel, const SetpointLimits &limits, bool reset);

// The built-in display's line rule: enables both fields, then, for a quantity the list shows,
// applies its group's limits as above. The two values are not compared with each other.
void ControlUst(const UstChannel &channel, bool reset);

// The three guards of a setpoint field. Focus entry stores the text in savedEditText; a change
// that leaves a non-empty non-number puts savedEditText back; focus exit applies
// SetpointExitText and then runs afterExit. Errors escaping a guard are shown through messages.
// savedEditText and messages must outlive the field.
void AttachSetpointGuards(QLineEdit *field, bool upperSide, QString &savedEditText, tavro::MessageSink &messages,
                          std::function<void()> afterExit);
