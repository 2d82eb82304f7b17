#include "conversion.h"

#include <QLocale>

namespace tavro {

ConversionError::ConversionError(const QString &message) : std::runtime_error(message.toStdString()) {}

namespace {

bool parseInt(const QString &text, int &out)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < INT_MIN || v > INT_MAX)
        return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace

int StrToInt(const QString &text)
{
    int v = 0;
    if (!parseInt(text, v))
        throw ConversionError(QStringLiteral("'%1' — не целое число").arg(text));
    return v;
}

int StrToIntDef(const QString &text, int fallback)
{
    int v = 0;
    return parseInt(text, v) ? v : fallback;
}

double StrToFloat(const QString &text)
{
    const QString t = text.trimmed();
    // Group separators are refused: in an English locale "19,950" must not read as 19950.
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double v = locale.toDouble(t, &ok);
    if (!ok)
        v = c.toDouble(t, &ok);
    if (!ok)
        throw ConversionError(QStringLiteral("'%1' — не число").arg(text));
    return v;
}

} // namespace tavro
