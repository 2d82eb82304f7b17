#include "main_window.h"

#include "app_settings.h"
#include "connection_controls.h"
#include "conversion.h"
#include "energy_page.h"
#include "ext_dev_page.h"
#include "current_outputs_sheet.h"
#include "display_sheet.h"
#include "main_params_sheet.h"
#include "metrology_panel.h"
#include "scheme_ratios.h"
#include "guard.h"
#include "info_channel_page.h"
#include "measure_page.h"
#include "measured_values_panel.h"
#include "settings_page.h"
#include "skins.h"
#include "status_lamp.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace tavro;

namespace {

enum Page { PageMeasure = 0, PageSettings = 1, PageExtDev = 2, PageChannel = 3, PageEnergy = 4 };
constexpr int kStatusMessageMs = 3000;

void addToSheet(QWidget *sheet, QWidget *w)
{
    if (!sheet->layout())
        new QVBoxLayout(sheet);
    sheet->layout()->addWidget(w);
}

} // namespace

MainWindow::MainWindow(const Platform &platform, QWidget *parent)
    : QMainWindow(parent), platform_(platform),
      link_(platform.port, platform.timers, platform.clock, platform.messages, this),
      services_{link_, platform.messages, platform.clock, platform.timers, {}, {}, {}, {}, nullptr, &SavedEditText}
{
    setObjectName(QStringLiteral("Form1"));
    TimerMess = platform.timers.create(this, QStringLiteral("TimerMess"), kStatusMessageMs);
    TimerAuto = platform.timers.create(this, QStringLiteral("TimerAuto"), 100);
    TimerSaveMaxVal = platform.timers.create(this, QStringLiteral("TimerSaveMaxVal"), 100);
    TimerChanInfo = platform.timers.create(this, QStringLiteral("TimerChanInfo"), 1000);
    TimerClock = platform.timers.create(this, QStringLiteral("TimerClock"), 1000);
    buildShell();
    buildSheets();
    connectHandlers();
    registerResponseHandlers();
    link_.setObserver(this);
    link_.setSettingsLogicalNumber(services_.settingsLogicalNumber);
    FormCreate();
}

MainWindow::~MainWindow()
{
    link_.setObserver(nullptr);
}

void MainWindow::buildShell()
{
    setWindowTitle(caption());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    auto *central = new QWidget;
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(4, 0, 4, 0);
    column->setSpacing(2);

    auto *topBar = new QWidget;
    topBar->setObjectName(QStringLiteral("TopBar"));
    topBar->setFixedHeight(28);
    auto *top = new QHBoxLayout(topBar);
    top->setContentsMargins(0, 2, 0, 2);
    top->addStretch();
    sComboBoxSkin = new QComboBox;
    sComboBoxSkin->setObjectName(QStringLiteral("sComboBoxSkin"));
    sComboBoxSkin->addItems(SkinNames());
    sComboBoxSkin->setMinimumWidth(200);
    sComboBoxSkin->hide();
    sBitBtn1 = new QPushButton(QStringLiteral("Скины"));
    sBitBtn1->setObjectName(QStringLiteral("sBitBtn1"));
    top->addWidget(sComboBoxSkin);
    top->addWidget(sBitBtn1);
    column->addWidget(topBar);

    TS_Tavro = new MeasurePage(link_, *TimerAuto);
    TStuning = new SettingsPage;
    TS_ExtDev = new ExtDevPage;
    sTabSheet4 = new InfoChannelPage;
    sTabSheet8 = new EnergyPage;

    PageControl1 = new QTabWidget;
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setStyleSheet(QStringLiteral("QTabWidget#PageControl1 > QTabBar::tab { height: 40px; }"));
    PageControl1->addTab(TS_Tavro, MeasurePage::caption());
    PageControl1->addTab(TStuning, SettingsPage::caption());
    PageControl1->addTab(TS_ExtDev, ExtDevPage::caption());
    PageControl1->addTab(sTabSheet4, InfoChannelPage::caption());
    PageControl1->addTab(sTabSheet8, EnergyPage::caption());
    BitBtnExit = new QPushButton(QStringLiteral("Выход"));
    BitBtnExit->setObjectName(QStringLiteral("BitBtnExit"));
    BitBtnExit->setFixedSize(96, 32);
    auto *exitCorner = new QWidget;
    auto *exitLayout = new QHBoxLayout(exitCorner);
    exitLayout->setContentsMargins(0, 0, 8, 4);
    exitLayout->addWidget(BitBtnExit);
    PageControl1->setCornerWidget(exitCorner, Qt::TopRightCorner);
    column->addWidget(PageControl1, 1);
    setCentralWidget(central);

    StatusPanel0 = new QLabel;
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setMinimumWidth(120);
    StatusPanel1 = new QLabel;
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    sProgressBarSchKp = new QProgressBar;
    sProgressBarSchKp->setObjectName(QStringLiteral("sProgressBarSchKp"));
    sProgressBarSchKp->setRange(0, 100);
    sProgressBarSchKp->setMaximumWidth(200);
    sProgressBarSchKp->hide();
    auto *bar = new QStatusBar;
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(false);
    bar->addWidget(StatusPanel0);
    bar->addWidget(StatusPanel1, 1);
    bar->addPermanentWidget(sProgressBarSchKp);
    setStatusBar(bar);

    ApdStatusLight1 = new StatusLamp;
    ApdStatusLight1->setObjectName(QStringLiteral("ApdStatusLight1"));
    ApdStatusLight2 = new StatusLamp;
    ApdStatusLight2->setObjectName(QStringLiteral("ApdStatusLight2"));

    setFixedSize(846, 630);
}

