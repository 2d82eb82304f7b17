#pragma once
// The view tests share one executable; each class is run in turn by tst_views_main.cpp.
#include <QObject>

class TestValueText : public QObject {
    Q_OBJECT
private slots:
    void formats_data();
    void formats();
    void groupsEvenWhenTheLocaleOmitsGroups();
};

class TestMeasuredValuesPanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void fields_data();
    void fields();
    void captionsStandLeftOfTheirFields();
    void objectNamesAreUnique();
    void allOnesShowsNoInformationEverywhere();
    void onlyLowRegisterAllOnesIsANumber();
    void eachValueGoesToItsOwnFieldInItsOwnStyle();
    void shortDataDoesNotReadPastIt_data();
    void shortDataDoesNotReadPastIt();
    void clearKeepsZeroSequence();
    void fitsBesideTheConnectionColumn();
    void fieldOutsideRangeIsNull();
};

class TestPages : public QObject {
    Q_OBJECT
private slots:
    void controls_data();
    void controls();
    void pageCaptions_data();
    void pageCaptions();
    void portSelectors_data();
    void portSelectors();
    void speedSelectors_data();
    void speedSelectors();
    void pagesFitTheWindow();
};

class TestSkins : public QObject {
    Q_OBJECT
private slots:
    void namesInOrder();
    void eachSkinIsApplied_data();
    void eachSkinIsApplied();
    void skinsDiffer();
    void unknownNameChangesNothing();
};

class TestStatusLamp : public QObject {
    Q_OBJECT
private slots:
    void drawsItsColourOnlyWhenLit();
};
