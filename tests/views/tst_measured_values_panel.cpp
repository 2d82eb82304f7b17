#include "encoding.h"
#include "measured_values_panel.h"
#include "skins.h"
#include "view_tests.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QTest>

#include <vector>

Q_DECLARE_METATYPE(ValueStyle)

namespace {

const QString kNoInfo = QStringLiteral("нет информ.");
constexpr int kCount = MeasuredValuesPanel::kQuantityCount;
constexpr int kDataBytes = 4 * kCount; // 124 bytes after the byte count

struct Expected {
    const char *name;
    const char *caption;
    ValueStyle style;
    const char *group;
};
constexpr auto V3 = ValueStyle::ThreeDecimals;
constexpr auto V4 = ValueStyle::FourDecimals;

// Quantity index order of the measured-values block; "B" in the units is Latin.
const Expected kExpected[kCount] = {
    {"EditUa", "Ua, B = ", V3, "Напряжение"},
    {"EditUb", "Ub, B = ", V3, "Напряжение"},
    {"EditUc", "Uc, B = ", V3, "Напряжение"},
    {"EditIa", "Ia, A = ", V4, "Ток"},
    {"EditIb", "Ib, A = ", V4, "Ток"},
    {"EditIc", "Ic, A = ", V4, "Ток"},
    {"EditUab", "Uab, B = ", V3, "Напряжение линейное"},
    {"EditUbc", "Ubc, B = ", V3, "Напряжение линейное"},
    {"EditUca", "Uca, B = ", V3, "Напряжение линейное"},
    {"EditPa", "Pa, Bт = ", V3, "Мощность активная"},
    {"EditPb", "Pb, Bт = ", V3, "Мощность активная"},
    {"EditPc", "Pc, Bт = ", V3, "Мощность активная"},
    {"EditQa", "Qa, вар = ", V3, "Мощность реактивная"},
    {"EditQb", "Qb, вар = ", V3, "Мощность реактивная"},
    {"EditQc", "Qc, вар = ", V3, "Мощность реактивная"},
    {"EditSa", "Sa, BА = ", V3, "Мощность полная"},
    {"EditSb", "Sb, BА = ", V3, "Мощность полная"},
    {"EditSc", "Sc, BА = ", V3, "Мощность полная"},
    {"EditCosFa", "Kpa =", V3, "Коэффициент мощности"},
    {"EditCosFb", "Kpb =", V3, "Коэффициент мощности"},
    {"EditCosFc", "Kpc =", V3, "Коэффициент мощности"},
    {"EditP", "P,  Bт =", V3, "Мощность активная"},
    {"EditQ", "Q, вар = ", V3, "Мощность реактивная"},
    {"EditS", "S,  BА =", V3, "Мощность полная"},
    {"EditCosF", "Kp   =", V3, "Коэффициент мощности"},
    {"EditFrec", "F, Гц =", V3, "Частота"},
    {"EditU", "Uфср, B = ", V3, "Напряжение"},
    {"EditI", "Iср, A = ", V4, "Ток"},
    {"EditUL", "Uлср, B = ", V3, "Напряжение линейное"},
    {"EditUo", "Uo, B = ", V3, "Значения нулевой"},
    {"EditIo", "Io, A = ", V4, "Значения нулевой"},
};

std::vector<std::uint8_t> dataOf(const std::vector<float> &values) {
    std::vector<std::uint8_t> bytes(values.size() * 4);
    for (std::size_t k = 0; k < values.size(); ++k)
        tavro::FloatToBytes(values[k], &bytes[4 * k]);
    return bytes;
}

QLabel *captionLabelOf(const QWidget &panel, const QLineEdit *field) {
    for (QLabel *label : panel.findChildren<QLabel *>()) {
        if (label->buddy() == field)
            return label;
    }
    return nullptr;
}

} // namespace

void TestMeasuredValuesPanel::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English));
}

void TestMeasuredValuesPanel::cleanupTestCase() {
    QLocale::setDefault(QLocale::system());
}

