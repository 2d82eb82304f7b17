#include "skins.h"
#include "status_lamp.h"
#include "view_tests.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QSet>
#include <QStyle>
#include <QTest>

#include <cmath>

namespace {

double luminance(const QColor &c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The WCAG contrast ratio, 1 (none) to 21 (black on white).
double contrast(const QColor &a, const QColor &b) {
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

const QStringList kNames = {
    QStringLiteral("Aluminium (internal)"),    QStringLiteral("Beijing (internal)"),
    QStringLiteral("BlueIce (internal)"),      QStringLiteral("Garnet (internal)"),
    QStringLiteral("Desert (internal)"),       QStringLiteral("FalloutStyle (internal)"),
    QStringLiteral("Golden (internal)"),       QStringLiteral("ios4 (internal)"),
    QStringLiteral("Ledenets (internal)"),     QStringLiteral("Neutral (internal)"),
    QStringLiteral("NextAlpha (internal)"),    QStringLiteral("SoapSky - Lime (internal)"),
    QStringLiteral("Terminal4bit (internal)"), QStringLiteral("WMP11 (internal)"),
    QStringLiteral("Wood (internal)"),
};

} // namespace

void TestSkins::namesInOrder() {
    QCOMPARE(SkinNames(), kNames);
}

void TestSkins::eachSkinIsApplied_data() {
    QTest::addColumn<QString>("name");
    for (const QString &name : kNames)
        QTest::newRow(qPrintable(name)) << name;
}

void TestSkins::eachSkinIsApplied() {
    QFETCH(QString, name);
    QVERIFY(ApplySkin(name));
    QCOMPARE(CurrentSkin(), name);
    QVERIFY(!qApp->styleSheet().isEmpty());

    // Readable: text against its background in every place text is shown.
    const QPalette p = QApplication::palette();
    QVERIFY2(contrast(p.color(QPalette::WindowText), p.color(QPalette::Window)) >= 4.5, "labels");
    QVERIFY2(contrast(p.color(QPalette::Text), p.color(QPalette::Base)) >= 4.5, "fields");
    QVERIFY2(contrast(p.color(QPalette::ButtonText), p.color(QPalette::Button)) >= 4.5, "buttons");
    QVERIFY2(contrast(p.color(QPalette::HighlightedText), p.color(QPalette::Highlight)) >= 3.0, "selection");
    QVERIFY2(contrast(p.color(QPalette::Link), p.color(QPalette::Window)) >= 3.0, "group captions");
    // A disabled field must look different from an enabled one, yet stay legible.
    const QColor disabledText = p.color(QPalette::Disabled, QPalette::Text);
    QVERIFY(disabledText != p.color(QPalette::Active, QPalette::Text));
    QVERIFY(contrast(disabledText, p.color(QPalette::Disabled, QPalette::Base)) >= 1.8);
}

void TestSkins::skinsDiffer() {
    QSet<QString> looks;
    QSet<QRgb> windows;
    for (const QString &name : kNames) {
        QVERIFY(ApplySkin(name));
        const QPalette p = QApplication::palette();
        windows.insert(p.color(QPalette::Window).rgb());
        looks.insert(p.color(QPalette::Window).name() + p.color(QPalette::Button).name() +
                     p.color(QPalette::Base).name());
    }
    QCOMPARE(windows.size(), kNames.size());
    QCOMPARE(looks.size(), kNames.size());
}

void TestSkins::unknownNameChangesNothing() {
    QVERIFY(ApplySkin(QStringLiteral("Garnet (internal)")));
    const QPalette before = QApplication::palette();
    const QString sheet = qApp->styleSheet();
    for (const QString &bad : {QString(), QStringLiteral("Garnet"), QStringLiteral("garnet (internal)"),
                               QStringLiteral("No such skin")}) {
        QVERIFY(!ApplySkin(bad));
        QCOMPARE(QApplication::palette().color(QPalette::Window), before.color(QPalette::Window));
        QCOMPARE(qApp->styleSheet(), sheet);
        QCOMPARE(CurrentSkin(), QStringLiteral("Garnet (internal)"));
    }
    QVERIFY(ApplySkin(QStringLiteral("Neutral (internal)")));
}

void TestStatusLamp::drawsItsColourOnlyWhenLit() {
    StatusLamp lamp;
    QVERIFY(!lamp.isLit());
    QVERIFY(lamp.width() <= 16 && lamp.height() <= 16);

    auto centre = [&lamp] {
        const QImage image = lamp.grab().toImage();
        return image.pixelColor(image.width() * 3 / 5, image.height() * 3 / 5);
    };
    const QColor unlit = centre();
    QVERIFY2(unlit.hsvSaturationF() < 0.15, "an unlit lamp is grey");

    for (const QColor &colour : {QColor(Qt::green), QColor(Qt::blue), QColor(Qt::red)}) {
        lamp.setColor(colour);
        QCOMPARE(lamp.color(), colour);
        QVERIFY2(centre().hsvSaturationF() < 0.15, "colour alone does not light it");
        lamp.setLit(true);
        QVERIFY(lamp.isLit());
        const QColor lit = centre();
        QVERIFY(lit.hsvSaturationF() > 0.5);
        QVERIFY(qAbs(lit.hsvHue() - colour.hsvHue()) <= 10);
        lamp.setLit(false);
    }
}
