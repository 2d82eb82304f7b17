#include "metrology_values.h"

#include "rated_voltage.h"

#include <QLocale>

#include <cmath>

namespace tavro {

QString ScaledValueText(float v)
{
    if (v == 0)
        return QStringLiteral("0.0").replace(QLatin1Char('.'), QLocale().decimalPoint());
    if (!std::isfinite(v))
        return GeneralText(v);
    QString sign;
    if (v < 0) {
        sign = QStringLiteral("-");
        v = -v;
    }
    int n = int(std::trunc(std::log10(double(v)))); // finite v: between -46 and 39
    double divisor = 1;
    while (n > 2) {
        divisor *= 1000;
        n -= 3;
    }
    const float scaled = v / float(divisor);
    return sign + FixedText(double(scaled), 4).left(6);
}

QString PowerUnitText(float v)
{
    const float a = std::fabs(v);
    if (a < 1000)
        return QStringLiteral(" W");
    if (a < 1000000)
        return QStringLiteral("kW");
    if (a < 1000000000)
        return QStringLiteral("MW");
    return QString();
}

} // namespace tavro