void MainWindow::buildSheets()
{
    services_.logicalNumber = [this] { return std::uint16_t(StrToInt(TS_Tavro->Edit1->text())); };
    services_.settingsLogicalNumber = [this] { return std::uint16_t(StrToInt(TStuning->Edit2->text())); };
    services_.showStatus = [this](const QString &text) { ShowStatus(text); };
    services_.progress = sProgressBarSchKp;

    MainParams = new MainParamsSheet(services_);
    addToSheet(TStuning->TSSetParam, MainParams);
    MainParams->setLogicalNumber = [this](const QString &text) { TS_Tavro->Edit1->setText(text); };
    MainParams->followPortSpeed = [this](int position) {
        TS_Tavro->ComboBoxBaud1->setCurrentIndex(position);
        connection_->ComboBoxBaudChange(0);
    };

    Display = new DisplaySheet(services_);
    addToSheet(TStuning->sTabSetInd, Display);
    const auto lines = Display->lines();
    std::copy(lines.begin(), lines.end(), UstChannels.begin() + 3);
    Display->readMainParams = [this] { MainParams->BitBtnMainParamClick(); };
    Display->chainEnded = [this] { MainParams->BitBtnMainParam->setEnabled(true); };
    MainParams->clearDisplaySettings = [this] { Display->ClearForRead(); };
    MainParams->showBrightness = [this](std::uint16_t word) { Display->ShowBrightness(word); };

    GroupBoxNetSchKp = new SchemeRatiosArea(services_, *TimerSaveMaxVal, TStuning->PageControl2or3Elem,
                                            TStuning->TabSheet3, TStuning->TabSheet4);
    auto *metrology = static_cast<QVBoxLayout *>(TStuning->TSSetMetrol->layout());
    metrology->insertWidget(0, GroupBoxNetSchKp);
    Metrology = new MetrologyPanel(services_, *GroupBoxNetSchKp, TStuning->PageControl2or3Elem, TStuning->TabSheet3,
                                   TStuning->TabSheet4, ApdStatusLight1);
    metrology->addWidget(Metrology);
    metrology->addStretch(1);
    services_.enableCalibControls = [this](bool on) { Metrology->EnableCalibControls(on); };
    Metrology->setOtherPagesEnabled = [this](bool on) {
        for (QWidget *page : {static_cast<QWidget *>(MainParams), static_cast<QWidget *>(TS_Tavro),
                              static_cast<QWidget *>(TS_ExtDev)})
            page->setEnabled(on);
    };
    Metrology->exitEnabled = [this](bool on) { BitBtnExit->setEnabled(on); };
    Metrology->settingsSheetIsMainOrDisplay = [this] {
        QWidget *sheet = TStuning->PageControlSetAllParam->currentWidget();
        return sheet == TStuning->TSSetParam || sheet == TStuning->sTabSetInd;
    };

    CurrentOuts = new CurrentOutputsSheet(services_, ApdStatusLight2);
    addToSheet(TStuning->TSSetCurrent, CurrentOuts);
    CurrentOuts->exitEnabled = [this](bool on) { BitBtnExit->setEnabled(on); };
    CurrentOuts->showSchemePages = [this] { GroupBoxNetSchKp->ShowSchemePages(); };
}

