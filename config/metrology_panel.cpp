#include "metrology_panel.h"

#include "guard.h"
#include "scheme_ratios.h"
#include "status_lamp.h"
#include "value_entry_dialog.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>

using tavro::Link;

namespace {

constexpr int kRunnerTickMs = 1000;
constexpr int kLongAnswerTimeoutMs = 5000;
constexpr std::uint16_t kCalibSlotBase = 1792;
constexpr std::uint16_t kPowerUpReg = 640;
constexpr std::uint16_t kPowerDownReg = 641;
constexpr std::uint16_t kStoreCommandReg = 767;
constexpr std::uint8_t kTagCalibValue = 14;
constexpr std::uint8_t kTagCalibCmd = 40;
constexpr int kNoNominalChannel = 22;

const QString kStart = QStringLiteral("   Старт");
const QString kStop = QStringLiteral("   Стоп");
const QString kEnter = QStringLiteral("Ввод");

template <class T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A measured value: right-aligned in a sunken box.
QLabel *newValueBox(const char *name, QWidget *parent)
{
    auto *box = named(new QLabel(QStringLiteral("0.0"), parent), name);
    box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setMinimumWidth(90);
    return box;
}

QLabel *newUnitLabel(const char *name, QWidget *parent)
{
    auto *label = named(new QLabel(QStringLiteral(" W"), parent), name);
    label->setMinimumWidth(24);
    return label;
}

QPushButton *newEnterButton(const char *name, QWidget *parent)
{
    return named(new QPushButton(kEnter, parent), name);
}

QGroupBox *newGroup(const QString &caption, QWidget *parent)
{
    return new QGroupBox(caption, parent);
}

void call(const std::function<void(bool)> &hook, bool value)
{
    if (hook)
        hook(value);
}

// A group's rows of caption, value and its "Ввод" button.
void addEnterRows(QGroupBox *group, std::initializer_list<std::tuple<const char *, QLabel *, QPushButton *>> rows)
{
    auto *grid = new QGridLayout(group);
    int row = 0;
    for (const auto &[caption, box, button] : rows) {
        grid->addWidget(new QLabel(QString::fromLatin1(caption), group), row, 0);
        grid->addWidget(box, row, 1);
        grid->addWidget(button, row++, 2);
    }
}

} // namespace

SpinButton::SpinButton(const char *name, bool wide, QWidget *parent) : QWidget(parent)
{
    setObjectName(QString::fromLatin1(name));
    up = new QToolButton(this);
    up->setObjectName(objectName() + QStringLiteral("Up"));
    up->setArrowType(Qt::UpArrow);
    down = new QToolButton(this);
    down->setObjectName(objectName() + QStringLiteral("Down"));
    down->setArrowType(Qt::DownArrow);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (QToolButton *half : {up, down}) {
        half->setFixedSize(wide ? 40 : 20, 12);
        column->addWidget(half);
    }
}

