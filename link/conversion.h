#pragma once
#include <QString>

#include <stdexcept>

namespace tavro {

// A typed text that a handler needed as a number and that is not one. Shown to the user with the
// text that did not convert; the handler that raised it is abandoned, the program goes on.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const QString &message);
    QString text() const { return QString::fromUtf8(what()); }
};

// A decimal integer with optional sign and surrounding blanks; ConversionError otherwise.
int StrToInt(const QString &text);
// The same, without an exception: fallback when the text is not an integer.
int StrToIntDef(const QString &text, int fallback);
// A decimal number with the locale's separator (a dot is accepted too); ConversionError otherwise.
double StrToFloat(const QString &text);

} // namespace tavro