template <class Handler> void MainWindow::onClick(QPushButton *button, Handler handler)
{
    connect(button, &QPushButton::clicked, this, Guarded(platform_.messages, handler));
}

void MainWindow::connectHandlers()
{
    ConnectionControls::Widgets w;
    w.ports = {TS_Tavro->ComboBoxPort1, TS_ExtDev->ComboBoxPort2, TStuning->ComboBoxPort3, sTabSheet4->ComboBoxPort4,
               sTabSheet8->ComboBoxPort5};
    w.speeds = {TS_Tavro->ComboBoxBaud1, TStuning->ComboBoxBaud2, sTabSheet8->ComboBoxBaud4};
    w.logicalNumbers = {TS_Tavro->Edit1, TStuning->Edit2, sTabSheet8->Edit12};
    w.channelLogicalNumber = sTabSheet4->sEditNetAddr;
    connection_ = new ConnectionControls(w, platform_.settings, platform_.port, platform_.messages,
                                         platform_.resolver, this);
    connection_->setLeaveChannelPage([this] { PageControl1->setCurrentIndex(PageMeasure); });

    MessageSink &messages = platform_.messages;
    for (int i = 0; i < w.ports.size(); ++i)
        connect(w.ports[i], &QComboBox::activated, this,
                Guarded(messages, [this, i] { connection_->ComboBoxPortChange(i); }));
    for (int i = 0; i < w.speeds.size(); ++i)
        connect(w.speeds[i], &QComboBox::activated, this,
                Guarded(messages, [this, i] { connection_->ComboBoxBaudChange(i); }));
    for (QLineEdit *edit : w.logicalNumbers)
        connect(edit, &QLineEdit::textChanged, this,
                Guarded(messages, [this, edit] { connection_->LogicalNumberChange(edit); }));
    // The channel page's own field re-checks the first page's number, as it always has.
    connect(sTabSheet4->sEditNetAddr, &QLineEdit::textChanged, this,
            Guarded(messages, [this] { connection_->LogicalNumberChange(TS_Tavro->Edit1); }));

    connect(PageControl1, &QTabWidget::currentChanged, this, Guarded(messages, [this] { PageControl1Change(); }));
    connect(TStuning->PageControlSetAllParam, &QTabWidget::currentChanged, this,
            Guarded(messages, [this] { PageControlSetAllParamChange(); }));
    onClick(BitBtnExit, [this] { close(); });
    onClick(sBitBtn1, [this] { sBitBtn1Click(); });
    connect(sComboBoxSkin, &QComboBox::activated, this, Guarded(messages, [this] { sComboBoxSkinChange(); }));

    onClick(TS_Tavro->BitBtnStart, [this] { TS_Tavro->BitBtnStartClick(); });
    onClick(TS_Tavro->ButtonStatClear, [this] { TS_Tavro->ButtonStatClearClick(); });
    TS_Tavro->setExitButton(BitBtnExit);

    connect(TimerMess, &Timer::timeout, this, [this] {
        TimerMess->stop();
        StatusPanel1->clear();
    });
}

