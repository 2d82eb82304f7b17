#include "main_params_sheet.h"

#include "connection_strip.h"
#include "conversion.h"
#include "guard.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace {

constexpr std::uint16_t kRegLogicalNumber = 516;
constexpr std::uint16_t kRegNumDev = 520;
constexpr std::uint16_t kRegBaudComA = 524;
constexpr std::uint16_t kRegStatComB = 540;
constexpr std::uint16_t kRegBaudComB = 542;
constexpr std::uint16_t kMainBlockStart = 512;
constexpr std::uint16_t kDisplayLinesStart = 1024;
constexpr int kFullBlockWords = 17;
constexpr int kOldBlockWords = 10;
constexpr int kModbusMode = 1;
constexpr int kSpeed9600 = 3;
constexpr std::uint8_t kTagMainBlock = 3;
constexpr std::uint8_t kTagDisplayLines = 5;
constexpr std::uint8_t kTagWriteConfirm = 19;
constexpr std::uint8_t kTagMultiWriteConfirm = 18;

std::optional<int> IntegerIn(const QString &text) {
    try {
        return tavro::StrToInt(text);
    } catch (const tavro::ConversionError &) {
        return std::nullopt;
    }
}

// Words the answer really carries: the byte count, never more than the frame holds before its CRC.
int WordsIn(const tavro::Response &answer) {
    if (answer.size < 5)
        return 0;
    return int(std::min<std::size_t>(answer.byte(2), answer.size - 5) / 2);
}

QLabel *NewValueText(const char *objectName) {
    auto *label = new QLabel;
    label->setObjectName(QString::fromLatin1(objectName));
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setContentsMargins(4, 1, 4, 1);
    label->setMinimumWidth(150);
    return label;
}

QPushButton *NewButton(const QString &caption, const char *objectName) {
    auto *button = new QPushButton(caption);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

QComboBox *NewList(const QStringList &items, const char *objectName) {
    auto *list = new QComboBox;
    list->setObjectName(QString::fromLatin1(objectName));
    list->addItems(items);
    list->setCurrentIndex(-1);
    list->setMinimumWidth(100);
    return list;
}

QLineEdit *NewEdit(const char *objectName) {
    auto *edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setMinimumWidth(100);
    return edit;
}

// A captioned group holding one field and its "Запись" button side by side.
QGroupBox *FieldGroup(const QString &caption, QWidget *field, QPushButton *write) {
    auto *group = new QGroupBox(caption);
    auto *row = new QHBoxLayout(group);
    row->addWidget(field, 1);
    row->addWidget(write);
    return group;
}

} // namespace

