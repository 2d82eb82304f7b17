#include "setpoints.h"

#include "conversion.h"
#include "guard.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QLocale>

#include <array>
#include <cmath>

namespace {

constexpr std::array<SetpointGroup, kQuantityCount> kGroupOfCode = {
    SetpointGroup::PhaseVoltage,     // 0 Ua
    SetpointGroup::PhaseVoltage,     // 1 Ub
    SetpointGroup::PhaseVoltage,     // 2 Uc
    SetpointGroup::Current,          // 3 Ia
    SetpointGroup::Current,          // 4 Ib
    SetpointGroup::Current,          // 5 Ic
    SetpointGroup::LineVoltage,      // 6 Uab
    SetpointGroup::LineVoltage,      // 7 Ubc
    SetpointGroup::LineVoltage,      // 8 Uca
    SetpointGroup::PhasePower,       // 9 Pa
    SetpointGroup::PhasePower,       // 10 Pb
    SetpointGroup::PhasePower,       // 11 Pc
    SetpointGroup::PhasePower,       // 12 Qa
    SetpointGroup::PhasePower,       // 13 Qb
    SetpointGroup::PhasePower,       // 14 Qc
    SetpointGroup::ApparentPower,    // 15 Sa
    SetpointGroup::ApparentPower,    // 16 Sb
    SetpointGroup::ApparentPower,    // 17 Sc
    SetpointGroup::PhasePowerFactor, // 18 Kpa
    SetpointGroup::PhasePowerFactor, // 19 Kpb
    SetpointGroup::PhasePowerFactor, // 20 Kpc
    SetpointGroup::TotalPower,       // 21 P
    SetpointGroup::TotalPower,       // 22 Q
    SetpointGroup::ApparentPower,    // 23 S
    SetpointGroup::TotalPowerFactor, // 24 Kp
    SetpointGroup::Frequency,        // 25 F
    SetpointGroup::PhaseVoltage,     // 26 Uф ср
    SetpointGroup::Current,          // 27 I ср
    SetpointGroup::LineVoltage,      // 28 Uл ср
    SetpointGroup::PhaseVoltage,     // 29 Uo
    SetpointGroup::Current,          // 30 Io
};

QString SideName(bool upperSide)
{
    return upperSide ? QStringLiteral("превышения") : QStringLiteral("принижения");
}

double ReadSetpoint(const QLineEdit *field, bool upperSide)
{
    const QString text = field->text();
    if (text.trimmed().isEmpty())
        throw tavro::ConversionError(QStringLiteral("Не задана уставка %1: поле пусто, а нужно число")
                                         .arg(SideName(upperSide)));
    const std::optional<double> value = SetpointNumber(text);
    if (!value)
        throw tavro::ConversionError(QStringLiteral("Уставка %1 '%2' — не число").arg(SideName(upperSide), text));
    return *value;
}

// Focus entry and exit as the user moves between controls. A focus change because another
// window or a popup came up (a message box of some handler, for instance) is not leaving the field.
class SetpointGuard : public QObject {
public:
    SetpointGuard(QLineEdit *field, bool upperSide, QString &saved, tavro::MessageSink &messages,
                  std::function<void()> afterExit)
        : QObject(field), field_(field), upperSide_(upperSide), saved_(saved), messages_(messages),
          afterExit_(std::move(afterExit))
    {
        field->installEventFilter(this);
        connect(field, &QLineEdit::textChanged, this, tavro::Guarded(messages_, [this] { changed(); }));
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut)
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            return false;
        if (event->type() == QEvent::FocusIn)
            saved_ = field_->text();
        else
            tavro::RunGuarded(messages_, [this] { left(); });
        return false;
    }

private:
    void changed()
    {
        const QString text = field_->text();
        // Comparing with the saved text keeps a saved non-number from bouncing forever.
        if (!text.isEmpty() && !IsSetpointNumber(text) && text != saved_)
            field_->setText(saved_);
    }

    void left()
    {
        const QString text = SetpointExitText(field_->text(), upperSide_);
        if (text != field_->text())
            field_->setText(text);
        if (afterExit_)
            afterExit_();
    }

    QLineEdit *field_;
    bool upperSide_;
    QString &saved_;
    tavro::MessageSink &messages_;
    std::function<void()> afterExit_;
};

} // namespace