// The one table from request tag to the feature that handles its answer. Tags without a row
// take only the common success path.
void MainWindow::registerResponseHandlers()
{
    const std::pair<std::uint8_t, Link::Handler> table[] = {
        {0, [this](const Response &r) { TS_Tavro->Values->ShowMeasured(r.data()); }},
        {2, [this](const Response &r) { MainParams->ChooseMainParamBlock(r); }},
        {3, [this](const Response &r) { MainParams->ShowMainParam(r); }},
        {5, [this](const Response &r) { Display->ShowIndParam(r); }},
        {6, [this](const Response &r) { Display->ShowITEUst(r); }},
        {11, [this](const Response &r) { GroupBoxNetSchKp->SaveStepConfirmed(r); }},
        {14, [this](const Response &r) { Metrology->CalibValueWritten(r); }},
        {15, [this](const Response &r) { CurrentOuts->CurrValueEntered(r); }},
        {18, [this](const Response &) { writeConfirmed(); }},
        {19, [this](const Response &) {
             sProgressBarSchKp->hide();
             writeConfirmed();
             MainParams->WriteConfirmed(link_.CurInquiry.Reg);
         }},
        {20, [this](const Response &r) { GroupBoxNetSchKp->SaveFinished(r); }},
        {21, [this](const Response &r) { GroupBoxNetSchKp->SaveStepConfirmed(r); }},
        {22, [this](const Response &r) { GroupBoxNetSchKp->SaveStepConfirmed(r); }},
        {23, [this](const Response &r) { GroupBoxNetSchKp->SaveStepConfirmed(r); }},
        {24, [this](const Response &r) { GroupBoxNetSchKp->SaveStepConfirmed(r); }},
        {26, [this](const Response &r) { GroupBoxNetSchKp->SaveStepConfirmed(r); }},
        {27, [this](const Response &r) { Metrology->RatiosRead(r); }},
        {28, [this](const Response &r) { GroupBoxNetSchKp->ShowRatiosRead(r); }},
        {30, [this](const Response &r) { GroupBoxNetSchKp->ShowCurrMethod(r); }},
        {29, [this](const Response &r) { Metrology->SchemeStartRead(r); }},
        {31, [this](const Response &r) { GroupBoxNetSchKp->ShowScheme(r); }},
        {32, [this](const Response &r) { Metrology->MeasureRead(r); }},
        {33, [this](const Response &r) { CurrentOuts->StartCurrCycle(r); }},
        {35, [this](const Response &r) { CurrentOuts->RefreshCurrLimits(r); }},
        {36, [this](const Response &r) { CurrentOuts->CurrWriteConfirmed(r); }},
        {40, [this](const Response &r) { Metrology->CalibCmdWritten(r); }},
    };
    for (const auto &[tag, handler] : table)
        link_.setHandler(tag, handler);
}

void MainWindow::writeConfirmed()
{
    platform_.messages.show(QStringLiteral("Информация записана "));
    link_.WritePending = false;
    services_.enableCalibControls(true);
}

void MainWindow::FormCreate()
{
    move(100, 50);
    setWindowTitle(caption());
    PageControl1->setTabVisible(PageEnergy, false);
    TStuning->PageControlSetAllParam->setTabVisible(TStuning->PageControlSetAllParam->indexOf(TStuning->TSSetTime),
                                                    false);
    LoadSkin();
    {
        const QSignalBlocker quiet(PageControl1);
        PageControl1->setCurrentIndex(PageMeasure);
    }
    PageControl1Change();
    link_.AutoReading = false;
    link_.CntNoAnsw = link_.CntErrCRC = link_.CntAllEnquiry = 0;
    link_.NetActive = link_.CurrActive = false;
    link_.StepRetry = 0;
    link_.ChanListening = false;
    link_.InitPresetRecords();
    TStuning->PageControl2or3Elem->setTabVisible(TStuning->PageControl2or3Elem->indexOf(TStuning->TabSheet3), true);
    TStuning->PageControl2or3Elem->setTabVisible(TStuning->PageControl2or3Elem->indexOf(TStuning->TabSheet4), false);
    TStuning->PageControl2or3Elem->hide();
    ApdStatusLight1->hide();
    ApdStatusLight2->hide();
    TS_Tavro->ApdStatusLight3->setLit(false);
    link_.WritePending = false;
    services_.enableCalibControls(true);
    TimerChanInfo->start();
    TimerClock->start();
}

void MainWindow::PageControl1Change()
{
    link_.ChanListening = false;
    const int page = PageControl1->currentIndex();
    connection_->channelPageActive = link_.channelPageActive = page == PageChannel;
    switch (page) {
    case PageMeasure:
    case PageSettings:
        connection_->LoadPortSettings();
        break;
    case PageExtDev:
        connection_->LoadPortNumber();
        for (int line = 0; line < 3; ++line)
            Display->ControlITEUst(line, true);
        break;
    case PageChannel:
        if (connection_->LoadPortNumber() && link_.FlushPort()) {
            link_.ChanListening = true;
            TimerChanInfo->start();
        }
        break;
    default:
        break;
    }
    if (link_.NetActive)
        Metrology->BitBtnSetNetClick();
    if (!TS_Tavro->Edit1->isEnabled())
        TS_Tavro->StopPolling();
    PageControlSetAllParamChange();
}