MainParamsSheet::MainParamsSheet(SheetServices &services, QWidget *parent)
    : QWidget(parent), services_(services) {
    setObjectName(QStringLiteral("MainParamsSheet"));

    BitBtnMainParam = NewButton(QStringLiteral("     Читать"), "BitBtnMainParam");
    StaticTextVersDev = NewValueText("StaticTextVersDev");
    StaticTextVersPrg = NewValueText("StaticTextVersPrg");
    StaticTextNumMeasureParam = NewValueText("StaticTextNumMeasureParam");
    StaticTextSchInp = NewValueText("StaticTextSchInp");

    EditReadLog = NewEdit("EditReadLog");
    BitBtnWriteLog = NewButton(QStringLiteral("Запись"), "BitBtnWriteLog");
    ComboBoxBaudComA = NewList(SpeedItems(), "ComboBoxBaudComA");
    BitBtnWriteBaudComA = NewButton(QStringLiteral("Запись"), "BitBtnWriteBaudComA");
    sComboBoxStatComB = NewList({QStringLiteral("Информ."), QStringLiteral("Modbus")}, "sComboBoxStatComB");
    sBitBtnWriteStatysComB = NewButton(QStringLiteral("Запись"), "sBitBtnWriteStatysComB");
    ComboBoxBaudComB = NewList(SpeedItems(), "ComboBoxBaudComB");
    BitBtnWriteBaudComB = NewButton(QStringLiteral("Запись"), "BitBtnWriteBaudComB");
    EditNumDev = NewEdit("EditNumDev");
    BitBtnSaveNumDev = NewButton(QStringLiteral("Запись"), "BitBtnSaveNumDev");

    auto *identity = new QGroupBox;
    identity->setObjectName(QStringLiteral("GroupBoxIdentity"));
    auto *identityGrid = new QGridLayout(identity);
    const std::pair<QString, QLabel *> identityRows[] = {
        {QStringLiteral("Версия прибора:"), StaticTextVersDev},
        {QStringLiteral("Версия программы:"), StaticTextVersPrg},
        {QStringLiteral("Число измеряемых параметров:"), StaticTextNumMeasureParam},
        {QStringLiteral("Схема подключения:"), StaticTextSchInp},
    };
    int row = 0;
    for (const auto &[caption, value] : identityRows) {
        identityGrid->addWidget(new QLabel(caption), row, 0);
        identityGrid->addWidget(value, row, 1);
        ++row;
    }

    auto *numDevGroup = FieldGroup(QStringLiteral("Номер прибора"), EditNumDev, BitBtnSaveNumDev);
    numDevGroup->setObjectName(QStringLiteral("GroupBoxNumDev"));

    auto *left = new QVBoxLayout;
    left->addWidget(identity);
    left->addWidget(numDevGroup);
    left->addStretch(1);
    left->addWidget(BitBtnMainParam, 0, Qt::AlignLeft);

    GroupBoxLinkChannels = new QGroupBox(QStringLiteral("Настройки каналов связи"));
    GroupBoxLinkChannels->setObjectName(QStringLiteral("GroupBoxLinkChannels"));
    auto *channels = new QVBoxLayout(GroupBoxLinkChannels);
    channels->addWidget(FieldGroup(QStringLiteral("Логический номер"), EditReadLog, BitBtnWriteLog));
    channels->addWidget(
        FieldGroup(QStringLiteral("Скорость (Rs485_1)"), ComboBoxBaudComA, BitBtnWriteBaudComA));
    channels->addWidget(
        FieldGroup(QStringLiteral("Конфигурация Rs485_2"), sComboBoxStatComB, sBitBtnWriteStatysComB));
    channels->addWidget(
        FieldGroup(QStringLiteral("Скорость  (Rs485_2)"), ComboBoxBaudComB, BitBtnWriteBaudComB));

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 3);
    layout->addSpacing(12);
    layout->addWidget(GroupBoxLinkChannels, 2, Qt::AlignTop);

    tavro::MessageSink &messages = services_.messages;
    auto onClick = [this, &messages](QPushButton *button, void (MainParamsSheet::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                tavro::Guarded(messages, [this, handler] { (this->*handler)(); }));
    };
    onClick(BitBtnMainParam, &MainParamsSheet::BitBtnMainParamClick);
    onClick(BitBtnWriteLog, &MainParamsSheet::BitBtnWriteLogClick);
    onClick(BitBtnWriteBaudComA, &MainParamsSheet::BitBtnWriteBaudComAClick);
    onClick(sBitBtnWriteStatysComB, &MainParamsSheet::sBitBtnWriteStatysComBClick);
    onClick(BitBtnWriteBaudComB, &MainParamsSheet::BitBtnWriteBaudComBClick);
    onClick(BitBtnSaveNumDev, &MainParamsSheet::BitBtnSaveNumDevClick);

    connect(EditReadLog, &QLineEdit::textChanged, this,
            tavro::Guarded(messages, [this] { EditReadLogChange(); }));
    connect(EditNumDev, &QLineEdit::textChanged, this,
            tavro::Guarded(messages, [this] { EditNumDevChange(); }));
    OnFocusChange(
        EditReadLog, messages, [this] { EditReadLogEnter(); }, [this] { EditReadLogExit(); });
    OnFocusChange(
        EditNumDev, messages, [this] { EditNumDevEnter(); }, [this] { EditNumDevExit(); });

    DisablePort2Controls();
}

int MainParamsSheet::SpeedPosition(std::uint16_t bitsPerSecond) {
    switch (bitsPerSecond) {
    case 1200:
        return 0;
    case 2400:
        return 1;
    case 4800:
        return 2;
    case 9600:
        return 3;
    case 19200:
        return 4;
    case 38400:
        return 5;
    default:
        return -1;
    }
}

void MainParamsSheet::enablePort2(bool modeControls, bool speedControls) {
    sComboBoxStatComB->setEnabled(modeControls);
    sBitBtnWriteStatysComB->setEnabled(modeControls);
    ComboBoxBaudComB->setEnabled(speedControls);
    BitBtnWriteBaudComB->setEnabled(speedControls);
}

void MainParamsSheet::DisablePort2Controls() {
    enablePort2(false, false);
}

void MainParamsSheet::armRunner() {
    tavro::Link &link = services_.link;
    link.StepInquiry = &link.CurInquiry;
    link.TimerSetAuto->setInterval(tavro::kRunnerTickMs);
    link.TimerSetAuto->start();
}

std::uint16_t MainParamsSheet::logicalNumberForNextStep() {
    try {
        return services_.logicalNumber();
    } catch (const tavro::ConversionError &) {
        // Without a slave number the read cannot go on; the runner would repeat the last step forever.
        services_.link.TimerSetAuto->stop();
        throw;
    }
}

// ---- the main-parameter read ------------------------------------------------------------------

