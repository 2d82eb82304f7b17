#include "current_outputs_sheet.h"

#include "conversion.h"
#include "guard.h"
#include "status_lamp.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr std::uint16_t kRegMode = 766;     // the limit being adjusted, 0 for none
constexpr std::uint16_t kRegVariant = 530;  // hardware variant as written
constexpr std::uint16_t kRegAdjustUp = 642;
constexpr std::uint16_t kRegAdjustDown = 643;
constexpr std::uint16_t kRegStore = 767;
constexpr std::uint16_t kRegMeasured = 1920; // + 12 per limit + 4 per output
constexpr std::uint8_t kTagSingleWrite = 19;
constexpr int kConfirmPauseMs = 1000;
constexpr int kAdjustAnswerTimeoutMs = 5000;
constexpr int kRunnerAfterWriteMs = 2000;
constexpr int kRunnerBeforeStoreMs = 3000;
constexpr int kStepCodeUpper = 3;
constexpr int kStepCodeTens = 10;
constexpr int kStepCodeHundreds = 20;

const QString kStart = QStringLiteral("   Старт");
const QString kStop = QStringLiteral("   Стоп");

// Texts of the three measured-value fields for each variant, by limit (upper, middle, lower).
const QString kLimitTexts[2][3] = {
    {QStringLiteral("5.0"), QStringLiteral("0.0"), QStringLiteral("-5.0")},
    {QStringLiteral("20.0"), QStringLiteral("12.0"), QStringLiteral("4.0")},
};

QPushButton *NewButton(const QString &caption, const QString &objectName)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(objectName);
    return button;
}

} // namespace

// ---- small controls -----------------------------------------------------------------------------

LimitRadioGroup::LimitRadioGroup(const QString &title, const QStringList &items, int initialIndex, QWidget *parent)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this))
{
    auto *column = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto *radio = new QRadioButton(items[i]);
        buttons_->addButton(radio, i);
        column->addWidget(radio);
    }
    if (QAbstractButton *initial = buttons_->button(initialIndex))
        initial->setChecked(true);
    connect(buttons_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            emit clicked();
    });
}

int LimitRadioGroup::itemIndex() const
{
    return buttons_->checkedId();
}

void LimitRadioGroup::setItemIndex(int index)
{
    if (QAbstractButton *b = buttons_->button(index))
        b->setChecked(true);
}

QRadioButton *LimitRadioGroup::button(int index) const
{
    return static_cast<QRadioButton *>(buttons_->button(index));
}

