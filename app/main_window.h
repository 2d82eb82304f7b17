#pragma once
#include "link.h"
#include "setpoints.h"
#include "sheet_services.h"

#include <QMainWindow>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class AppSettings;
class PortResolver;
class ConnectionControls;
class MeasurePage;
class SettingsPage;
class ExtDevPage;
class InfoChannelPage;
class EnergyPage;
class StatusLamp;
class MainParamsSheet;
class SchemeRatiosArea;
class DisplaySheet;
class CurrentOutputsSheet;
class MetrologyPanel;

// What the window runs on: the serial line, timers, clock, message boxes and the settings file.
// The program hands in the real ones, tests hand in doubles.
struct Platform {
    tavro::SerialPort &port;
    tavro::TimerFactory &timers;
    tavro::Clock &clock;
    tavro::MessageSink &messages;
    AppSettings &settings;
    const PortResolver *resolver = nullptr;
};

// The main window: composes the pages, owns the link and the window's timers, and reacts to the
// moments of an exchange for the controls of all pages.
class MainWindow : public QMainWindow, private tavro::LinkObserver {
    Q_OBJECT
public:
    explicit MainWindow(const Platform &platform, QWidget *parent = nullptr);
    ~MainWindow() override;

    static QString caption() { return QStringLiteral("Tavro v2.38"); }

    void PageControl1Change();
    void PageControlSetAllParamChange();
    void ShowStatus(const QString &text);
    void LoadSkin();
    void SetSkin(const QString &name);
    void sBitBtn1Click();
    void sComboBoxSkinChange();

    tavro::Link &link() { return link_; }

    // Pages of PageControl1, in page-index order.
    MeasurePage *TS_Tavro;
    SettingsPage *TStuning;
    ExtDevPage *TS_ExtDev;
    InfoChannelPage *sTabSheet4;
    EnergyPage *sTabSheet8;

    QTabWidget *PageControl1;
    QPushButton *BitBtnExit;
    QPushButton *sBitBtn1;
    QComboBox *sComboBoxSkin;
    QLabel *StatusPanel0;
    QLabel *StatusPanel1;
    QProgressBar *sProgressBarSchKp;
    MainParamsSheet *MainParams; // on TSSetParam
    DisplaySheet *Display;             // on sTabSetInd
    SchemeRatiosArea *GroupBoxNetSchKp; // the upper area of TSSetMetrol
    MetrologyPanel *Metrology;          // the metrology cycle below it, with the entry dialog Form2
    CurrentOutputsSheet *CurrentOuts;   // on TSSetCurrent
    // Setpoint channels: 0..2 the external indicator's, 3..5 the built-in display's lines.
    std::array<UstChannel, 6> UstChannels{};
    StatusLamp *ApdStatusLight1;
    StatusLamp *ApdStatusLight2;

    tavro::Timer *TimerMess;
    tavro::Timer *TimerAuto;
    tavro::Timer *TimerSaveMaxVal;
    tavro::Timer *TimerChanInfo;
    tavro::Timer *TimerClock;

    ConnectionControls *connection() { return connection_; }
    // The one text all guarded edits share: the text a field had when it got the focus.
    QString SavedEditText;

private:
    void buildShell();
    void connectHandlers();
    void registerResponseHandlers();
    void buildSheets();
    void writeConfirmed(); // the common answer to a write (tags 18 and 19)
    void FormCreate();
    template <class Handler> void onClick(QPushButton *button, Handler handler);

    // LinkObserver
    void inquirySent() override;
    void portFailed() override;
    void statisticsChanged() override;
    void status(const QString &text) override;
    void answerComplete() override;
    void crcFailed() override;
    void crcPassed() override;
    void exceptionAnswer() override;
    void succeeded() override;
    void timedOut() override;
    void flushFailedOnChannelPage() override;
    void runnerGaveUp() override;
    void runnerSent(bool write) override;
    void channelFrame(const std::uint8_t *frame) override;

    Platform platform_;
    tavro::Link link_;
    SheetServices services_;
    ConnectionControls *connection_ = nullptr;
};
