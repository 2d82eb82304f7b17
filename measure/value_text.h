#pragma once
#include <QLocale>
#include <QString>

enum class ValueStyle { ThreeDecimals, FourDecimals };

// The text of one measured value: "нет информ." when the instrument has no information,
// otherwise "#,##0.000" or "#,##0.0000" with the locale's separators (thousands always grouped,
// rounded half away from zero, no minus sign on a value that rounds to zero).
// NaN and infinities carry no measurement either and also give "нет информ."; magnitudes of
// 1e18 and above, whose integer digits a single cannot hold anyway, are written with an
// exponent and seven significant digits ("3.402823E+38").
QString ValueToText(ValueStyle style, float value, bool noData, const QLocale &locale = QLocale());

// The text shown for a value the instrument marks as not available.
QString NoInfoText();
