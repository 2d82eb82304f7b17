#pragma once
// Number texts of the transformer ratios: the rated primary voltages, the snapping of a read
// primary voltage to its rated value, and the number formats the ratio fields use.
#include <QString>
#include <QStringList>

namespace tavro {

// The primary voltages the voltage-ratio list offers once the instrument has been read.
const QStringList &RatedVoltages();

// The rated value v is a near miss of ("10500" for 10490); any other v rounded to an integer.
// An empty primary-voltage text means nothing is known yet, and gives "100" whatever v is.
QString SnapRatedVoltage(double v, const QString &primaryText);

// A single in the general number format: up to 15 significant digits of its exact value, no
// trailing zeros, the locale's decimal separator; an exponent only below 1e-5 or from 1e15 on
// ("1E-6"). Not-a-number and the infinities give "NAN", "INF", "-INF".
QString GeneralText(float v);

// v rounded half away from zero to `decimals` places, as the patterns "0" and "0.0" show it,
// with the locale's decimal separator. Values from 1e15 on fall back to the general format.
QString FixedText(double v, int decimals);

// A typed number as a single. ConversionError for a text that is not a number, not finite, or
// beyond the range of a single: such a value must never reach the instrument.
float TextToSingle(const QString &text);

// A typed ratio as the ratio fields keep it: a single, at most limit (anything above, however
// large, becomes limit). ConversionError for a text that is not a number.
float LimitedSingle(const QString &text, float limit);

} // namespace tavro
