#include "scheme_ratios.h"

#include "conversion.h"
#include "guard.h"
#include "rated_voltage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

#include <cmath>
#include <limits>
#include <optional>

using tavro::ConversionError;

namespace {

// The instrument keeps the primary values 1.3 times the nominal ones; the screen shows nominal.
constexpr double kInverse13 = 0.7692307692307692;
constexpr double kSqrt3 = 1.7321;
constexpr int kSaveTickMs = 100;
constexpr int kRunnerTickMs = 1000;
constexpr int kLongAnswerTimeoutMs = 5000;

constexpr std::uint16_t kSchemeReg = 528;
constexpr std::uint16_t kCurrMethodReg = 546;
constexpr std::uint16_t kStoreCommandReg = 767;

constexpr std::uint8_t kTagCurrMethodRead = 30;

QComboBox *newList(const char *name, const QStringList &items, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    return box;
}

// An editable list whose text the user types; typing must reach the edit rules as typed, so no
// inline completion and no items added on Enter.
QComboBox *newRatioList(const char *name, const QStringList &items, const QString &text, QWidget *parent)
{
    QComboBox *box = newList(name, items, parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setEditText(text);
    box->setMinimumWidth(140);
    return box;
}

QGroupBox *newGroup(const char *name, const QString &caption, QWidget *parent)
{
    auto *group = new QGroupBox(caption, parent);
    group->setObjectName(QString::fromLatin1(name));
    return group;
}

// The number a ratio text holds, if it holds one.
std::optional<double> numberIn(const QString &text)
{
    try {
        const double v = tavro::StrToFloat(text);
        if (!std::isnan(v))
            return v;
    } catch (const ConversionError &) {
    }
    return std::nullopt;
}

} // namespace

SchemeRatiosArea::SchemeRatiosArea(SheetServices &services, tavro::Timer &timerSaveMaxVal,
                                   QTabWidget *pageControl2or3Elem, QWidget *tabSheet3, QWidget *tabSheet4,
                                   QWidget *parent)
    : QGroupBox(parent), GroupBoxNetSchKp(this), services_(services), timerSaveMaxVal_(timerSaveMaxVal),
      pageControl2or3Elem_(pageControl2or3Elem), tabSheet3_(tabSheet3), tabSheet4_(tabSheet4)
{
    setObjectName(QStringLiteral("GroupBoxNetSchKp"));

    QGroupBox *scheme = newGroup("GroupBoxSetSch", QStringLiteral("Схема подключения"), this);
    ComboBoxSetSch = newList("ComboBoxSetSch", {QStringLiteral("трехпроводная"), QStringLiteral("четырехпроводная")}, scheme);
    (new QHBoxLayout(scheme))->addWidget(ComboBoxSetSch);

    QGroupBox *method = newGroup("GroupBoxCurrMeasure", QStringLiteral("Метод получения значения тока B"), this);
    ComboBoxCurrMeasure = newList("ComboBoxCurrMeasure", {QStringLiteral("измерительный"), QStringLiteral("рассчетный")}, method);
    (new QHBoxLayout(method))->addWidget(ComboBoxCurrMeasure);

    QGroupBox *voltage = newGroup("GroupBoxMaxValU", QStringLiteral("Коефф. преобразования напряжения"), this);
    ComboBoxMaxValU = newRatioList("ComboBoxMaxValU", tavro::RatedVoltages() + QStringList{QString()},
                                   QStringLiteral("100"), voltage);
    ComboBoxMaxValU_ = newRatioList("ComboBoxMaxValU_", {QStringLiteral("100")}, QStringLiteral("100"), voltage);
    auto *voltageRow = new QHBoxLayout(voltage);
    voltageRow->addWidget(ComboBoxMaxValU);
    voltageRow->addWidget(new QLabel(QStringLiteral("/"), voltage));
    voltageRow->addWidget(ComboBoxMaxValU_);
    voltageRow->addWidget(new QLabel(QStringLiteral(", B"), voltage));
    voltageRow->addStretch();

    QGroupBox *current = newGroup("GroupBoxMaxValI", QStringLiteral("Коефф. преобразования тока"), this);
    QStringList primaryCurrents;
    for (const char *a : {"1", "5", "50", "60", "75", "100", "150", "200", "250", "300", "400", "500", "600", "750",
                          "1000", "1500", "2000", "2500", "3000", "4000", "5000", "6000", "7500", "10000"})
        primaryCurrents << QString::fromLatin1(a);
    ComboBoxMaxValI = newRatioList("ComboBoxMaxValI", primaryCurrents, QStringLiteral("5"), current);
    ComboBoxMaxValI_ = newRatioList("ComboBoxMaxValI_", {QStringLiteral("1"), QStringLiteral("5")}, QStringLiteral("5"), current);
    auto *currentRow = new QHBoxLayout(current);
    currentRow->addWidget(ComboBoxMaxValI);
    currentRow->addWidget(new QLabel(QStringLiteral(", A"), current));
    currentRow->addWidget(new QLabel(QStringLiteral("/"), current));
    currentRow->addWidget(ComboBoxMaxValI_);
    currentRow->addWidget(new QLabel(QStringLiteral(", A"), current));
    currentRow->addStretch();

    BitBtnReadSchKp = new QPushButton(QStringLiteral("Прочитать  "), this);
    BitBtnReadSchKp->setObjectName(QStringLiteral("BitBtnReadSchKp"));
    BitBtnSaveSchKp = new QPushButton(QStringLiteral("Записать  "), this);
    BitBtnSaveSchKp->setObjectName(QStringLiteral("BitBtnSaveSchKp"));
    for (QPushButton *button : {BitBtnReadSchKp, BitBtnSaveSchKp})
        button->setMinimumSize(140, 32);
    for (QComboBox *list : {ComboBoxSetSch, ComboBoxCurrMeasure})
        list->setMinimumWidth(250);

    auto *grid = new QGridLayout(this);
    grid->addWidget(scheme, 0, 0);
    grid->addWidget(method, 1, 0);
    grid->addWidget(voltage, 0, 1);
    grid->addWidget(current, 1, 1);
    grid->addWidget(BitBtnReadSchKp, 0, 2, Qt::AlignVCenter);
    grid->addWidget(BitBtnSaveSchKp, 1, 2, Qt::AlignVCenter);
    grid->setColumnStretch(1, 1);

    tavro::MessageSink &messages = services_.messages;
    connect(BitBtnReadSchKp, &QPushButton::clicked, this, tavro::Guarded(messages, [this] { BitBtnReadSchKpClick(); }));
    connect(BitBtnSaveSchKp, &QPushButton::clicked, this, tavro::Guarded(messages, [this] { BitBtnSaveSchKpClick(); }));
    timerSaveMaxVal_.setInterval(kSaveTickMs);
    connect(&timerSaveMaxVal_, &tavro::Timer::timeout, this, tavro::Guarded(messages, [this] { TimerSaveMaxValTimer(); }));
    // The user's choices only: the handlers that set these lists themselves must not run the rules.
    for (QComboBox *list : {ComboBoxSetSch, ComboBoxCurrMeasure})
        connect(list, &QComboBox::activated, this, tavro::Guarded(messages, [this] { ComboBoxSetSchChange(); }));
    auto bindRule = [&](QComboBox *box, void (SchemeRatiosArea::*rule)()) {
        auto slot = tavro::Guarded(messages, [this, rule] { (this->*rule)(); });
        connect(box->lineEdit(), &QLineEdit::textEdited, this, slot);
        connect(box, &QComboBox::activated, this, slot);
    };
    bindRule(ComboBoxMaxValU, &SchemeRatiosArea::ComboBoxMaxValUChange);
    bindRule(ComboBoxMaxValI, &SchemeRatiosArea::ComboBoxMaxValIChange);

    // Start state: three-wire, measured current, the four-wire panel's tab the visible one.
    EnableSchKp(true);
    ComboBoxSetSch->setCurrentIndex(0);
    ComboBoxCurrMeasure->setCurrentIndex(0);
    if (pageControl2or3Elem_) {
        pageControl2or3Elem_->setTabVisible(pageControl2or3Elem_->indexOf(tabSheet3_), true);
        pageControl2or3Elem_->setTabVisible(pageControl2or3Elem_->indexOf(tabSheet4_), false);
    }
}

// ---- reading ----------------------------------------------------------------------------------

void SchemeRatiosArea::BitBtnReadSchKpClick()
{
    tavro::Link &link = services_.link;
    // A logical number that is not one stops the read before the texts are emptied.
    link.InqSchemeRead.Addr = services_.settingsLogicalNumber();
    ComboBoxMaxValU->setEditText(QString());
    ComboBoxMaxValU_->setEditText(QString());
    link.SendInquiryRead03(link.InqSchemeRead);
}

void SchemeRatiosArea::ShowScheme(const tavro::Response &answer)
{
    ThreeWire = tavro::RegToWord(answer.data(), 0) != 0;
    ComboBoxSetSch->setCurrentIndex(ThreeWire ? 0 : 1);
    FillRatedVoltages();
    tavro::Link &link = services_.link;
    link.InqCurrMethod.Tag = kTagCurrMethodRead;
    link.StepInquiry = &link.InqCurrMethod;
    link.TimerSetAuto->setInterval(kRunnerTickMs);
    link.TimerSetAuto->start();
}

void SchemeRatiosArea::ShowCurrMethod(const tavro::Response &answer)
{
    const std::uint16_t w = tavro::RegToWord(answer.data(), 0);
    // A method the list does not know leaves it without a selection.
    ComboBoxCurrMeasure->setCurrentIndex(w < ComboBoxCurrMeasure->count() ? int(w) : -1);
    ApplyCurrentMethodRule();
    services_.link.StepInquiry = &services_.link.InqRatioReread;
}

void SchemeRatiosArea::ShowRatiosRead(const tavro::Response &answer)
{
    ShowRatios(answer);
    CalcNominalPower();
    services_.link.TimerSetAuto->stop();
}

void SchemeRatiosArea::ShowRatios(const tavro::Response &answer)
{
    const tavro::RegisterData data = answer.data();
    bool noData = false; // no data reads as 0, which is what the fields then show
    UMax = tavro::RegToFloat(data, 0, noData);
    UMaxLine = UMax;
    ComboBoxMaxValU->setEditText(tavro::FixedText(double(UMax) * kInverse13, 0));
    USec = tavro::RegToFloat(data, 1, noData);
    ComboBoxMaxValU_->setEditText(tavro::FixedText(USec, 0));
    IMax = tavro::RegToFloat(data, 2, noData);
    ComboBoxMaxValI->setEditText(tavro::FixedText(double(IMax) * kInverse13, 1));
    ISec = tavro::RegToFloat(data, 3, noData);
    ComboBoxMaxValI_->setEditText(tavro::FixedText(ISec, 1));
}

void SchemeRatiosArea::CalcNominalPower()
{
    PPhaseMax = float(double(UMax) * double(IMax) * kInverse13);
    if (ThreeWire) {
        const float line = float(double(PPhaseMax) * kInverse13);
        PTotalMax = float(double(line) * kSqrt3 * 1.3);
    } else {
        PTotalMax = float(double(PPhaseMax) * 3);
    }
}

// ---- writing ----------------------------------------------------------------------------------

void SchemeRatiosArea::BitBtnSaveSchKpClick()
{
    services_.showStatus(QStringLiteral("  Запись схемы подключения"));
    showProgress(0);
    try {
        if (!ControlInfoCombo(ComboBoxSetSch, services_.messages)) {
            stopSaveSequence();
            return;
        }
        // Written as the list index: 0 three-wire, 1 four-wire.
        sendWrite06(services_.link.CurInquiry, kSchemeReg, std::uint16_t(ComboBoxSetSch->currentIndex()), 11);
    } catch (...) {
        stopSaveSequence();
        throw;
    }
}

void SchemeRatiosArea::TimerSaveMaxValTimer()
{
    timerSaveMaxVal_.stop();
    tavro::Link &link = services_.link;
    try {
        switch (SaveStep) {
        case 26:
            showProgress(10);
            if (!ControlInfoCombo(ComboBoxCurrMeasure, services_.messages)) {
                stopSaveSequence();
                return;
            }
            sendWrite06(link.InqCurrMethod, kCurrMethodReg, std::uint16_t(ComboBoxCurrMeasure->currentIndex()), 26);
            break;
        case 21:
            sendRatio(2048, 21, ComboBoxMaxValU, 20, QStringLiteral("  Запись значения напряжения трансформатора напряжения"));
            break;
        case 22:
            sendRatio(2052, 22, ComboBoxMaxValU_, 40, QStringLiteral("  Запись значения входного напряжения"));
            break;
        case 23:
            sendRatio(2056, 23, ComboBoxMaxValI, 60, QStringLiteral("  Запись значения тока трансформатора тока"));
            break;
        case 24:
            sendRatio(2060, 24, ComboBoxMaxValI_, 80, QStringLiteral("  Запись значение входного тока"));
            break;
        case 20:
            showProgress(99);
            sendWrite06(link.InqCalibCmd, kStoreCommandReg, 0, 20);
            break;
        default:
            break;
        }
    } catch (...) {
        stopSaveSequence();
        throw;
    }
}

void SchemeRatiosArea::SaveStepConfirmed(const tavro::Response &)
{
    int next = 0;
    switch (services_.link.SentTag) {
    case 11: next = 26; break;
    case 26: next = 21; break;
    case 21: next = 22; break;
    case 22: next = 23; break;
    case 23: next = 24; break;
    case 24: next = 20; break;
    default: return;
    }
    SaveStep = next;
    timerSaveMaxVal_.start();
}

void SchemeRatiosArea::SaveFinished(const tavro::Response &)
{
    timerSaveMaxVal_.stop();
    SaveStep = 0;
    if (services_.progress)
        services_.progress->setValue(100);
    services_.clock.wait(100);
    EnableSchKp(true);
    if (services_.progress)
        services_.progress->hide();
    services_.messages.show(QStringLiteral("Информация записана "));
}

void SchemeRatiosArea::sendWrite06(tavro::TInquiry &inq, std::uint16_t reg, std::uint16_t value, std::uint8_t tag)
{
    // Only the fields of the write: InqCurrMethod keeps its read length for the next reading.
    inq.Addr = services_.settingsLogicalNumber();
    inq.Reg = reg;
    inq.Value = value;
    inq.Tag = tag;
    if (!services_.link.SendInquiryWrite06(inq)) {
        stopSaveSequence();
        return;
    }
    // The instrument stores these slowly. Lengthened once the frame is out, so a send that never
    // happened leaves the time-out of other exchanges alone.
    services_.link.TimerWaitAnsw->setInterval(kLongAnswerTimeoutMs);
}

void SchemeRatiosArea::sendRatio(std::uint16_t reg, std::uint8_t tag, QComboBox *box, int progress,
                                 const QString &status)
{
    showProgress(progress);
    services_.showStatus(status);
    tavro::TInquiry &inq = services_.link.InqRatioWrite;
    inq.Reg = reg;
    inq.Tag = tag;
    inq.FValue = tavro::TextToSingle(box->currentText()); // as typed: the primary is not multiplied by 1.3
    if (!services_.link.SendInquiryWrite16Float(inq))
        stopSaveSequence();
}

void SchemeRatiosArea::showProgress(int value)
{
    if (!services_.progress)
        return;
    services_.progress->setValue(value);
    services_.progress->show();
}

// A step that cannot be sent ends the sequence and gives the area back; the bar must not stay.
void SchemeRatiosArea::stopSaveSequence()
{
    timerSaveMaxVal_.stop();
    SaveStep = 0;
    if (services_.progress)
        services_.progress->hide();
    EnableSchKp(true);
}

// ---- helpers and edit rules -------------------------------------------------------------------

void SchemeRatiosArea::EnableSchKp(bool enabled)
{
    GroupBoxNetSchKp->setEnabled(enabled);
    BitBtnSaveSchKp->setEnabled(enabled);
    BitBtnReadSchKp->setEnabled(enabled);
}

bool SchemeRatiosArea::fourWireShown() const
{
    return ComboBoxSetSch->currentIndex() == 1;
}

void SchemeRatiosArea::ShowSchemePages()
{
    if (pageControl2or3Elem_) {
        pageControl2or3Elem_->setTabVisible(pageControl2or3Elem_->indexOf(tabSheet3_), fourWireShown());
        pageControl2or3Elem_->setTabVisible(pageControl2or3Elem_->indexOf(tabSheet4_), !fourWireShown());
    }
    const QString primary = ComboBoxMaxValU->currentText();
    const bool nothingRead = primary.trimmed().isEmpty();
    // A text that holds no number is left as the user typed it.
    auto snap = [&](QComboBox *box, double limit) {
        double v = 0;
        if (!nothingRead) {
            const std::optional<double> n = numberIn(box->currentText());
            if (!n)
                return;
            v = std::fmin(*n, limit);
        }
        box->setEditText(tavro::SnapRatedVoltage(v, primary));
    };
    snap(ComboBoxMaxValU, kMaxPrimaryVoltage);
    snap(ComboBoxMaxValU_, std::numeric_limits<double>::infinity());
}

void SchemeRatiosArea::FillRatedVoltages()
{
    const QString text = ComboBoxMaxValU->currentText();
    ComboBoxMaxValU->clear();
    ComboBoxMaxValU->addItems(tavro::RatedVoltages());
    ComboBoxMaxValU->setEditText(text);
}

void SchemeRatiosArea::ComboBoxSetSchChange()
{
    // The scheme's consequences happen whatever the voltage texts hold; a bad text is reported after.
    std::optional<QString> error;
    for (QComboBox *box : {ComboBoxMaxValU, ComboBoxMaxValU_}) {
        const QString text = box->currentText();
        if (text.trimmed().isEmpty())
            continue; // nothing read yet: the snapping below shows the rated default
        try {
            box->setEditText(tavro::GeneralText(tavro::TextToSingle(text)));
        } catch (const ConversionError &e) {
            if (!error)
                error = e.text();
        }
    }
    ShowSchemePages();
    ApplyCurrentMethodRule();
    if (error)
        throw ConversionError(*error);
}

void SchemeRatiosArea::limitRatioText(QComboBox *box, float limit)
{
    const QString text = box->currentText();
    const QString limited = tavro::GeneralText(tavro::LimitedSingle(text, limit));
    if (limited != text) // rewriting the same text would only move the cursor
        box->setEditText(limited);
}

void SchemeRatiosArea::ComboBoxMaxValUChange()
{
    limitRatioText(ComboBoxMaxValU, kMaxPrimaryVoltage);
}

void SchemeRatiosArea::ComboBoxMaxValIChange()
{
    limitRatioText(ComboBoxMaxValI, kMaxPrimaryCurrent);
}

void SchemeRatiosArea::ApplyCurrentMethodRule()
{
    if (fourWireShown()) {
        ComboBoxCurrMeasure->setCurrentIndex(0);
        ComboBoxCurrMeasure->setEnabled(false);
    } else {
        ComboBoxCurrMeasure->setEnabled(true);
    }
}
