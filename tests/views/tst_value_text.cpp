#include "value_text.h"
#include "view_tests.h"

#include <QTest>

#include <limits>

Q_DECLARE_METATYPE(ValueStyle)

namespace {

const QString kNoInfo = QStringLiteral("нет информ.");

// Writes an English-looking number ("12,345.678") with the locale's own separators.
QString inLocale(const QString &english, const QLocale &locale) {
    QString out;
    for (QChar c : english) {
        if (c == QLatin1Char(','))
            out += locale.groupSeparator();
        else if (c == QLatin1Char('.'))
            out += locale.decimalPoint();
        else if (c == QLatin1Char('-'))
            out += locale.negativeSign();
        else
            out += c;
    }
    return out;
}

} // namespace

void TestValueText::formats_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<ValueStyle>("style");
    QTest::addColumn<float>("value");
    QTest::addColumn<bool>("noData");
    QTest::addColumn<QString>("expected");

    constexpr auto V3 = ValueStyle::ThreeDecimals;
    constexpr auto V4 = ValueStyle::FourDecimals;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Row {
        const char *tag;
        ValueStyle style;
        float value;
        bool noData;
        const char *english; // or the exact text when it has no separators to translate
    };
    const Row rows[] = {
        {"phase voltage", V3, 230.0f, false, "230.000"},
        {"small current", V4, 0.00123f, false, "0.0012"},
        {"grouped thousands", V3, 12345.678f, false, "12,345.678"},
        {"negative", V3, -150.25f, false, "-150.250"},
        {"negative grouped", V4, -98765.4321f, false, "-98,765.4297"}, // nearest single is ...429688
        {"zero", V3, 0.0f, false, "0.000"},
        {"negative zero", V3, -0.0f, false, "0.000"},
        {"rounds to zero from below", V3, -0.0001f, false, "0.000"},
        {"half rounds up", V3, 0.0625f, false, "0.063"},
        {"negative half rounds away", V3, -0.0625f, false, "-0.063"},
        {"four decimal half", V4, 0.03125f, false, "0.0313"},
        {"below half", V3, 230.0004f, false, "230.000"},
        {"above half", V3, 230.0006f, false, "230.001"},
        {"carry into thousands", V3, 999.9996f, false, "1,000.000"},
        {"under one", V4, 0.5f, false, "0.5000"},
        {"millions", V3, 1234567.0f, false, "1,234,567.000"},
        {"billions", V3, 1e9f, false, "1,000,000,000.000"},
        {"largest single", V3, std::numeric_limits<float>::max(), false, "3.402823E+38"},
        {"lowest single", V3, std::numeric_limits<float>::lowest(), false, "-3.402823E+38"},
        {"no data", V3, 0.0f, true, "нет информ."},
        {"no data wins over a value", V4, 123.0f, true, "нет информ."},
        {"NaN", V3, nan, false, "нет информ."},
        {"infinity", V3, inf, false, "нет информ."},
        {"minus infinity", V4, -inf, false, "нет информ."},
    };
    const QLocale locales[] = {QLocale(QLocale::English), QLocale(QLocale::Russian),
                               QLocale(QLocale::German)};
    for (const QLocale &locale : locales) {
        for (const Row &r : rows) {
            const QString english = QString::fromUtf8(r.english);
            const QString expected = english == kNoInfo ? english : inLocale(english, locale);
            QTest::addRow("%s %s", qPrintable(locale.name()), r.tag)
                << locale << r.style << r.value << r.noData << expected;
        }
    }
    // The same numbers spelled out, so the translation above is not the only witness.
    QTest::addRow("ru literal") << QLocale(QLocale::Russian) << V3 << 12345.678f << false
                                << QStringLiteral("12\u00A0345,678");
    QTest::addRow("de literal") << QLocale(QLocale::German) << V3 << 12345.678f << false
                                << QStringLiteral("12.345,678");
    QTest::addRow("en literal") << QLocale(QLocale::English) << V4 << -1234.5f << false
                                << QStringLiteral("-1,234.5000");
}

void TestValueText::formats() {
    QFETCH(QLocale, locale);
    QFETCH(ValueStyle, style);
    QFETCH(float, value);
    QFETCH(bool, noData);
    QFETCH(QString, expected);
    QCOMPARE(ValueToText(style, value, noData, locale), expected);
}

void TestValueText::groupsEvenWhenTheLocaleOmitsGroups() {
    QLocale locale(QLocale::English);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QCOMPARE(ValueToText(ValueStyle::ThreeDecimals, 12345.678f, false, locale), QStringLiteral("12,345.678"));

    // The default locale is used when none is given.
    const QLocale saved;
    QLocale::setDefault(locale);
    QCOMPARE(ValueToText(ValueStyle::FourDecimals, 5432.1f, false), QStringLiteral("5,432.1001"));
    QLocale::setDefault(saved);
}
