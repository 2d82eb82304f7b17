#include "value_text.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kLargestFixed = 1e18;
}

QString NoInfoText() {
    return QStringLiteral("нет информ.");
}

QString ValueToText(ValueStyle style, float value, bool noData, const QLocale &locale) {
    if (noData || !std::isfinite(value))
        return NoInfoText();

    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);

    const double v = value;
    if (std::fabs(v) >= kLargestFixed)
        return grouped.toString(v, 'E', 6);

    const int decimals = style == ValueStyle::FourDecimals ? 4 : 3;
    QString text = grouped.toString(v, 'f', decimals);
    // A small negative value rounds to "-0.000", a sign that tells the reader nothing.
    const QString minus = grouped.negativeSign();
    if (text.startsWith(minus) &&
        !std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.digitValue() > 0; }))
        text.remove(0, minus.size());
    return text;
}
