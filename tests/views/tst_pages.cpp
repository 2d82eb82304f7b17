#include "energy_page.h"
#include "ext_dev_page.h"
#include "info_channel_page.h"
#include "settings_page.h"
#include "skins.h"
#include "view_tests.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <memory>

namespace {

std::unique_ptr<QWidget> makePage(const QString &sheet) {
    if (sheet == QLatin1String("TStuning"))
        return std::make_unique<SettingsPage>();
    if (sheet == QLatin1String("TS_ExtDev"))
        return std::make_unique<ExtDevPage>();
    if (sheet == QLatin1String("sTabSheet4"))
        return std::make_unique<InfoChannelPage>();
    if (sheet == QLatin1String("sTabSheet8"))
        return std::make_unique<EnergyPage>();
    return nullptr;
}

// The text a control shows: a sheet its tab caption, a group its title, others their text.
QString shownText(QWidget *w) {
    if (auto *tabs =
            qobject_cast<QTabWidget *>(w->parentWidget() ? w->parentWidget()->parentWidget() : nullptr))
        return tabs->tabText(tabs->indexOf(w));
    if (auto *box = qobject_cast<QGroupBox *>(w))
        return box->title();
    if (auto *button = qobject_cast<QPushButton *>(w))
        return button->text();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    return QString();
}

} // namespace

void TestPages::controls_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");      // caption of a sheet, text of anything else
    QTest::addColumn<QString>("container"); // the page control of a sheet
    QTest::addColumn<bool>("enabled");

    struct Row {
        const char *page, *name, *text, *container;
        bool enabled;
    };
    const Row rows[] = {
        {"TStuning", "GroupBoxLinkTuning", "Связь", "", true},
        {"TStuning", "StaticTextParityTuning", "отключен", "", true},
        {"TStuning", "Edit2", "1", "", true},
        {"TStuning", "TSSetParam", "Насторойка основных параметров", "PageControlSetAllParam", true},
        {"TStuning", "sTabSetInd", "Настройка параметров индикации", "PageControlSetAllParam", true},
        {"TStuning", "TSSetMetrol", "Настройка метрологии", "PageControlSetAllParam", true},
        {"TStuning", "TSSetCurrent", "Настройка токовых выходов", "PageControlSetAllParam", true},
        {"TStuning", "TSSetTime", "Прочие настройки", "PageControlSetAllParam", true},
        {"TStuning", "TabSheet4", "Трехпроводная", "PageControl2or3Elem", true},
        {"TStuning", "TabSheet3", "Четырехпроводная", "PageControl2or3Elem", true},
        {"TS_ExtDev", "GroupBox25", "Связь", "", true},
        {"TS_ExtDev", "GroupBoxPortSettings", "Настройки порта", "", true},
        {"TS_ExtDev", "StaticText9", "9600", "", true},
        {"TS_ExtDev", "StaticText10", "отключен", "", true},
        {"TS_ExtDev", "BitBtnSave", "Записать  ", "", true},
        {"TS_ExtDev", "BitBtnRead", "Прочитать  ", "", true},
        {"TS_ExtDev", "TSInd", "Индикатор", "PageControl3", true},
        {"TS_ExtDev", "TSAmp", "Токовый преобразователь", "PageControl3", true},
        {"sTabSheet4", "GroupBoxLinkChan", "Связь", "", true},
        {"sTabSheet4", "sEdit1", "       9600", "", false},
        {"sTabSheet4", "sEditNetAddr", "", "", false},
        {"sTabSheet4", "LabelChanInfoMess", "", "", true},
        {"sTabSheet8", "GroupBoxLinkEnergy", "Связь", "", true},
        {"sTabSheet8", "StaticTextParityEnergy", "отключен", "", true},
        {"sTabSheet8", "Edit12", "1", "", true},
        {"sTabSheet8", "sTabSheet1", "3-х минутная мощность", "sPageControlEn", true},
        {"sTabSheet8", "sTabSheet2", "30-и минутная мощноть", "sPageControlEn", true},
        {"sTabSheet8", "sTabSheet3", "График", "sPageControl2", true},
        {"sTabSheet8", "sTabSheet5", "Таблица", "sPageControl2", true},
        {"sTabSheet8", "sTabSheet6", "График", "sPageControl3", true},
        {"sTabSheet8", "sTabSheet7", "Таблица", "sPageControl3", true},
    };
    for (const Row &r : rows)
        QTest::addRow("%s/%s", r.page, r.name)
            << QString::fromLatin1(r.page) << QString::fromLatin1(r.name) << QString::fromUtf8(r.text)
            << QString::fromLatin1(r.container) << r.enabled;
}

