#include "measure_page.h"

#include "connection_strip.h"
#include "conversion.h"
#include "link.h"
#include "measured_values_panel.h"
#include "status_lamp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace tavro;

namespace {

const QString kReadCaption = QStringLiteral("     Читать");
const QString kStopCaption = QStringLiteral("     Стoп"); // the o is Latin, as the instrument's users know it
constexpr int kMaxPollPeriodMs = 60000;

template <class W> W *named(W *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLabel *valueLabel(const char *name)
{
    auto *l = named(new QLabel, name);
    l->setMinimumWidth(70);
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    return l;
}

} // namespace

MeasurePage::MeasurePage(Link &link, Timer &timerAuto, QWidget *parent)
    : QWidget(parent), link_(link), timerAuto_(timerAuto)
{
    setObjectName(QStringLiteral("TS_Tavro"));

    GroupBoxLink = named(new QGroupBox(QStringLiteral("Связь")), "GroupBoxLink");
    ComboBoxPort1 = NewPortSelector("ComboBoxPort1");
    ComboBoxBaud1 = NewSpeedSelector("ComboBoxBaud1");
    StaticTextParity1 = named(new QLabel(QStringLiteral("отключен")), "StaticTextParity1");
    Edit1 = named(new QLineEdit(QStringLiteral("1")), "Edit1");
    auto *linkForm = new QFormLayout(GroupBoxLink);
    linkForm->addRow(QStringLiteral("Порт:"), ComboBoxPort1);
    linkForm->addRow(QStringLiteral("Скорость:"), ComboBoxBaud1);
    linkForm->addRow(QStringLiteral("Паритет:"), StaticTextParity1);
    linkForm->addRow(QStringLiteral("Логический номер:"), Edit1);

    GroupBoxPoll = named(new QGroupBox(QStringLiteral("Опрос")), "GroupBoxPoll");
    EditAuto = named(new QLineEdit(QStringLiteral("100")), "EditAuto");
    CheckBoxAuto = named(new QCheckBox(QStringLiteral("Авто опрос")), "CheckBoxAuto");
    BitBtnStart = named(new QPushButton(kReadCaption), "BitBtnStart");
    BitBtnStart->setMinimumHeight(34);
    ButtonStatClear = named(new QPushButton(QStringLiteral("Сброс")), "ButtonStatClear");
    StaticTextTimeMeasure = valueLabel("StaticTextTimeMeasure");
    StaticTextMax = valueLabel("StaticTextMax");
    StaticTextNoAnsw = valueLabel("StaticTextNoAnsw");
    StaticTextErrCRC = valueLabel("StaticTextErrCRC");
    StaticTextAllEnquiry = valueLabel("StaticTextAllEnquiry");
    ApdStatusLight3 = named(new StatusLamp, "ApdStatusLight3");

    auto *poll = new QGridLayout(GroupBoxPoll);
    int row = 0;
    poll->addWidget(new QLabel(QStringLiteral("Период, мс")), row, 0);
    poll->addWidget(EditAuto, row++, 1);
    poll->addWidget(CheckBoxAuto, row, 0);
    poll->addWidget(ApdStatusLight3, row++, 1, Qt::AlignRight);
    poll->addWidget(BitBtnStart, row++, 0, 1, 2);
    poll->addWidget(new QLabel(QStringLiteral("Время ответа:")), row, 0);
    poll->addWidget(StaticTextTimeMeasure, row++, 1);
    poll->addWidget(new QLabel(QStringLiteral("max =")), row, 0);
    poll->addWidget(StaticTextMax, row++, 1);
    poll->addWidget(new QLabel(QStringLiteral("Нет ответа")), row, 0);
    poll->addWidget(StaticTextNoAnsw, row++, 1);
    poll->addWidget(new QLabel(QStringLiteral("Ошибка CRC")), row, 0);
    poll->addWidget(StaticTextErrCRC, row++, 1);
    poll->addWidget(new QLabel(QStringLiteral("Всего запросов:")), row, 0);
    poll->addWidget(StaticTextAllEnquiry, row++, 1);
    poll->addWidget(ButtonStatClear, row++, 0, 1, 2);

    auto *left = new QVBoxLayout;
    left->addWidget(GroupBoxLink);
    left->addWidget(GroupBoxPoll);
    left->addStretch();

    Values = new MeasuredValuesPanel;
    auto *columns = new QHBoxLayout(this);
    auto *leftHost = new QWidget;
    leftHost->setLayout(left);
    leftHost->setFixedWidth(250);
    columns->addWidget(leftHost);
    columns->addWidget(Values, 1);

    connect(&timerAuto_, &Timer::timeout, this, &MeasurePage::TimerAutoTimer);
}

void MeasurePage::BitBtnStartClick()
{
    if (link_.AutoReading) {
        StopPolling();
        return;
    }
    const int logicalNumber = StrToInt(Edit1->text());
    ApdStatusLight3->setColor(Qt::green);
    ApdStatusLight3->setLit(true);
    if (CheckBoxAuto->isChecked()) {
        link_.AutoReading = true;
        BitBtnStart->setText(kStopCaption);
        CheckBoxAuto->setEnabled(false);
        if (exitButton_)
            exitButton_->setEnabled(false);
        ApdStatusLight3->setLit(false);
        Edit1->setEnabled(false);
    } else {
        BitBtnStart->setEnabled(false);
    }
    TInquiry &inq = link_.CurInquiry;
    inq.Addr = std::uint16_t(logicalNumber);
    inq.Reg = 0;
    inq.Count = 62;
    inq.AnswLen = 129;
    inq.Tag = 0;
    link_.SendInquiry(inq);
}

void MeasurePage::StopPolling()
{
    CheckBoxAuto->setChecked(false);
    link_.AutoReading = false;
    restingForAnswer_ = false;
    BitBtnStart->setText(kReadCaption);
    timerAuto_.stop();
    CheckBoxAuto->setEnabled(true);
    if (exitButton_)
        exitButton_->setEnabled(true);
    ApdStatusLight3->setLit(false);
    Edit1->setEnabled(true);
}

void MeasurePage::TimerAutoTimer()
{
    if (!CheckBoxAuto->isChecked())
        return;
    Edit1->setEnabled(false);
    ApdStatusLight3->setLit(true);
    if (!link_.WaitAnsw) { // never two requests on the line
        link_.SendInquiry(link_.CurInquiry);
        return;
    }
    // Ticks during an exchange would do nothing: rest until it ends (ExchangeEnded), which keeps a
    // short period from costing the processor a wake-up every millisecond.
    timerAuto_.stop();
    restingForAnswer_ = true;
}

void MeasurePage::ExchangeEnded()
{
    if (!restingForAnswer_)
        return;
    restingForAnswer_ = false;
    if (CheckBoxAuto->isChecked())
        timerAuto_.start();
}

void MeasurePage::AutoReadingStep()
{
    if (!CheckBoxAuto->isChecked())
        return;
    Edit1->setEnabled(false);
    bool ok = false;
    const qlonglong typed = EditAuto->text().trimmed().toLongLong(&ok);
    int period = timerAuto_.interval(); // a period that is not a number keeps the one in use
    if (ok) {
        period = int(std::uint16_t(typed)); // the field holds a 16-bit period, as on the instrument's side
        if (period > kMaxPollPeriodMs) {
            period = kMaxPollPeriodMs;
            EditAuto->setText(QString::number(kMaxPollPeriodMs));
        }
    } else {
        EditAuto->clear();
    }
    timerAuto_.setInterval(period);
    timerAuto_.start();
}

void MeasurePage::ButtonStatClearClick()
{
    link_.ButtonStatClear();
    shownAll_ = shownNoAnsw_ = shownErrCrc_ = 0;
    StaticTextNoAnsw->clear();
    StaticTextErrCRC->clear();
    StaticTextAllEnquiry->clear();
}

void MeasurePage::ShowStatistics()
{
    auto show = [](QLabel *label, int value, int &shown) {
        if (value != shown) {
            shown = value;
            label->setText(QString::number(value));
        }
    };
    show(StaticTextAllEnquiry, link_.CntAllEnquiry, shownAll_);
    show(StaticTextNoAnsw, link_.CntNoAnsw, shownNoAnsw_);
    show(StaticTextErrCRC, link_.CntErrCRC, shownErrCrc_);
    if (link_.LastAnswSec >= 0)
        StaticTextTimeMeasure->setText(QStringLiteral("%1c %2mc").arg(link_.LastAnswSec).arg(link_.LastAnswMs));
    if (link_.MaxAnswMs > shownMax_) {
        shownMax_ = link_.MaxAnswMs;
        StaticTextMax->setText(QStringLiteral("%1mc").arg(link_.MaxAnswMs));
    } else if (link_.MaxAnswMs == 0) {
        shownMax_ = 0; // reset by "Сброс": the label keeps its text until a new maximum
    }
}
