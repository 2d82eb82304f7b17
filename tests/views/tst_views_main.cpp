#include "view_tests.h"

#include <QApplication>
#include <QTest>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    TestValueText valueText;
    TestMeasuredValuesPanel panel;
    TestPages pages;
    TestSkins skins;
    TestStatusLamp lamp;
    int failed = 0;
    for (QObject *test :
         {static_cast<QObject *>(&valueText), static_cast<QObject *>(&panel), static_cast<QObject *>(&pages),
          static_cast<QObject *>(&skins), static_cast<QObject *>(&lamp)})
        failed += QTest::qExec(test, argc, argv);
    return failed == 0 ? 0 : 1;
}