void TestPages::controls() {
    QFETCH(QString, page);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, container);
    QFETCH(bool, enabled);

    auto widget = makePage(page);
    QCOMPARE(widget->objectName(), page);
    const auto found = widget->findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *control = found.first();
    QCOMPARE(shownText(control), text);
    QCOMPARE(control->isEnabled(), enabled);
    if (!container.isEmpty()) {
        auto *tabs = widget->findChild<QTabWidget *>(container);
        QVERIFY(tabs);
        QVERIFY(tabs->indexOf(control) >= 0);
    }
}

void TestPages::pageCaptions_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("caption");
    QTest::newRow("settings") << "TStuning" << QStringLiteral("Настройка");
    QTest::newRow("external devices") << "TS_ExtDev" << QStringLiteral("Внешние устройства");
    QTest::newRow("information channel") << "sTabSheet4" << QStringLiteral("Информационный канал");
    QTest::newRow("energy") << "sTabSheet8" << QStringLiteral("   Энергия   ");
}

void TestPages::pageCaptions() {
    QFETCH(QString, page);
    QFETCH(QString, caption);
    QString actual;
    if (page == QLatin1String("TStuning"))
        actual = SettingsPage::caption();
    else if (page == QLatin1String("TS_ExtDev"))
        actual = ExtDevPage::caption();
    else if (page == QLatin1String("sTabSheet4"))
        actual = InfoChannelPage::caption();
    else
        actual = EnergyPage::caption();
    QCOMPARE(actual, caption);
}

void TestPages::portSelectors_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("name");
    QTest::newRow("settings") << "TStuning"
                              << "ComboBoxPort3";
    QTest::newRow("external devices") << "TS_ExtDev"
                                      << "ComboBoxPort2";
    QTest::newRow("information channel") << "sTabSheet4"
                                         << "ComboBoxPort4";
    QTest::newRow("energy") << "sTabSheet8"
                            << "ComboBoxPort5";
}

void TestPages::portSelectors() {
    QFETCH(QString, page);
    QFETCH(QString, name);
    auto widget = makePage(page);
    auto *box = widget->findChild<QComboBox *>(name);
    QVERIFY(box);
    QVERIFY(!box->isEditable());
    QCOMPARE(box->count(), 16);
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(box->itemText(i), QStringLiteral("Comm%1").arg(i + 1));
        QCOMPARE(box->itemData(i).toInt(), i + 1);
    }
}

void TestPages::speedSelectors_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("name");
    QTest::newRow("settings") << "TStuning"
                              << "ComboBoxBaud2";
    QTest::newRow("energy") << "sTabSheet8"
                            << "ComboBoxBaud4";
}

void TestPages::speedSelectors() {
    QFETCH(QString, page);
    QFETCH(QString, name);
    auto widget = makePage(page);
    auto *box = widget->findChild<QComboBox *>(name);
    QVERIFY(box);
    QVERIFY(!box->isEditable());
    const int speeds[] = {1200, 2400, 4800, 9600, 19200, 38400};
    QCOMPARE(box->count(), 6);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(box->itemText(i), QString::number(speeds[i]));
        QCOMPARE(box->itemData(i).toInt(), speeds[i]);
    }
    QCOMPARE(box->currentText(), QStringLiteral("9600"));
}

void TestPages::pagesFitTheWindow() {
    // The main window leaves a page about 840 x 520 below its tab row.
    QVERIFY(ApplySkin(QStringLiteral("Neutral (internal)")));
    for (const char *sheet : {"TStuning", "TS_ExtDev", "sTabSheet4", "sTabSheet8"}) {
        auto page = makePage(QString::fromLatin1(sheet));
        if (auto *settings = qobject_cast<SettingsPage *>(page.get())) // the window hides this tab
            settings->PageControlSetAllParam->setTabVisible(
                settings->PageControlSetAllParam->indexOf(settings->TSSetTime), false);
        const QSize need = page->minimumSizeHint();
        QVERIFY2(need.width() <= 840 && need.height() <= 520, sheet);
        // Every tab caption readable at once, without scrolling the tab row.
        page->resize(840, 520);
        for (QTabBar *bar : page->findChildren<QTabBar *>())
            QVERIFY2(bar->sizeHint().width() <= 836, sheet);
    }
}