void TestMeasuredValuesPanel::fields_data() {
    QTest::addColumn<int>("k");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<ValueStyle>("style");
    QTest::addColumn<QString>("group");
    for (int k = 0; k < kCount; ++k) {
        const Expected &e = kExpected[k];
        QTest::addRow("%d %s", k, e.name) << k << QString::fromLatin1(e.name) << QString::fromUtf8(e.caption)
                                          << e.style << QString::fromUtf8(e.group);
    }
}

void TestMeasuredValuesPanel::fields() {
    QFETCH(int, k);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(ValueStyle, style);
    QFETCH(QString, group);

    MeasuredValuesPanel panel;
    QLineEdit *field = panel.field(k);
    QVERIFY(field);
    QCOMPARE(field->objectName(), name);
    QCOMPARE(panel.findChild<QLineEdit *>(name), field);
    QVERIFY(field->isReadOnly());
    QVERIFY(field->text().isEmpty());
    QCOMPARE(MeasuredValuesPanel::styleOf(k), style);

    QLabel *label = captionLabelOf(panel, field);
    QVERIFY2(label, "every field has its caption label");
    QCOMPARE(label->text(), caption);
    QCOMPARE(MeasuredValuesPanel::captionOf(k), caption);

    auto *box = qobject_cast<QGroupBox *>(field->parentWidget());
    QVERIFY(box);
    QCOMPARE(box->title(), group);
}

void TestMeasuredValuesPanel::captionsStandLeftOfTheirFields() {
    MeasuredValuesPanel panel;
    panel.resize(600, 500);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    for (int k = 0; k < kCount; ++k) {
        const QLineEdit *field = panel.field(k);
        const QLabel *label = captionLabelOf(panel, field);
        const QPoint labelPos = label->mapTo(&panel, QPoint(label->width(), label->height() / 2));
        const QPoint fieldPos = field->mapTo(&panel, QPoint(0, field->height() / 2));
        QVERIFY2(labelPos.x() <= fieldPos.x(), kExpected[k].name);
        QVERIFY2(qAbs(labelPos.y() - fieldPos.y()) <= 4, kExpected[k].name);
        QVERIFY2(panel.rect().contains(field->mapTo(&panel, field->rect().bottomRight())), kExpected[k].name);
    }
}

void TestMeasuredValuesPanel::objectNamesAreUnique() {
    MeasuredValuesPanel panel;
    QSet<QString> names;
    for (QObject *child : panel.findChildren<QObject *>()) {
        if (child->objectName().isEmpty() || child->objectName().startsWith(QLatin1String("qt_")))
            continue;
        QVERIFY2(!names.contains(child->objectName()), qPrintable(child->objectName()));
        names.insert(child->objectName());
    }
    QCOMPARE(panel.findChildren<QLineEdit *>().size(), kCount);
    QCOMPARE(panel.findChildren<QGroupBox *>().size(), 9);
    auto *zero = panel.GroupBoxZeroSequence;
    QCOMPARE(zero->title(), QStringLiteral("Значения нулевой"));
    QCOMPARE(panel.LabelZeroSequence->text(), QStringLiteral("последовательности"));
    QCOMPARE(panel.LabelZeroSequence->parentWidget(), zero);
}

void TestMeasuredValuesPanel::allOnesShowsNoInformationEverywhere() {
    MeasuredValuesPanel panel;
    const std::vector<std::uint8_t> bytes(kDataBytes, 0xFF);
    panel.ShowMeasured(tavro::RegisterData(bytes.data(), bytes.size()));
    for (int k = 0; k < kCount; ++k)
        QCOMPARE(panel.field(k)->text(), kNoInfo);
}

void TestMeasuredValuesPanel::onlyLowRegisterAllOnesIsANumber() {
    MeasuredValuesPanel panel;
    std::vector<std::uint8_t> bytes(kDataBytes, 0xFF);
    // Value 0: high register 0x4366 (230.0 with an empty low half), low register 0xFFFF.
    bytes[0] = 0x43;
    bytes[1] = 0x66;
    panel.ShowMeasured(tavro::RegisterData(bytes.data(), bytes.size()));
    QCOMPARE(panel.EditUa->text(), QStringLiteral("231.000")); // 230.99998
    QCOMPARE(panel.EditUb->text(), kNoInfo);
}