void MainParamsSheet::BitBtnMainParamClick() {
    for (QLabel *text : {StaticTextVersDev, StaticTextVersPrg, StaticTextNumMeasureParam, StaticTextSchInp})
        text->clear();
    EditNumDev->clear();
    for (QComboBox *list : {ComboBoxBaudComA, sComboBoxStatComB, ComboBoxBaudComB})
        list->setCurrentIndex(-1);
    if (clearDisplaySettings)
        clearDisplaySettings();

    const std::uint16_t slave = services_.logicalNumber();
    tavro::Link &link = services_.link;
    tavro::TInquiry &inq = link.CurInquiry;
    inq.Addr = slave;
    inq.Reg = kMainBlockStart;
    inq.Count = 1;
    inq.AnswLen = 7;
    inq.Tag = 2;
    if (!link.SendInquiry(inq))
        return; // nothing outstanding, so nothing would give the calibration controls back
    link.WritePending = true;
    if (services_.enableCalibControls)
        services_.enableCalibControls(false);
}

void MainParamsSheet::ChooseMainParamBlock(const tavro::Response &answer) {
    const std::uint16_t slave = services_.logicalNumber();
    // Only the low byte of the version tells the block size. An answer without the version word
    // gets the short block, which every instrument has.
    const bool fullBlock = WordsIn(answer) >= 1 && answer.data().byte(1) > 199;
    blockWords_ = fullBlock ? kFullBlockWords : kOldBlockWords;
    enablePort2(fullBlock, fullBlock);

    tavro::TInquiry &inq = services_.link.CurInquiry;
    inq.Addr = slave;
    inq.Reg = kMainBlockStart;
    inq.Count = std::uint16_t(blockWords_);
    inq.AnswLen = std::uint16_t(2 * blockWords_ + 5);
    inq.Tag = kTagMainBlock;
    armRunner();
}

void MainParamsSheet::ShowMainParam(const tavro::Response &answer) {
    const tavro::RegisterData data = answer.data();
    // Words past those asked for or past the answer's end are not the instrument's: leave them out.
    const int asked = blockWords_ > 0 ? blockWords_ : kFullBlockWords;
    const int words = std::min(WordsIn(answer), asked);
    auto has = [words](int i) { return i < words; };
    auto word = [&data](int i) { return tavro::RegToWord(data, std::size_t(i)); };

    if (has(0))
        StaticTextVersPrg->setText(QString::number(word(0)));
    if (has(1))
        StaticTextNumMeasureParam->setText(QString::number(word(1)));
    if (has(2))
        EditReadLog->setText(QString::number(word(2)));
    if (has(3) && showBrightness)
        showBrightness(word(3));
    if (has(5))
        EditNumDev->setText(QString::number(std::uint32_t(word(5)) * 10000u + word(4)));
    if (has(6))
        ComboBoxBaudComA->setCurrentIndex(SpeedPosition(word(6)));
    if (has(8))
        StaticTextSchInp->setText(word(8) == 0 ? QStringLiteral("четырехпроводная")
                                               : QStringLiteral("трехпроводная"));
    if (has(9))
        StaticTextVersDev->setText(word(9) == 0 ? QStringLiteral("KrTavro") : QStringLiteral("Tavro"));

    if (asked == kFullBlockWords && has(15)) {
        const std::uint16_t mode = word(14);
        const int modeIndex = mode <= kModbusMode ? int(mode) : -1;
        sComboBoxStatComB->setCurrentIndex(modeIndex);
        ComboBoxBaudComB->setCurrentIndex(SpeedPosition(word(15)));
        // The port-2 speed only matters to a Modbus port; an unknown mode is not one.
        const bool modbus = modeIndex == kModbusMode;
        ComboBoxBaudComB->setEnabled(modbus);
        BitBtnWriteBaudComB->setEnabled(modbus);
    } else {
        sComboBoxStatComB->setCurrentIndex(-1);
        ComboBoxBaudComB->setCurrentIndex(-1);
        DisablePort2Controls();
    }

    const std::uint16_t slave = logicalNumberForNextStep();
    tavro::TInquiry &inq = services_.link.CurInquiry;
    inq.Addr = slave;
    inq.Reg = kDisplayLinesStart;
    inq.Count = 6;
    inq.AnswLen = 17;
    inq.Tag = kTagDisplayLines;
    armRunner();
}

// ---- writes -----------------------------------------------------------------------------------

// One word written with function 6 through CurInquiry; the answer (tag 19) confirms it.
void MainParamsSheet::writeParameter(std::uint16_t slave, std::uint16_t reg, std::uint16_t value) {
    tavro::TInquiry &inq = services_.link.CurInquiry;
    inq.Addr = slave;
    inq.Reg = reg;
    inq.Value = value;
    inq.Tag = kTagWriteConfirm;
    services_.link.SendInquiryWrite06(inq);
}