MetrologyPanel::MetrologyPanel(SheetServices &services, SchemeRatiosArea &schemeRatios,
                               QTabWidget *pageControl2or3Elem, QWidget *tabSheet3, QWidget *tabSheet4,
                               StatusLamp *apdStatusLight1, QWidget *parent)
    : QWidget(parent), ApdStatusLight1(apdStatusLight1), services_(services), schemeRatios_(schemeRatios),
      pageControl2or3Elem_(pageControl2or3Elem)
{
    setObjectName(QStringLiteral("MetrologyPanel"));
    buildThreeWire(tabSheet4);
    buildFourWire(tabSheet3);
    buildBottom();

    spins_ = {{
        {UpDownPa0, 0, &MetrologyPanel::UpDownPa0UpClick, &MetrologyPanel::UpDownPa0DownClick},
        {UpDownPsa0, 0, &MetrologyPanel::UpDownPsa0UpClick, &MetrologyPanel::UpDownPsa0DownClick},
        {UpDownPb0, 1, &MetrologyPanel::UpDownPb0UpClick, &MetrologyPanel::UpDownPb0DownClick},
        {UpDownPc0, 2, &MetrologyPanel::UpDownPc0UpClick, &MetrologyPanel::UpDownPc0DownClick},
        {UpDownPsc0, 2, &MetrologyPanel::UpDownPsc0UpClick, &MetrologyPanel::UpDownPsc0DownClick},
        {UpDownPa1, 3, &MetrologyPanel::UpDownPa1UpClick, &MetrologyPanel::UpDownPa1DownClick},
        {UpDownPsa1, 3, &MetrologyPanel::UpDownPsa1UpClick, &MetrologyPanel::UpDownPsa1DownClick},
        {UpDownPb1, 4, &MetrologyPanel::UpDownPb1UpClick, &MetrologyPanel::UpDownPb1DownClick},
        {UpDownPc1, 5, &MetrologyPanel::UpDownPc1UpClick, &MetrologyPanel::UpDownPc1DownClick},
        {UpDownPsc1, 5, &MetrologyPanel::UpDownPsc1UpClick, &MetrologyPanel::UpDownPsc1DownClick},
    }};
    // The dialog's place, from the main window's corner, and the slot a typed value goes to.
    // Ubc's typed value goes to slot 4 although its "Ввод" button sits by Uca: the instrument's
    // slots, not the screen's rows, decide.
    entries_ = {{
        {StaticTextUan, 70, 220, 0},
        {StaticTextUbn, 70, 280, 1},
        {StaticTextUcn, 70, 340, 2},
        {StaticTextUab, 70, 220, 3},
        {StaticTextUbc, 70, 280, 4},
        {StaticTextIa3, 340, 220, 6},
        {StaticTextIb3, 340, 280, 7},
        {StaticTextIc3, 340, 340, 8},
        {StaticTextIa2, 340, 220, 6},
        {StaticTextIc2, 340, 340, 8},
    }};
    // Every answer fills both panels, in this order.
    channels_ = {{
        {0, StaticTextUan, 0, Button3Uan, nullptr},
        {1, StaticTextUbn, 1, Button3Ubn, nullptr},
        {2, StaticTextUcn, 2, Button3Ucn, nullptr},
        {3, StaticTextIa3, 3, Button3Ian, nullptr},
        {3, StaticTextIa2, 31, nullptr, nullptr},
        {4, StaticTextIb3, 4, Button3Ibn, nullptr},
        {4, StaticTextIb2, 32, nullptr, nullptr},
        {5, StaticTextIc3, 5, Button3Icn, nullptr},
        {5, StaticTextIc2, 33, nullptr, nullptr},
        {6, StaticTextUab, 6, Button2Uan, nullptr},
        {7, StaticTextUbc, 7, nullptr, nullptr},
        {8, StaticTextUca, 8, Button2Ubn, nullptr},
        {9, StaticTextPa, 9, nullptr, StaticTextPa_},
        {10, StaticTextPb, 10, nullptr, StaticTextPb_},
        {11, StaticTextPc, 11, nullptr, StaticTextPc_},
        {21, StaticTextP, 21, nullptr, StaticTextP_},
        {21, StaticTextPs, 21, nullptr, nullptr},
        {22, StaticTextQs, kNoNominalChannel, nullptr, nullptr},
    }};

    // Shown and hidden, never destroyed while the panel lives. It has no parent: a child window
    // would be disabled together with the main window it must stand in for.
    dialog_ = std::make_unique<ValueEntryDialog>(services_.messages);
    Form2 = dialog_.get();
    Form2->sourceText = [this] {
        auto *label = qobject_cast<QLabel *>(Form2Source);
        return label ? label->text() : QString();
    };
    Form2->confirmed = [this](float value) { SetCalibValue(value); };
    Form2->closed = [this] { window()->setEnabled(true); };

    connectHandlers();

    // Start state.
    if (pageControl2or3Elem_) {
        pageControl2or3Elem_->setDocumentMode(true);
        pageControl2or3Elem_->hide();
    }
    ApdStatusLight1->hide();
    services_.link.WritePending = false;
    EnableCalibControls(true);
    BitBtnSeveSetInfo->setEnabled(false);
}

