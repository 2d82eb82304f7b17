#pragma once
#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class MeasuredValuesPanel;
class StatusLamp;

namespace tavro {
class Link;
class Timer;
}

// "Измеряемая информация": the connection and polling column on the left, the 31 measured
// values on the right. Reads once or polls automatically, and shows the exchange statistics.
class MeasurePage : public QWidget {
    Q_OBJECT
public:
    MeasurePage(tavro::Link &link, tavro::Timer &timerAuto, QWidget *parent = nullptr);
    static QString caption() { return QStringLiteral("Измеряемая информация"); }

    // Buttons elsewhere in the window that polling disables while it runs.
    void setExitButton(QPushButton *exit) { exitButton_ = exit; }

    void BitBtnStartClick();
    void StopPolling(); // the stop role of BitBtnStart, also run when the page is left
    void TimerAutoTimer();
    void ExchangeEnded(); // an answer came or the time-out ended the exchange
    void ButtonStatClearClick();
    // After each measured-values request has gone out: starts or retunes automatic polling.
    void AutoReadingStep();
    void ShowStatistics();

    QGroupBox *GroupBoxLink;
    QComboBox *ComboBoxPort1;
    QComboBox *ComboBoxBaud1;
    QLabel *StaticTextParity1;
    QLineEdit *Edit1;

    QGroupBox *GroupBoxPoll;
    QLineEdit *EditAuto;
    QCheckBox *CheckBoxAuto;
    QPushButton *BitBtnStart;
    QPushButton *ButtonStatClear;
    QLabel *StaticTextTimeMeasure;
    QLabel *StaticTextMax;
    QLabel *StaticTextNoAnsw;
    QLabel *StaticTextErrCRC;
    QLabel *StaticTextAllEnquiry;
    StatusLamp *ApdStatusLight3;

    MeasuredValuesPanel *Values;

private:
    tavro::Link &link_;
    tavro::Timer &timerAuto_;
    QPushButton *exitButton_ = nullptr;
    bool restingForAnswer_ = false;
    // Counter values on screen; a counter's label is rewritten only when its value changes,
    // so "Сброс" can leave the labels empty until the next event.
    int shownAll_ = 0, shownNoAnsw_ = 0, shownErrCrc_ = 0, shownMax_ = 0;
};
