#pragma once
// Number texts and constants of the calibration panel: the scaled value text, the power unit, and
// the factors that turn the transformer values into nominals and references.
#include <QString>

namespace tavro {

// The instrument keeps primary values 1.3 times the nominal ones.
constexpr long double kInverse13 = 0.7692307692307692L;
// Phase voltage sent by a "Ввод" button (1/1.732051) and phase-voltage nominal of the display
// (1/1.732): the instrument's makers use both, each in its own place.
constexpr long double kPhaseReferenceFactor = 0.5773502050459253L;
constexpr long double kPhaseNominalFactor = 0.5773672055427251L;
// A "Ввод" button is usable only while its value exceeds this part of the nominal.
constexpr long double kEnterThreshold = 0.6L;
// Values closer to 0 than this show as 0.
constexpr float kZeroBand = 0.01f;

// A value in at most six characters after its sign, divided by 1000 as often as needed to keep
// three digits before the point: 57.735 -> "57.735", 6000 -> "6.0000", -220000 -> "-220.00".
// 0 gives "0.0". The locale's decimal separator; not-a-number and the infinities as "NAN", "INF".
QString ScaledValueText(float v);

// The unit label of a power shown by ScaledValueText: " W", "kW", "MW", or empty from 1e9 on.
QString PowerUnitText(float v);

} // namespace tavro