MetrologyPanel::~MetrologyPanel() = default;

// ---- building ---------------------------------------------------------------------------------

void MetrologyPanel::buildThreeWire(QWidget *sheet)
{
    QGroupBox *voltage = newGroup(QStringLiteral("Напряжение линейное"), sheet);
    StaticTextUab = newValueBox("StaticTextUab", voltage);
    StaticTextUbc = newValueBox("StaticTextUbc", voltage);
    StaticTextUca = newValueBox("StaticTextUca", voltage);
    Button2Uan = newEnterButton("Button2Uan", voltage);
    Button2Ubn = newEnterButton("Button2Ubn", voltage);
    auto *vGrid = new QGridLayout(voltage);
    vGrid->addWidget(new QLabel(QStringLiteral("Uab ="), voltage), 0, 0);
    vGrid->addWidget(StaticTextUab, 0, 1);
    vGrid->addWidget(Button2Uan, 0, 2);
    vGrid->addWidget(new QLabel(QStringLiteral("Ubc ="), voltage), 1, 0);
    vGrid->addWidget(StaticTextUbc, 1, 1);
    vGrid->addWidget(Button2Ubn, 1, 2);
    vGrid->addWidget(new QLabel(QStringLiteral("Uca ="), voltage), 2, 0);
    vGrid->addWidget(StaticTextUca, 2, 1);

    QGroupBox *current = newGroup(QStringLiteral("Ток"), sheet);
    StaticTextIa2 = newValueBox("StaticTextIa2", current);
    StaticTextIb2 = newValueBox("StaticTextIb2", current);
    StaticTextIc2 = newValueBox("StaticTextIc2", current);
    auto *iGrid = new QGridLayout(current);
    int row = 0;
    for (auto [caption, box] : {std::pair{"Ia =", StaticTextIa2}, {"Ib =", StaticTextIb2}, {"Ic =", StaticTextIc2}}) {
        iGrid->addWidget(new QLabel(QString::fromLatin1(caption), current), row, 0);
        iGrid->addWidget(box, row++, 1);
    }

    QGroupBox *power = newGroup(QStringLiteral("Мощность"), sheet);
    StaticTextPs = newValueBox("StaticTextPs", power);
    StaticTextQs = newValueBox("StaticTextQs", power);
    UpDownPsa1 = new SpinButton("UpDownPsa1", true, power);
    UpDownPsa0 = new SpinButton("UpDownPsa0", false, power);
    UpDownPsc1 = new SpinButton("UpDownPsc1", true, power);
    UpDownPsc0 = new SpinButton("UpDownPsc0", false, power);
    auto *pGrid = new QGridLayout(power);
    pGrid->addWidget(new QLabel(QStringLiteral("P ="), power), 0, 0);
    pGrid->addWidget(StaticTextPs, 0, 1);
    pGrid->addWidget(new QLabel(QStringLiteral("Q ="), power), 1, 0);
    pGrid->addWidget(StaticTextQs, 1, 1);
    pGrid->addWidget(new QLabel(QStringLiteral("фаза A"), power), 2, 0);
    pGrid->addWidget(UpDownPsa1, 2, 1, Qt::AlignLeft);
    pGrid->addWidget(UpDownPsa0, 2, 2);
    pGrid->addWidget(new QLabel(QStringLiteral("фаза C"), power), 3, 0);
    pGrid->addWidget(UpDownPsc1, 3, 1, Qt::AlignLeft);
    pGrid->addWidget(UpDownPsc0, 3, 2);

    auto *row3 = new QHBoxLayout;
    for (QGroupBox *group : {voltage, current, power})
        row3->addWidget(group);
    static_cast<QBoxLayout *>(sheet->layout())->addLayout(row3);
}