QStringList DisplayQuantityTexts()
{
    // "K" and "p" of the power factors are Latin letters on this list.
    return {
        QStringLiteral("Напряжение  Ua"),
        QStringLiteral("Напряжение  Ub"),
        QStringLiteral("Напряжение  Uc"),
        QStringLiteral("Ток  Ia"),
        QStringLiteral("Ток  Ib"),
        QStringLiteral("Ток  Ic"),
        QStringLiteral("Напряжение линейное  Uab"),
        QStringLiteral("Напряжение линейное  Ubc"),
        QStringLiteral("Напряжение линейное  Uca"),
        QStringLiteral("Мощность активная  Pa"),
        QStringLiteral("Мощность активная  Pb"),
        QStringLiteral("Мощность активная  Pc"),
        QStringLiteral("Мощность реактивная  Qa"),
        QStringLiteral("Мощность реактивная  Qb"),
        QStringLiteral("Мощность реактивная  Qc"),
        QStringLiteral("Мощность полная  Sa"),
        QStringLiteral("Мощность полная  Sb"),
        QStringLiteral("Мощность полная  Sc"),
        QStringLiteral("Коэффициент мощности  Kpa"),
        QStringLiteral("Коэффициент мощности  Kpb"),
        QStringLiteral("Коэффициент мощности  Kpc"),
        QStringLiteral("Мощность активная суммарная  P"),
        QStringLiteral("Мощность реактивная суммарная  Q"),
        QStringLiteral("Мощность полная суммарная  S"),
        QStringLiteral("Коэффициент мощности сумм.  Kp"),
        QStringLiteral("Частота  F"),
        QStringLiteral("Напряжение среднее  Uф ср"),
        QStringLiteral("Ток средний  I ср"),
        QStringLiteral("Напряжение линейное среднее Uл ср"),
        QStringLiteral("Напряжение нулевой последовательности Uo"),
        QStringLiteral("Ток нулевой последовательности Io"),
    };
}

std::optional<SetpointGroup> SetpointGroupOf(int code)
{
    if (code < 0 || code >= kQuantityCount)
        return std::nullopt;
    return kGroupOfCode[std::size_t(code)];
}

SetpointLimits LimitsOf(SetpointGroup group)
{
    switch (group) {
    case SetpointGroup::PhaseVoltage: return {130, 0, 150, 0};
    case SetpointGroup::Current: return {120, 0, 130, 0};
    case SetpointGroup::LineVoltage: return {130, 0, 150, 0};
    case SetpointGroup::PhasePower: return {120, -120, 130, -130};
    case SetpointGroup::ApparentPower: return {120, 0, 130, 0};
    case SetpointGroup::PhasePowerFactor: return {100, -100, 100, -100};
    case SetpointGroup::TotalPower: return {120, -120, 130, -130};
    case SetpointGroup::TotalPowerFactor: return {100, -100, 100, -100};
    case SetpointGroup::Frequency: return {100, 0, 100, 0};
    }
    return {0, 0, 0, 0};
}

std::optional<double> SetpointNumber(const QString &text)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString WholeNumberText(double value)
{
    const double whole = std::round(value);
    if (whole == 0.0)
        return QStringLiteral("0"); // never "-0"
    return QString::number(whole, 'f', 0);
}

QString SetpointExitText(const QString &text, bool upperSide)
{
    const std::optional<double> value = SetpointNumber(text);
    if (!value)
        return QStringLiteral("0");
    if (upperSide && *value > kSetpointFieldBound)
        return WholeNumberText(kSetpointFieldBound);
    if (!upperSide && *value < -kSetpointFieldBound)
        return WholeNumberText(-kSetpointFieldBound);
    return text;
}

int SelectedCode(const QComboBox *list)
{
    if (!list)
        return -1;
    if (!list->isEditable())
        return list->currentIndex();
    return list->findText(list->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void ApplySetpointLimits(const UstChannel &channel, const SetpointLimits &limits, bool reset)
{
    if (reset) {
        channel.upper->setText(WholeNumberText(limits.defaultUpper));
        channel.lower->setText(WholeNumberText(limits.defaultLower));
        return;
    }
    if (ReadSetpoint(channel.upper, true) > limits.largestUpper)
        channel.upper->setText(WholeNumberText(limits.largestUpper));
    if (ReadSetpoint(channel.lower, false) < limits.smallestLower)
        channel.lower->setText(WholeNumberText(limits.smallestLower));
}

void ControlUst(const UstChannel &channel, bool reset)
{
    channel.upper->setEnabled(true);
    channel.lower->setEnabled(true);
    const std::optional<SetpointGroup> group = SetpointGroupOf(SelectedCode(channel.param));
    if (!group)
        return;
    ApplySetpointLimits(channel, LimitsOf(*group), reset);
}

void AttachSetpointGuards(QLineEdit *field, bool upperSide, QString &savedEditText, tavro::MessageSink &messages,
                          std::function<void()> afterExit)
{
    new SetpointGuard(field, upperSide, savedEditText, messages, std::move(afterExit));
}