void MainParamsSheet::BitBtnWriteLogClick() {
    const QString text = EditReadLog->text();
    if (text.isEmpty()) {
        services_.messages.show(QStringLiteral("Информация не задана"));
        return;
    }
    const int number = tavro::StrToInt(text);
    // Only the low byte of the address goes on the wire: any other number would leave the
    // instrument at an address nobody can reach.
    if (number < 1 || number > 247) {
        services_.messages.show(
            QStringLiteral("Логический номер должен \rнаходиться в пределах \rот 1 до 247 "));
        return;
    }
    writeParameter(services_.logicalNumber(), kRegLogicalNumber, std::uint16_t(number));
}

void MainParamsSheet::BitBtnWriteBaudComAClick() {
    if (!ControlInfoCombo(ComboBoxBaudComA, services_.messages))
        return;
    writeParameter(services_.logicalNumber(), kRegBaudComA, std::uint16_t(ComboBoxBaudComA->currentIndex()));
}

void MainParamsSheet::sBitBtnWriteStatysComBClick() {
    // An unknown mode read from the instrument leaves no selection; -1 must not go out as 0xFFFF.
    if (!ControlInfoCombo(sComboBoxStatComB, services_.messages))
        return;
    writeParameter(services_.settingsLogicalNumber(), kRegStatComB, std::uint16_t(sComboBoxStatComB->currentIndex()));
}

void MainParamsSheet::BitBtnWriteBaudComBClick() {
    if (!ControlInfoCombo(ComboBoxBaudComB, services_.messages))
        return;
    writeParameter(services_.logicalNumber(), kRegBaudComB, std::uint16_t(ComboBoxBaudComB->currentIndex()));
}

void MainParamsSheet::BitBtnSaveNumDevClick() {
    const auto number = std::uint32_t(tavro::StrToInt(EditNumDev->text()));
    const std::uint16_t slave = services_.settingsLogicalNumber();
    // Written high part first, each part as its low 16 bits.
    numDevWords_ = {std::uint16_t(number / 10000), std::uint16_t(number % 10000)};
    tavro::TInquiry &inq = services_.link.InqNumDevWrite;
    inq.Addr = slave;
    inq.Reg = kRegNumDev;
    inq.Count = 2;
    inq.AnswLen = 9;
    inq.Values = numDevWords_.data();
    inq.Tag = kTagMultiWriteConfirm;
    services_.link.SendInquiryWrite16(inq);
}

void MainParamsSheet::WriteConfirmed(std::uint16_t reg) {
    switch (reg) {
    case kRegLogicalNumber:
        if (setLogicalNumber)
            setLogicalNumber(EditReadLog->text());
        break;
    case kRegBaudComA:
        if (ComboBoxBaudComA->currentIndex() >= 0 && followPortSpeed)
            followPortSpeed(ComboBoxBaudComA->currentIndex());
        break;
    case kRegStatComB: {
        const bool modbus = sComboBoxStatComB->currentIndex() == kModbusMode;
        if (!modbus)
            ComboBoxBaudComB->setCurrentIndex(kSpeed9600); // the information channel always runs at 9600
        ComboBoxBaudComB->setEnabled(modbus);
        BitBtnWriteBaudComB->setEnabled(modbus);
        break;
    }
    default:
        break;
    }
}

// ---- guarded edits ----------------------------------------------------------------------------

void MainParamsSheet::EditReadLogChange() {
    const QString text = EditReadLog->text();
    if (text.isEmpty())
        return;
    const std::optional<int> number = IntegerIn(text);
    if (!number) {
        EditReadLog->clear();
        return;
    }
    // A negative number counts as its unsigned value. The new text raises this rule again, so
    // digits go until the value fits a register.
    const auto value = std::uint32_t(*number);
    if (value > 65535)
        EditReadLog->setText(QString::number(value / 10));
}

void MainParamsSheet::EditReadLogEnter() {
    if (services_.savedEditText)
        *services_.savedEditText = EditReadLog->text();
}

void MainParamsSheet::EditReadLogExit() {
    if (!IntegerIn(EditReadLog->text()))
        EditReadLog->setText(QStringLiteral("1"));
}

void MainParamsSheet::EditNumDevChange() {
    const QString text = EditNumDev->text();
    if (!text.isEmpty() && !IntegerIn(text))
        EditNumDev->setText(services_.savedEditText ? *services_.savedEditText : QString());
}

void MainParamsSheet::EditNumDevEnter() {
    if (services_.savedEditText)
        *services_.savedEditText = EditNumDev->text();
}

void MainParamsSheet::EditNumDevExit() {
    if (!IntegerIn(EditNumDev->text()))
        EditNumDev->setText(QStringLiteral("0"));
}