AdjustUpDown::AdjustUpDown(QWidget *parent) : QWidget(parent)
{
    upButton = new QToolButton;
    upButton->setArrowType(Qt::UpArrow);
    upButton->setObjectName(QStringLiteral("up"));
    downButton = new QToolButton;
    downButton->setArrowType(Qt::DownArrow);
    downButton->setObjectName(QStringLiteral("down"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(upButton);
    column->addWidget(downButton);
    connect(upButton, &QToolButton::clicked, this, [this] { press(true); });
    connect(downButton, &QToolButton::clicked, this, [this] { press(false); });
}

void AdjustUpDown::setPosition(int position)
{
    position_ = std::clamp(position, kMin, kMax);
}

void AdjustUpDown::press(bool up)
{
    setPosition(position_ + (up ? 1 : -1));
    emit clicked(up);
}

DecimalSpinEdit::DecimalSpinEdit(QWidget *parent) : QAbstractSpinBox(parent)
{
    QFont digits(QStringLiteral("Monospace"));
    digits.setStyleHint(QFont::TypeWriter);
    digits.setPointSize(16);
    digits.setBold(true);
    setFont(digits);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setText(QStringLiteral("0,000"));
}

void DecimalSpinEdit::setText(const QString &text)
{
    lineEdit()->setText(text);
}

void DecimalSpinEdit::stepBy(int steps)
{
    double value = 0;
    try {
        value = tavro::StrToFloat(text());
    } catch (const tavro::ConversionError &) {
        return; // the arrows leave a text that is not a number alone
    }
    setText(QLocale().toString(value + 0.001 * steps, 'f', 3));
}

QAbstractSpinBox::StepEnabled DecimalSpinEdit::stepEnabled() const
{
    return isReadOnly() ? StepNone : (StepUpEnabled | StepDownEnabled);
}

// ---- the sheet ----------------------------------------------------------------------------------

CurrentOutputsSheet::CurrentOutputsSheet(SheetServices &services, StatusLamp *apdStatusLight2, QWidget *parent)
    : QWidget(parent), ApdStatusLight2(apdStatusLight2), services_(services)
{
    setObjectName(QStringLiteral("CurrentOutputsSheet"));

    sComboBoxSelHwCurr = new QComboBox;
    sComboBoxSelHwCurr->setObjectName(QStringLiteral("sComboBoxSelHwCurr"));
    sComboBoxSelHwCurr->addItems({QStringLiteral("-5mA     0mA     +5mA"), QStringLiteral(" 4mA   12mA   +20mA")});
    sComboBoxSelHwCurr->setCurrentIndex(-1);
    sComboBoxSelHwCurr->setMinimumWidth(180);
    sBitBtnSaveSelHwCurr = NewButton(QStringLiteral("Запись"), QStringLiteral("sBitBtnSaveSelHwCurr"));
    auto *variantGroup = new QGroupBox(QStringLiteral("Аппаратная реализация"));
    auto *variantRow = new QHBoxLayout(variantGroup);
    variantRow->addWidget(sComboBoxSelHwCurr, 1);
    variantRow->addWidget(sBitBtnSaveSelHwCurr);

    sBitBtnSetCurr = NewButton(kStart, QStringLiteral("sBitBtnSetCurr"));
    BitBtnSeveHwCurrInfo = NewButton(QString(), QStringLiteral("BitBtnSeveHwCurrInfo"));
    BitBtnSeveHwCurrInfo->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    auto *commands = new QGridLayout;
    commands->addWidget(new QLabel(QStringLiteral("Установить связь:")), 0, 0);
    commands->addWidget(sBitBtnSetCurr, 0, 1);
    if (ApdStatusLight2)
        commands->addWidget(ApdStatusLight2, 0, 2);
    commands->addWidget(new QLabel(QStringLiteral("Сохранить изменения:")), 1, 0);
    commands->addWidget(BitBtnSeveHwCurrInfo, 1, 1, Qt::AlignLeft);

    sRadioGroupHwCurr = new LimitRadioGroup(
        QStringLiteral("Пределы"),
        {QStringLiteral("Верхний предел"), QStringLiteral("Средний предел"), QStringLiteral("Нижний предел")},
        Middle);
    sRadioGroupHwCurr->setObjectName(QStringLiteral("sRadioGroupHwCurr"));

    auto *top = new QHBoxLayout;
    top->addWidget(variantGroup);
    top->addLayout(commands);
    top->addWidget(sRadioGroupHwCurr);
    top->addStretch(1);

    // One group per output: the measured value with "Ввод", then the "x 100", "x 10", "x 1" arrows.
    std::array<DecimalSpinEdit *, kOutputs> edits{};
    std::array<QPushButton *, kOutputs> enters{};
    std::array<std::array<AdjustUpDown *, kOutputs>, 3> steps{}; // x 100, x 10, x 1
    const QString stepNames[3] = {QStringLiteral("sUpDownSFast"), QStringLiteral("sUpDownFast"),
                                  QStringLiteral("sUpDownCurr")};
    const QString stepCaptions[3] = {QStringLiteral("x 100"), QStringLiteral("x 10"), QStringLiteral("x 1")};
    auto *outputs = new QHBoxLayout;
    for (int t = 0; t < kOutputs; ++t) {
        const QString n = QString::number(t + 1);
        edits[t] = new DecimalSpinEdit;
        edits[t]->setObjectName(QStringLiteral("sDecimalSpinEditCurr") + n);
        enters[t] = NewButton(QStringLiteral("Ввод"), QStringLiteral("sBitBtnEnterCurr") + n);
        auto *measured = new QGroupBox(QStringLiteral("Измеренное значение"));
        auto *measuredRow = new QHBoxLayout(measured);
        measuredRow->addWidget(edits[t], 1);
        measuredRow->addWidget(enters[t]);

        auto *stepGrid = new QGridLayout;
        for (int s = 0; s < 3; ++s) {
            steps[s][t] = new AdjustUpDown;
            steps[s][t]->setObjectName(stepNames[s] + n);
            stepGrid->addWidget(new QLabel(stepCaptions[s]), 0, s, Qt::AlignHCenter);
            stepGrid->addWidget(steps[s][t], 1, s, Qt::AlignHCenter);
        }

        auto *output = new QGroupBox(QStringLiteral("Токовый выход ") + n);
        auto *column = new QVBoxLayout(output);
        column->addWidget(measured);
        column->addLayout(stepGrid);
        outputs->addWidget(output);
    }
    sDecimalSpinEditCurr1 = edits[0];
    sDecimalSpinEditCurr2 = edits[1];
    sDecimalSpinEditCurr3 = edits[2];
    sBitBtnEnterCurr1 = enters[0];
    sBitBtnEnterCurr2 = enters[1];
    sBitBtnEnterCurr3 = enters[2];
    sUpDownSFast1 = steps[0][0];
    sUpDownSFast2 = steps[0][1];
    sUpDownSFast3 = steps[0][2];
    sUpDownFast1 = steps[1][0];
    sUpDownFast2 = steps[1][1];
    sUpDownFast3 = steps[1][2];
    sUpDownCurr1 = steps[2][0];
    sUpDownCurr2 = steps[2][1];
    sUpDownCurr3 = steps[2][2];

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(outputs);
    layout->addStretch(1);

    tavro::MessageSink &messages = services_.messages;
    auto onClick = [this, &messages](QPushButton *button, auto handler) {
        connect(button, &QPushButton::clicked, this, tavro::Guarded(messages, handler));
    };
    onClick(sBitBtnSaveSelHwCurr, [this] { sBitBtnSaveSelHwCurrClick(); });
    onClick(sBitBtnSetCurr, [this] { sBitBtnSetCurrClick(); });
    onClick(BitBtnSeveHwCurrInfo, [this] { BitBtnSeveHwCurrInfoClick(); });
    connect(sRadioGroupHwCurr, &LimitRadioGroup::clicked, this,
            tavro::Guarded(messages, [this] { sRadioGroupHwCurrClick(); }));
    for (int t = 0; t < kOutputs; ++t) {
        onClick(enters[t], [this, t] { sBitBtnEnterCurr1Click(t); });
        const std::pair<AdjustUpDown *, void (CurrentOutputsSheet::*)(int, bool)> bindings[] = {
            {steps[0][t], &CurrentOutputsSheet::sUpDownSFast2Click},
            {steps[1][t], &CurrentOutputsSheet::sUpDownFast2Click},
            {steps[2][t], &CurrentOutputsSheet::sUpDownCurr1Click},
        };
        for (const auto &[control, handler] : bindings)
            connect(control, &AdjustUpDown::clicked, this, [this, &messages, handler, t](bool up) {
                tavro::RunGuarded(messages, [this, handler, t, up] { (this->*handler)(t, up); });
            });
    }

    EnableCurrControls(false);
}

std::array<DecimalSpinEdit *, CurrentOutputsSheet::kOutputs> CurrentOutputsSheet::measuredEdits() const
{
    return {sDecimalSpinEditCurr1, sDecimalSpinEditCurr2, sDecimalSpinEditCurr3};
}

std::array<QPushButton *, CurrentOutputsSheet::kOutputs> CurrentOutputsSheet::enterButtons() const
{
    return {sBitBtnEnterCurr1, sBitBtnEnterCurr2, sBitBtnEnterCurr3};
}

std::array<AdjustUpDown *, CurrentOutputsSheet::kOutputs> CurrentOutputsSheet::stepUpDowns(int size) const
{
    switch (size) {
    case 100:
        return {sUpDownSFast1, sUpDownSFast2, sUpDownSFast3};
    case 10:
        return {sUpDownFast1, sUpDownFast2, sUpDownFast3};
    default:
        return {sUpDownCurr1, sUpDownCurr2, sUpDownCurr3};
    }
}

void CurrentOutputsSheet::setExitEnabled(bool enabled)
{
    if (exitEnabled)
        exitEnabled(enabled);
}

// ---- variant ------------------------------------------------------------------------------------

void CurrentOutputsSheet::sBitBtnSaveSelHwCurrClick()
{
    if (!ControlInfoCombo(sComboBoxSelHwCurr, services_.messages))
        return;
    tavro::TInquiry &inq = services_.link.CurInquiry;
    const std::uint16_t slave = services_.settingsLogicalNumber();
    inq.Addr = slave;
    inq.Reg = kRegVariant;
    inq.Value = std::uint16_t(sComboBoxSelHwCurr->currentIndex());
    inq.Tag = kTagSingleWrite;
    services_.link.SendInquiryWrite06(inq);
}

// ---- the cycle ----------------------------------------------------------------------------------

void CurrentOutputsSheet::sBitBtnSetCurrClick()
{
    tavro::Link &link = services_.link;
    if (link.CurrActive) {
        setExitEnabled(true);
        StopSetCurr();
        return;
    }
    // The number first: a field that is not a number leaves everything as it was.
    link.InqCurrStart.Addr = services_.settingsLogicalNumber();
    link.StepInquiry = &link.InqCurrStart;
    setExitEnabled(false);
    if (!link.SendInquiryRead03(link.InqCurrStart))
        setExitEnabled(true); // nothing went out, so no cycle is starting
}

void CurrentOutputsSheet::StartCurrCycle(const tavro::Response &answer)
{
    tavro::Link &link = services_.link;
    const std::uint16_t slave = services_.settingsLogicalNumber();
    sBitBtnSetCurr->setText(kStop);
    link.CurrActive = true;
    // The variant word, when the answer carries it; a variant the list does not know leaves it empty.
    const bool hasVariant = answer.size >= 7 && answer.byte(2) >= 2;
    if (hasVariant) {
        const std::uint16_t variant = tavro::RegToWord(answer.data(), 0);
        sComboBoxSelHwCurr->setCurrentIndex(variant < sComboBoxSelHwCurr->count() ? int(variant) : -1);
        ShowCurrLimits(variant);
    }
    EnableCurrControls(true);

    link.InqCurrMode.Addr = slave;
    link.InqCurrMode.Reg = kRegMode;
    link.InqCurrMode.Value = std::uint16_t(sRadioGroupHwCurr->itemIndex() + 1);
    link.StepInquiry = &link.InqCurrMode;
    link.TimerSetAuto->start();
    if (showSchemePages)
        showSchemePages();
}

void CurrentOutputsSheet::CurrWriteConfirmed(const tavro::Response &)
{
    // The instrument needs a moment after a mode or adjustment write before it is asked again.
    services_.clock.wait(kConfirmPauseMs);
    tavro::Link &link = services_.link;
    link.TimerWaitAnsw->setInterval(kAdjustAnswerTimeoutMs);
    link.TimerSetAuto->setInterval(kRunnerAfterWriteMs);
    link.StepInquiry = &link.InqReg532;
}

void CurrentOutputsSheet::RefreshCurrLimits(const tavro::Response &)
{
    ShowCurrLimits(sComboBoxSelHwCurr->currentIndex());
    services_.link.StepInquiry = &services_.link.InqReg532;
}

void CurrentOutputsSheet::CurrValueEntered(const tavro::Response &)
{
    services_.link.StepInquiry = &services_.link.InqReg532;
}

void CurrentOutputsSheet::StopSetCurr()
{
    tavro::Link &link = services_.link;
    sBitBtnSetCurr->setText(kStart);
    if (ApdStatusLight2)
        ApdStatusLight2->hide();
    link.TimerSetAuto->stop();
    link.StepRetry = 0;
    link.CurrActive = false;
    if (closeValueEntry)
        closeValueEntry();
    EnableCurrControls(false);
    // The outputs leave their adjustment mode, whatever the runner was doing.
    link.InqCurrMode.Addr = services_.settingsLogicalNumber();
    link.InqCurrMode.Reg = kRegMode;
    link.InqCurrMode.Value = 0;
    link.SendInquiryWrite06(link.InqCurrMode);
}

// ---- limits and controls ------------------------------------------------------------------------

void CurrentOutputsSheet::sRadioGroupHwCurrClick()
{
    tavro::Link &link = services_.link;
    link.InqCurrLimit.Addr = services_.settingsLogicalNumber();
    link.InqCurrLimit.Value = std::uint16_t(sRadioGroupHwCurr->itemIndex() + 1);
    link.StepInquiry = &link.InqCurrLimit;
    followLimit();
}

void CurrentOutputsSheet::followLimit()
{
    const int limit = sRadioGroupHwCurr->itemIndex();
    const bool middle = limit == Middle;
    const bool upper = limit == Upper;
    for (int t = 0; t < kOutputs; ++t) {
        stepUpDowns(100)[t]->setEnabled(middle);
        stepUpDowns(10)[t]->setEnabled(middle);
        stepUpDowns(1)[t]->setEnabled(middle || upper);
        measuredEdits()[t]->setEnabled(upper);
        enterButtons()[t]->setEnabled(upper);
    }
}

void CurrentOutputsSheet::EnableCurrControls(bool enabled)
{
    sComboBoxSelHwCurr->setEnabled(!enabled);
    sBitBtnSaveSelHwCurr->setEnabled(!enabled);
    sRadioGroupHwCurr->setEnabled(enabled);
    BitBtnSeveHwCurrInfo->setEnabled(enabled);
    if (enabled) {
        followLimit();
        return;
    }
    for (int t = 0; t < kOutputs; ++t)
        for (QWidget *w : {static_cast<QWidget *>(measuredEdits()[t]), static_cast<QWidget *>(enterButtons()[t]),
                           static_cast<QWidget *>(stepUpDowns(1)[t]), static_cast<QWidget *>(stepUpDowns(10)[t]),
                           static_cast<QWidget *>(stepUpDowns(100)[t])})
            w->setEnabled(false);
}

void CurrentOutputsSheet::ShowCurrLimits(int variant)
{
    const int limit = sRadioGroupHwCurr->itemIndex();
    const int column = limit == Upper || limit == Middle ? limit : Lower;
    const QString &text = kLimitTexts[variant == 0 ? 0 : 1][column];
    for (DecimalSpinEdit *edit : measuredEdits())
        edit->setText(text);
}

// ---- adjustment, measured values, store ---------------------------------------------------------

void CurrentOutputsSheet::queueAdjustment(AdjustUpDown *control, bool up, std::uint16_t code)
{
    tavro::Link &link = services_.link;
    link.InqCurrAdjust.Addr = services_.settingsLogicalNumber();
    link.InqCurrAdjust.Reg = up ? kRegAdjustUp : kRegAdjustDown;
    link.InqCurrAdjust.Value = code;
    control->setPosition(AdjustUpDown::kCentre);
    link.StepInquiry = &link.InqCurrAdjust;
}

void CurrentOutputsSheet::sUpDownCurr1Click(int output, bool up)
{
    if (output < 0 || output >= kOutputs)
        return;
    const int code = sRadioGroupHwCurr->itemIndex() == Middle ? output : output + kStepCodeUpper;
    queueAdjustment(stepUpDowns(1)[output], up, std::uint16_t(code));
}

void CurrentOutputsSheet::sUpDownFast2Click(int output, bool up)
{
    if (output < 0 || output >= kOutputs || sRadioGroupHwCurr->itemIndex() != Middle)
        return;
    queueAdjustment(stepUpDowns(10)[output], up, std::uint16_t(output + kStepCodeTens));
}

void CurrentOutputsSheet::sUpDownSFast2Click(int output, bool up)
{
    if (output < 0 || output >= kOutputs || sRadioGroupHwCurr->itemIndex() != Middle)
        return;
    queueAdjustment(stepUpDowns(100)[output], up, std::uint16_t(output + kStepCodeHundreds));
}

void CurrentOutputsSheet::sBitBtnEnterCurr1Click(int output)
{
    if (output < 0 || output >= kOutputs)
        return;
    const QString text = measuredEdits()[output]->text();
    // An empty field has no value to send: say so, and the instrument keeps what it has.
    if (text.trimmed().isEmpty()) {
        services_.messages.show(QStringLiteral("Информация не задана"));
        return;
    }
    const float value = float(tavro::StrToFloat(text));
    const int limit = sRadioGroupHwCurr->itemIndex();
    tavro::Link &link = services_.link;
    link.InqCurrEnter.Addr = services_.settingsLogicalNumber();
    link.InqCurrEnter.Reg = std::uint16_t(kRegMeasured + 12 * limit + 4 * output);
    link.InqCurrEnter.FValue = value;
    link.StepInquiry = &link.InqCurrEnter;
}

void CurrentOutputsSheet::BitBtnSeveHwCurrInfoClick()
{
    tavro::Link &link = services_.link;
    link.InqCurrAdjust.Addr = services_.settingsLogicalNumber();
    // Storing takes the instrument longer than an adjustment.
    link.TimerSetAuto->setInterval(kRunnerBeforeStoreMs);
    link.InqCurrAdjust.Reg = kRegStore;
    link.InqCurrAdjust.Value = 0;
    link.StepInquiry = &link.InqCurrAdjust;
}