void MetrologyPanel::buildFourWire(QWidget *sheet)
{
    QGroupBox *voltage = newGroup(QStringLiteral("Напряжение"), sheet);
    StaticTextUan = newValueBox("StaticTextUan", voltage);
    StaticTextUbn = newValueBox("StaticTextUbn", voltage);
    StaticTextUcn = newValueBox("StaticTextUcn", voltage);
    Button3Uan = newEnterButton("Button3Uan", voltage);
    Button3Ubn = newEnterButton("Button3Ubn", voltage);
    Button3Ucn = newEnterButton("Button3Ucn", voltage);
    addEnterRows(voltage, {{"Ua =", StaticTextUan, Button3Uan},
                           {"Ub =", StaticTextUbn, Button3Ubn},
                           {"Uc =", StaticTextUcn, Button3Ucn}});

    QGroupBox *current = newGroup(QStringLiteral("Ток"), sheet);
    StaticTextIa3 = newValueBox("StaticTextIa3", current);
    StaticTextIb3 = newValueBox("StaticTextIb3", current);
    StaticTextIc3 = newValueBox("StaticTextIc3", current);
    Button3Ian = newEnterButton("Button3Ian", current);
    Button3Ibn = newEnterButton("Button3Ibn", current);
    Button3Icn = newEnterButton("Button3Icn", current);
    addEnterRows(current, {{"Ia =", StaticTextIa3, Button3Ian},
                           {"Ib =", StaticTextIb3, Button3Ibn},
                           {"Ic =", StaticTextIc3, Button3Icn}});

    QGroupBox *power = newGroup(QStringLiteral("Мощность активная"), sheet);
    StaticTextPa = newValueBox("StaticTextPa", power);
    StaticTextPb = newValueBox("StaticTextPb", power);
    StaticTextPc = newValueBox("StaticTextPc", power);
    StaticTextP = newValueBox("StaticTextP", power);
    StaticTextPa_ = newUnitLabel("StaticTextPa_", power);
    StaticTextPb_ = newUnitLabel("StaticTextPb_", power);
    StaticTextPc_ = newUnitLabel("StaticTextPc_", power);
    StaticTextP_ = newUnitLabel("StaticTextP_", power);
    UpDownPa1 = new SpinButton("UpDownPa1", true, power);
    UpDownPb1 = new SpinButton("UpDownPb1", true, power);
    UpDownPc1 = new SpinButton("UpDownPc1", true, power);
    UpDownPa0 = new SpinButton("UpDownPa0", false, power);
    UpDownPb0 = new SpinButton("UpDownPb0", false, power);
    UpDownPc0 = new SpinButton("UpDownPc0", false, power);
    auto *pGrid = new QGridLayout(power);
    int row = 0;
    for (auto [caption, box, unit, wide, narrow] :
         {std::tuple{"Pa =", StaticTextPa, StaticTextPa_, UpDownPa1, UpDownPa0},
          {"Pb =", StaticTextPb, StaticTextPb_, UpDownPb1, UpDownPb0},
          {"Pc =", StaticTextPc, StaticTextPc_, UpDownPc1, UpDownPc0},
          {"P =", StaticTextP, StaticTextP_, static_cast<SpinButton *>(nullptr), static_cast<SpinButton *>(nullptr)}}) {
        pGrid->addWidget(new QLabel(QString::fromLatin1(caption), power), row, 0);
        pGrid->addWidget(box, row, 1);
        pGrid->addWidget(unit, row, 2);
        if (wide) {
            pGrid->addWidget(wide, row, 3);
            pGrid->addWidget(narrow, row, 4);
        }
        ++row;
    }

    auto *row3 = new QHBoxLayout;
    for (QGroupBox *group : {voltage, current, power})
        row3->addWidget(group);
    static_cast<QBoxLayout *>(sheet->layout())->addLayout(row3);
}