void MainWindow::PageControlSetAllParamChange()
{
    if (link_.NetActive)
        Metrology->BitBtnSetNetClick();
    if (link_.CurrActive)
        CurrentOuts->sBitBtnSetCurrClick();
    GroupBoxNetSchKp->ApplyCurrentMethodRule();
}

void MainWindow::ShowStatus(const QString &text)
{
    StatusPanel1->setText(text);
    TimerMess->start();
}

void MainWindow::LoadSkin()
{
    const QString name = platform_.settings.skinName();
    if (!ApplySkin(name))
        ApplySkin(QStringLiteral("Neutral (internal)"));
}

void MainWindow::SetSkin(const QString &name)
{
    if (name.isEmpty()) {
        platform_.messages.show(QStringLiteral("Ошибка при изменении внешнего вида"));
        return;
    }
    ApplySkin(name);
    platform_.settings.setSkinName(name);
}

void MainWindow::sBitBtn1Click()
{
    if (sComboBoxSkin->isVisible()) {
        sComboBoxSkin->hide();
        return;
    }
    sComboBoxSkin->setCurrentText(CurrentSkin());
    sComboBoxSkin->show();
}

void MainWindow::sComboBoxSkinChange()
{
    sComboBoxSkin->hide();
    SetSkin(sComboBoxSkin->currentText());
}

// ---- the moments of an exchange -------------------------------------------------------------

void MainWindow::inquirySent()
{
    TS_Tavro->AutoReadingStep();
}

void MainWindow::portFailed()
{
    TS_Tavro->BitBtnStart->setEnabled(true);
}

void MainWindow::statisticsChanged()
{
    TS_Tavro->ShowStatistics();
}

void MainWindow::status(const QString &text)
{
    ShowStatus(text);
}

void MainWindow::answerComplete()
{
    TS_Tavro->BitBtnStart->setEnabled(true);
    MainParams->BitBtnMainParam->setEnabled(true);
    TS_ExtDev->BitBtnRead->setEnabled(true);
}

void MainWindow::crcFailed()
{
    TS_Tavro->Values->ClearMeasured();
}

void MainWindow::crcPassed()
{
    Display->EnableSaveButtons();
    ApdStatusLight1->show();
    ApdStatusLight1->setLit(true);
    ApdStatusLight2->show();
    ApdStatusLight2->setLit(true);
    TS_Tavro->ApdStatusLight3->setColor(Qt::green);
    TS_Tavro->ApdStatusLight3->setLit(true);
    TS_Tavro->ExchangeEnded();
}

void MainWindow::exceptionAnswer()
{
    services_.enableCalibControls(true);
    GroupBoxNetSchKp->EnableSchKp(true);
    sProgressBarSchKp->hide();
    ApdStatusLight1->hide();
}

void MainWindow::succeeded()
{
    ApdStatusLight1->hide();
    ApdStatusLight2->hide();
    TS_Tavro->ApdStatusLight3->setLit(false);
}

void MainWindow::timedOut()
{
    TS_Tavro->Values->ClearMeasured();
    TS_Tavro->BitBtnStart->setEnabled(true);
    TS_ExtDev->BitBtnRead->setEnabled(true);
    MainParams->BitBtnMainParam->setEnabled(true);
    TS_Tavro->ApdStatusLight3->setColor(Qt::red);
    TS_Tavro->ApdStatusLight3->setLit(false);
    Display->EnableSaveButtons();
    services_.enableCalibControls(true);
    if (!link_.NetActive)
        GroupBoxNetSchKp->EnableSchKp(true);
    sProgressBarSchKp->hide();
    TS_Tavro->ExchangeEnded();
}

void MainWindow::flushFailedOnChannelPage()
{
    PageControl1->setCurrentIndex(PageMeasure);
}

void MainWindow::runnerGaveUp()
{
    Metrology->StopSetNet();
    CurrentOuts->StopSetCurr(); // sends 0 to the output mode whether the cycle runs or not
}

void MainWindow::runnerSent(bool write)
{
    for (StatusLamp *lamp : {ApdStatusLight1, ApdStatusLight2}) {
        lamp->show();
        lamp->setLit(true);
        lamp->setColor(write ? Qt::blue : Qt::green);
    }
}

void MainWindow::channelFrame(const std::uint8_t *frame)
{
    if (!frame) {
        ShowStatus(QStringLiteral("  Ошибка контрольной суммы !"));
    } else {
        TimerChanInfo->stop();
    }
    TimerChanInfo->start();
}