void TestMeasuredValuesPanel::eachValueGoesToItsOwnFieldInItsOwnStyle() {
    // Value k is 100k + 0.125: every field gets a number no other field gets.
    std::vector<float> values;
    for (int k = 0; k < kCount; ++k)
        values.push_back(100.0f * float(k) + 0.125f);
    values[22] = -150.25f; // a negative total reactive power
    const auto bytes = dataOf(values);

    MeasuredValuesPanel panel;
    panel.ShowMeasured(tavro::RegisterData(bytes.data(), bytes.size()));
    for (int k = 0; k < kCount; ++k) {
        const int whole = 100 * k;
        QString integer =
            whole >= 1000
                ? QStringLiteral("%1,%2").arg(whole / 1000).arg(whole % 1000, 3, 10, QLatin1Char('0'))
                : QString::number(whole);
        QString expected =
            integer + (kExpected[k].style == V4 ? QStringLiteral(".1250") : QStringLiteral(".125"));
        if (k == 22)
            expected = QStringLiteral("-150.250");
        QCOMPARE(panel.field(k)->text(), expected);
    }
}

void TestMeasuredValuesPanel::shortDataDoesNotReadPastIt_data() {
    QTest::addColumn<int>("size");
    QTest::newRow("nothing") << 0;
    QTest::newRow("one byte") << 1;
    QTest::newRow("two values and a half") << 10;
    QTest::newRow("one byte short") << kDataBytes - 1;
}

void TestMeasuredValuesPanel::shortDataDoesNotReadPastIt() {
    QFETCH(int, size);
    std::vector<float> values(kCount, 1.5f);
    auto bytes = dataOf(values);
    // Only `size` bytes belong to the answer; anything the view read beyond would be 1.5 again.
    MeasuredValuesPanel panel;
    panel.ShowMeasured(tavro::RegisterData(bytes.data(), std::size_t(size)));
    for (int k = 0; k < kCount; ++k) {
        if (4 * k + 4 <= size)
            QCOMPARE(panel.field(k)->text(),
                     kExpected[k].style == V4 ? QStringLiteral("1.5000") : QStringLiteral("1.500"));
        else if (4 * k >= size)
            QCOMPARE(panel.field(k)->text(), kNoInfo);
        // A value cut in two keeps its high half and is a number or not by that half alone.
    }
}

void TestMeasuredValuesPanel::clearKeepsZeroSequence() {
    std::vector<float> values(kCount, 7.0f);
    const auto bytes = dataOf(values);
    MeasuredValuesPanel panel;
    panel.ShowMeasured(tavro::RegisterData(bytes.data(), bytes.size()));
    panel.ClearMeasured();
    for (int k = 0; k < kCount; ++k) {
        const QString name = panel.field(k)->objectName();
        if (name == QLatin1String("EditUo"))
            QCOMPARE(panel.field(k)->text(), QStringLiteral("7.000"));
        else if (name == QLatin1String("EditIo"))
            QCOMPARE(panel.field(k)->text(), QStringLiteral("7.0000"));
        else
            QVERIFY2(panel.field(k)->text().isEmpty(), qPrintable(name));
    }
}

void TestMeasuredValuesPanel::fitsBesideTheConnectionColumn() {
    // The page leaves about 600 x 520 right of its 220 pixel connection column.
    MeasuredValuesPanel panel;
    ApplySkin(QStringLiteral("Neutral (internal)"));
    QVERIFY(panel.minimumSizeHint().width() <= 600);
    QVERIFY(panel.minimumSizeHint().height() <= 520);
}

void TestMeasuredValuesPanel::fieldOutsideRangeIsNull() {
    MeasuredValuesPanel panel;
    QVERIFY(!panel.field(-1));
    QVERIFY(!panel.field(kCount));
}