void MetrologyPanel::buildBottom()
{
    BitBtnSetNet = named(new QPushButton(kStart, this), "BitBtnSetNet");
    BitBtnSetNet->setMinimumSize(110, 30);
    BitBtnSeveSetInfo = named(new QPushButton(this), "BitBtnSeveSetInfo");
    BitBtnSeveSetInfo->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    BitBtnSeveSetInfo->setMinimumSize(40, 30);
    // The lamp was made by the window; it belongs next to "Установить связь:".
    if (QWidget *holder = ApdStatusLight1->parentWidget(); holder && holder->layout())
        holder->layout()->removeWidget(ApdStatusLight1);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("Установить связь:"), this));
    row->addWidget(BitBtnSetNet);
    row->addWidget(ApdStatusLight1);
    row->addSpacing(40);
    row->addWidget(new QLabel(QStringLiteral("Сохранить изменения:"), this));
    row->addWidget(BitBtnSeveSetInfo);
    row->addStretch(1);
}

void MetrologyPanel::connectHandlers()
{
    tavro::MessageSink &messages = services_.messages;
    auto onClick = [&](QAbstractButton *button, auto handler) {
        connect(button, &QAbstractButton::clicked, this, tavro::Guarded(messages, handler));
    };
    onClick(BitBtnSetNet, [this] { BitBtnSetNetClick(); });
    onClick(BitBtnSeveSetInfo, [this] { BitBtnSeveSetInfoClick(); });
    for (QPushButton *button : {Button3Uan, Button3Ubn, Button3Ucn})
        onClick(button, [this, button] { Button3UanClick(button); });
    for (QPushButton *button : {Button3Ian, Button3Ibn, Button3Icn})
        onClick(button, [this, button] { Button3IanClick(button); });
    onClick(Button2Uan, [this] { Button2UanClick(); });
    onClick(Button2Ubn, [this] { Button2UbnClick(); });
    for (const Spin &spin : spins_) {
        onClick(spin.button->up, [this, h = spin.upClick] { (this->*h)(); });
        onClick(spin.button->down, [this, h = spin.downClick] { (this->*h)(); });
    }
    for (const EntryField &entry : entries_)
        entry.field->installEventFilter(this);
}

