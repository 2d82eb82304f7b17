#include "rated_voltage.h"

#include "conversion.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace tavro {
namespace {

struct RatedBand {
    double low;  // open interval
    double high;
    const char *text;
};

// Searched in this order; the first band that holds the value wins. 400 V has no band.
constexpr RatedBand kRatedBands[] = {
    {99.8, 100.2, "100"},           {5988, 6012, "6000"},         {9980, 10020, "10000"},
    {10479, 10521, "10500"},        {15718.6, 15781.4, "15750"},  {34930, 35070, "35000"},
    {109780, 110220, "110000"},     {219560, 220440, "220000"},   {499000, 501000, "500000"},
};

constexpr int kGeneralDigits = 15;
constexpr double kGeneralFormatFrom = 1e15; // where fixed digits stop making sense

QString withLocaleSeparator(QString text)
{
    return text.replace(QLatin1Char('.'), QLocale().decimalPoint());
}

QString nonFiniteText(double v)
{
    if (std::isnan(v))
        return QStringLiteral("NAN");
    return v > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
}

QString generalText(double v)
{
    if (!std::isfinite(v))
        return nonFiniteText(v);
    if (v == 0)
        return QStringLiteral("0"); // also for -0
    // 15 significant digits, rounded: "-d.dddddddddddddde-XX".
    const QString e = QString::number(v, 'e', kGeneralDigits - 1);
    const bool negative = e.startsWith(QLatin1Char('-'));
    const qsizetype at = e.indexOf(QLatin1Char('e'));
    const int exponent = e.mid(at + 1).toInt();
    QString digits = e.mid(negative ? 1 : 0, at - (negative ? 1 : 0)).remove(QLatin1Char('.'));
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);

    const QString point = QLocale().decimalPoint();
    QString text;
    if (exponent >= kGeneralDigits || exponent < -5) {
        text = digits.left(1);
        if (digits.size() > 1)
            text += point + digits.mid(1);
        text += QLatin1Char('E') + QString::number(exponent);
    } else if (exponent < 0) {
        text = QLatin1Char('0') + point + QString(-exponent - 1, QLatin1Char('0')) + digits;
    } else if (digits.size() <= exponent + 1) {
        text = digits + QString(exponent + 1 - digits.size(), QLatin1Char('0'));
    } else {
        text = digits.left(exponent + 1) + point + digits.mid(exponent + 1);
    }
    return negative ? QLatin1Char('-') + text : text;
}

[[noreturn]] void notANumber(const QString &text)
{
    throw ConversionError(QStringLiteral("'%1' — не число").arg(text));
}

[[noreturn]] void outOfRange(const QString &text)
{
    throw ConversionError(QStringLiteral("'%1' — число вне допустимого диапазона").arg(text));
}

} // namespace

const QStringList &RatedVoltages()
{
    static const QStringList list{
        QStringLiteral("100"),    QStringLiteral("400"),    QStringLiteral("6000"),   QStringLiteral("10000"),
        QStringLiteral("10500"),  QStringLiteral("15750"),  QStringLiteral("35000"),  QStringLiteral("110000"),
        QStringLiteral("220000"), QStringLiteral("500000"),
    };
    return list;
}

QString SnapRatedVoltage(double v, const QString &primaryText)
{
    if (primaryText.trimmed().isEmpty())
        return QStringLiteral("100");
    for (const RatedBand &band : kRatedBands)
        if (v > band.low && v < band.high)
            return QString::fromLatin1(band.text);
    return FixedText(v, 0);
}

QString GeneralText(float v)
{
    return generalText(double(v));
}

QString FixedText(double v, int decimals)
{
    if (!std::isfinite(v) || std::fabs(v) >= kGeneralFormatFrom)
        return generalText(v);
    // Ties go away from zero, as the digit patterns round; -0.3 shows as "0", not "-0".
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(v * scale) / scale;
    if (rounded == 0)
        rounded = 0;
    return withLocaleSeparator(QString::number(rounded, 'f', decimals));
}

float TextToSingle(const QString &text)
{
    const double v = StrToFloat(text);
    if (std::isnan(v))
        notANumber(text);
    if (std::fabs(v) > double(std::numeric_limits<float>::max()))
        outOfRange(text);
    return float(v);
}

float LimitedSingle(const QString &text, float limit)
{
    const double v = StrToFloat(text);
    if (std::isnan(v))
        notANumber(text);
    if (v > double(limit))
        return limit;
    if (v < -double(std::numeric_limits<float>::max()))
        outOfRange(text);
    return std::fmin(float(v), limit);
}

} // namespace tavro