bool MetrologyPanel::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::MouseButtonDblClick) {
        if (auto *field = qobject_cast<QWidget *>(watched); field && entryOf(field)) {
            tavro::RunGuarded(services_.messages, [this, field] { SendInfoToForm2(field); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

// ---- the cycle --------------------------------------------------------------------------------

void MetrologyPanel::BitBtnSetNetClick()
{
    Link &link = services_.link;
    link.TimerSetAuto->setInterval(kRunnerTickMs);
    if (link.NetActive) {
        StopSetNet();
        BitBtnSeveSetInfo->setEnabled(false);
        call(setOtherPagesEnabled, true);
        call(exitEnabled, true);
        return;
    }
    // A logical number that is not one stops the start before anything changes.
    link.InqSchemeStart.Addr = services_.settingsLogicalNumber();
    link.StepInquiry = &link.InqSchemeStart;
    // Nothing went out: the other pages must not stay locked for a cycle that never began.
    if (!link.SendInquiryRead03(link.InqSchemeStart))
        return;
    BitBtnSeveSetInfo->setEnabled(true);
    call(setOtherPagesEnabled, false);
    call(exitEnabled, false);
}

void MetrologyPanel::StopSetNet()
{
    if (pageControl2or3Elem_)
        pageControl2or3Elem_->hide();
    BitBtnSetNet->setText(kStart);
    services_.link.StopNetCycle();
    Form2->close();
    schemeRatios_.EnableSchKp(true);
    ApdStatusLight1->hide();
    if (services_.progress)
        services_.progress->hide();
    call(exitEnabled, true);
}

void MetrologyPanel::SchemeStartRead(const tavro::Response &answer)
{
    Link &link = services_.link;
    BitBtnSetNet->setText(kStop);
    link.NetActive = true;
    const bool threeWire = tavro::RegToWord(answer.data(), 0) != 0;
    schemeRatios_.ComboBoxSetSch->setCurrentIndex(threeWire ? 0 : 1); // "трехпроводная", "четырехпроводная"
    schemeRatios_.ThreeWire = threeWire;
    schemeRatios_.ShowSchemePages();
    schemeRatios_.EnableSchKp(false);
    link.StepInquiry = &link.InqRatioRead;
    link.TimerSetAuto->start();
}

void MetrologyPanel::RatiosRead(const tavro::Response &answer)
{
    schemeRatios_.ShowRatios(answer);
    schemeRatios_.CalcNominalPower();
    if (pageControl2or3Elem_)
        pageControl2or3Elem_->show();
    schemeRatios_.ShowSchemePages();
    services_.link.StepInquiry = &services_.link.InqMeasure;
}

void MetrologyPanel::MeasureRead(const tavro::Response &answer)
{
    Link &link = services_.link;
    ShowNetValues(answer);
    if (settingsSheetIsMainOrDisplay && settingsSheetIsMainOrDisplay())
        link.TimerSetAuto->stop();
    else if (!link.WritePending) // a pending write keeps its place
        link.StepInquiry = &link.InqMeasure;
}

void MetrologyPanel::CalibValueWritten(const tavro::Response &)
{
    Link &link = services_.link;
    link.WritePending = false;
    EnableCalibControls(true);
    link.StepInquiry = &link.InqMeasure;
}

void MetrologyPanel::CalibCmdWritten(const tavro::Response &)
{
    Link &link = services_.link;
    link.WritePending = false;
    EnableCalibControls(true);
    link.StepInquiry = &link.InqMeasure;
    // The instrument is slow after a command.
    link.TimerWaitAnsw->setInterval(kLongAnswerTimeoutMs);
    // The runner stopped itself to send the command. A cycle stopped meanwhile stays stopped.
    if (link.NetActive)
        link.TimerSetAuto->start();
}

// ---- showing the values -----------------------------------------------------------------------

void MetrologyPanel::ShowNetValues(const tavro::Response &answer)
{
    const tavro::RegisterData data = answer.data();
    for (const Channel &c : channels_) {
        bool noData = false; // no data reads as 0 and shows as "0.0"
        const float shown = CheckNominal(c.channel, tavro::RegToFloat(data, std::size_t(c.value), noData));
        if (c.unit)
            c.unit->setText(tavro::PowerUnitText(shown));
        c.shown->setText(tavro::ScaledValueText(shown));
    }
}

float MetrologyPanel::NominalOf(int channel) const
{
    const SchemeRatiosArea &r = schemeRatios_;
    auto nominal = [](float base) { return float(static_cast<long double>(base) * tavro::kInverse13); };
    switch (channel) {
    case 0:
    case 1:
    case 2: {
        const float line = nominal(r.UMax);
        return r.ThreeWire ? line : float(static_cast<long double>(line) * tavro::kPhaseNominalFactor);
    }
    case 3: case 4: case 5: case 31: case 32: case 33:
        return nominal(r.IMax);
    case 6: case 7: case 8:
        return nominal(r.UMaxLine);
    case 9: case 10: case 11:
        return nominal(r.PPhaseMax);
    case 21:
        return nominal(r.PTotalMax);
    default:
        return 0;
    }
}

float MetrologyPanel::CheckNominal(int channel, float v)
{
    if (channel == kNoNominalChannel)
        return v;
    if (-tavro::kZeroBand < v && v < tavro::kZeroBand)
        v = 0;
    const float nominal = NominalOf(channel);
    if (nominal == 0)
        return 0;
    for (const Channel &c : channels_) {
        if (c.channel == channel && c.governed) {
            c.governed->setEnabled(static_cast<long double>(v) > tavro::kEnterThreshold * nominal);
            break;
        }
    }
    return v;
}

// ---- calibration writes -----------------------------------------------------------------------

void MetrologyPanel::EnableCalibControls(bool enabled)
{
    for (const Spin &spin : spins_)
        spin.button->setEnabled(enabled);
    for (QPushButton *button : {Button3Uan, Button3Ubn, Button3Ucn, Button3Ian, Button3Ibn, Button3Icn, Button2Uan,
                                Button2Ubn})
        button->setEnabled(enabled);
}

void MetrologyPanel::queueCalibValue(int slot, float value)
{
    Link &link = services_.link;
    tavro::TInquiry &inq = link.InqCalibValue;
    inq.Reg = std::uint16_t(kCalibSlotBase + 4 * slot);
    inq.Count = 2;
    inq.FValue = value;
    inq.Tag = kTagCalibValue;
    link.StepInquiry = &inq;
    link.WritePending = true;
    EnableCalibControls(false);
}

void MetrologyPanel::queueCalibCmd(std::uint16_t reg, std::uint16_t value)
{
    Link &link = services_.link;
    tavro::TInquiry &inq = link.InqCalibCmd;
    inq.Addr = services_.settingsLogicalNumber(); // first: a bad number leaves everything as it was
    inq.Reg = reg;
    inq.Value = value;
    inq.Tag = kTagCalibCmd; // the scheme write borrows this record under another tag
    link.StepInquiry = &inq;
    link.WritePending = true;
    EnableCalibControls(false);
}

void MetrologyPanel::Button3UanClick(QPushButton *button)
{
    const std::array<QPushButton *, 3> phases{Button3Uan, Button3Ubn, Button3Ucn};
    const auto k = std::find(phases.begin(), phases.end(), button) - phases.begin();
    if (k == 3)
        return;
    const long double phase = static_cast<long double>(schemeRatios_.UMax) * tavro::kPhaseReferenceFactor;
    queueCalibValue(int(k), float(phase * tavro::kInverse13));
}

void MetrologyPanel::Button3IanClick(QPushButton *button)
{
    const std::array<QPushButton *, 3> phases{Button3Ian, Button3Ibn, Button3Icn};
    const auto k = std::find(phases.begin(), phases.end(), button) - phases.begin();
    if (k == 3)
        return;
    queueCalibValue(6 + int(k), float(static_cast<long double>(schemeRatios_.IMax) * tavro::kInverse13));
}

void MetrologyPanel::Button2UanClick()
{
    queueCalibValue(3, float(static_cast<long double>(schemeRatios_.UMax) * tavro::kInverse13));
}

void MetrologyPanel::Button2UbnClick()
{
    queueCalibValue(4, float(static_cast<long double>(schemeRatios_.UMax) * tavro::kInverse13));
}

void MetrologyPanel::BitBtnSeveSetInfoClick()
{
    queueCalibCmd(kStoreCommandReg, 0);
    services_.link.TimerWaitAnsw->setInterval(kLongAnswerTimeoutMs);
}

int MetrologyPanel::PhaseCodeOf(const SpinButton *spin) const
{
    for (const Spin &s : spins_)
        if (s.button == spin)
            return s.code;
    return -1;
}

void MetrologyPanel::UpDownClick(SpinButton *spin, bool up)
{
    const int code = PhaseCodeOf(spin);
    if (code < 0)
        return;
    queueCalibCmd(up ? kPowerUpReg : kPowerDownReg, std::uint16_t(code));
}

// ---- the value-entry dialog -------------------------------------------------------------------

const MetrologyPanel::EntryField *MetrologyPanel::entryOf(const QWidget *field) const
{
    for (const EntryField &entry : entries_)
        if (entry.field == field)
            return &entry;
    return nullptr;
}

int MetrologyPanel::SlotOf(const QWidget *field) const
{
    const EntryField *entry = entryOf(field);
    return entry ? entry->slot : -1;
}

void MetrologyPanel::SendInfoToForm2(QWidget *field)
{
    const EntryField *entry = entryOf(field);
    if (!entry)
        return;
    Form2Source = field;
    QWidget *main = window();
    if (QWindow *mainHandle = main->windowHandle()) {
        Form2->winId();
        Form2->windowHandle()->setTransientParent(mainHandle); // stays above the main window
    }
    Form2->show();
    main->setEnabled(false);
    Form2->move(main->pos() + QPoint(entry->left, entry->top));
    Form2->activateWindow();
    Form2->FormActivate(); // the window system may activate it later; the text is the same then
}

void MetrologyPanel::SetCalibValue(float value)
{
    const int slot = SlotOf(Form2Source);
    if (slot < 0)
        return;
    queueCalibValue(slot, value);
}
