#include "display_sheet.h"

#include "conversion.h"
#include "guard.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

constexpr std::uint16_t kRegBrightness = 518;
constexpr std::uint16_t kRegDisplayLines = 1024;
constexpr std::uint16_t kRegSetpoints = 2816;
constexpr std::uint16_t kSetpointWords = 6;
constexpr std::uint8_t kTagSetpoints = 6;
constexpr std::uint8_t kTagMultiWriteConfirm = 18;
constexpr std::uint8_t kTagWriteConfirm = 19;
constexpr int kLineCount = 3;

// Words the answer really carries: the byte count, never more than the frame holds before its CRC.
int WordsIn(const tavro::Response &answer)
{
    if (answer.size < 5)
        return 0;
    return int(std::min<std::size_t>(answer.byte(2), answer.size - 5) / 2);
}

QPushButton *NewButton(const QString &caption, const char *objectName)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

QGroupBox *NewGroup(const QString &caption, const char *objectName)
{
    auto *group = new QGroupBox(caption);
    group->setObjectName(QString::fromLatin1(objectName));
    return group;
}

QComboBox *NewQuantityList(const char *objectName)
{
    auto *list = new QComboBox;
    list->setObjectName(QString::fromLatin1(objectName));
    list->setEditable(true);
    // Typing names an item or nothing; it never adds one.
    list->setInsertPolicy(QComboBox::NoInsert);
    list->addItems(DisplayQuantityTexts());
    list->setCurrentIndex(0);
    list->setMinimumWidth(300);
    return list;
}

QLineEdit *NewSetpointField(const char *objectName)
{
    auto *field = new QLineEdit;
    field->setObjectName(QString::fromLatin1(objectName));
    field->setFixedWidth(70);
    field->setAlignment(Qt::AlignRight);
    return field;
}

// A setpoint group side ("превышения" or "принижения"): the three lines' fields, each with "%".
QGroupBox *SetpointColumn(const QString &caption, const char *objectName, std::array<QLineEdit *, 3> fields)
{
    auto *group = NewGroup(caption, objectName);
    auto *grid = new QGridLayout(group);
    for (int line = 0; line < kLineCount; ++line) {
        grid->addWidget(fields[std::size_t(line)], line, 0);
        grid->addWidget(new QLabel(QStringLiteral("%")), line, 1);
    }
    grid->setColumnStretch(2, 1);
    return group;
}

// A setpoint as the instrument stores it: a whole number in a signed word.
std::uint16_t SetpointWord(const QLineEdit *field, const QString &what)
{
    const QString text = field->text();
    int value = 0;
    try {
        value = tavro::StrToInt(text);
    } catch (const tavro::ConversionError &) {
        throw tavro::ConversionError(
            QStringLiteral("%1: '%2' — не целое число. Уставки записываются целыми процентами.").arg(what, text));
    }
    if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max())
        throw tavro::ConversionError(QStringLiteral("%1: %2 — вне пределов от -32768 до 32767.").arg(what).arg(value));
    return std::uint16_t(std::int16_t(value));
}

} // namespace

DisplaySheet::DisplaySheet(SheetServices &services, QWidget *parent) : QWidget(parent), services_(services)
{
    setObjectName(QStringLiteral("DisplaySheet"));

    ComboBoxBrightness = new QComboBox;
    ComboBoxBrightness->setObjectName(QStringLiteral("ComboBoxBrightness"));
    ComboBoxBrightness->addItems({QStringLiteral("максимальная"), QStringLiteral("средняя"), QStringLiteral("низкая")});
    ComboBoxBrightness->setCurrentIndex(-1);
    ComboBoxBrightness->setMinimumWidth(160);
    BitBtnWriteBrightness = NewButton(QStringLiteral("Запись"), "BitBtnWriteBrightness");

    ComboBoxIndParam0 = NewQuantityList("ComboBoxIndParam0");
    ComboBoxIndParam1 = NewQuantityList("ComboBoxIndParam1");
    ComboBoxIndParam2 = NewQuantityList("ComboBoxIndParam2");
    BitBtnSaveIndParam = NewButton(QStringLiteral("Запись"), "BitBtnSaveIndParam");

    ITEUstMax00 = NewSetpointField("ITEUstMax00");
    ITEUstMax01 = NewSetpointField("ITEUstMax01");
    ITEUstMax02 = NewSetpointField("ITEUstMax02");
    ITEUstMin00 = NewSetpointField("ITEUstMin00");
    ITEUstMin01 = NewSetpointField("ITEUstMin01");
    ITEUstMin02 = NewSetpointField("ITEUstMin02");
    BitBtnSaveUst = NewButton(QStringLiteral("Запись"), "BitBtnSaveUst");

    IBitBtnMainParam = NewButton(QStringLiteral("     Читать"), "IBitBtnMainParam");

    // "Яркость".
    auto *brightness = NewGroup(QStringLiteral("Яркость"), "GroupBoxBrightness");
    auto *brightnessRow = new QHBoxLayout(brightness);
    brightnessRow->addWidget(ComboBoxBrightness);
    brightnessRow->addWidget(BitBtnWriteBrightness);

    // "Отображаемые параметры" / "Наименование".
    auto *names = NewGroup(QStringLiteral("Наименование"), "GroupBoxIndParamNames");
    auto *namesGrid = new QGridLayout(names);
    const std::array<QComboBox *, 3> lists = {ComboBoxIndParam0, ComboBoxIndParam1, ComboBoxIndParam2};
    for (int line = 0; line < kLineCount; ++line) {
        namesGrid->addWidget(new QLabel(QStringLiteral("Строка %1").arg(line + 1)), line, 0);
        namesGrid->addWidget(lists[std::size_t(line)], line, 1);
    }
    namesGrid->setColumnStretch(1, 1);
    auto *shown = NewGroup(QStringLiteral("Отображаемые параметры"), "GroupBoxIndParam");
    auto *shownColumn = new QVBoxLayout(shown);
    shownColumn->addWidget(names);
    shownColumn->addWidget(BitBtnSaveIndParam, 0, Qt::AlignRight);

    // "Уставки".
    auto *setpoints = NewGroup(QStringLiteral("Уставки"), "GroupBoxUst");
    auto *setpointColumns = new QHBoxLayout;
    setpointColumns->addWidget(
        SetpointColumn(QStringLiteral("превышения"), "GroupBoxUstMax", {ITEUstMax00, ITEUstMax01, ITEUstMax02}));
    setpointColumns->addWidget(
        SetpointColumn(QStringLiteral("принижения"), "GroupBoxUstMin", {ITEUstMin00, ITEUstMin01, ITEUstMin02}));
    auto *setpointBox = new QVBoxLayout(setpoints);
    setpointBox->addLayout(setpointColumns);
    setpointBox->addWidget(BitBtnSaveUst, 0, Qt::AlignRight);

    auto *topRow = new QHBoxLayout;
    topRow->addWidget(brightness);
    topRow->addStretch(1);
    auto *middleRow = new QHBoxLayout;
    middleRow->addWidget(shown, 3);
    middleRow->addWidget(setpoints, 2);

    auto *bottomPanel = new QFrame;
    bottomPanel->setObjectName(QStringLiteral("PanelMainParam"));
    bottomPanel->setFrameShape(QFrame::StyledPanel);
    auto *bottomRow = new QHBoxLayout(bottomPanel);
    bottomRow->addWidget(IBitBtnMainParam);
    bottomRow->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(topRow);
    layout->addLayout(middleRow);
    layout->addStretch(1);
    layout->addWidget(bottomPanel);

    BitBtnSaveIndParam->setEnabled(false);
    BitBtnSaveUst->setEnabled(false);

    tavro::MessageSink &messages = services_.messages;
    auto onClick = [this, &messages](QPushButton *button, void (DisplaySheet::*handler)()) {
        connect(button, &QPushButton::clicked, this, tavro::Guarded(messages, [this, handler] { (this->*handler)(); }));
    };
    onClick(BitBtnWriteBrightness, &DisplaySheet::BitBtnWriteBrightnessClick);
    onClick(BitBtnSaveIndParam, &DisplaySheet::BitBtnSaveIndParamClick);
    onClick(BitBtnSaveUst, &DisplaySheet::BitBtnSaveUstClick);
    connect(IBitBtnMainParam, &QPushButton::clicked, this, tavro::Guarded(messages, [this] {
                if (readMainParams)
                    readMainParams();
            }));

    // Only the user's choices count: a pick from the list or typing over the text.
    const std::array<void (DisplaySheet::*)(), 3> lineHandlers = {
        &DisplaySheet::ComboBoxIndParam0Change, &DisplaySheet::ComboBoxIndParam1Change,
        &DisplaySheet::ComboBoxIndParam2Change};
    for (int line = 0; line < kLineCount; ++line) {
        QComboBox *list = lists[std::size_t(line)];
        const auto handler = tavro::Guarded(messages, [this, h = lineHandlers[std::size_t(line)]] { (this->*h)(); });
        connect(list, &QComboBox::activated, this, handler);
        connect(list->lineEdit(), &QLineEdit::textEdited, this, handler);
    }

    QString &saved = services_.savedEditText ? *services_.savedEditText : ownSavedText_;
    const auto checkAllLines = [this] {
        for (int line = 0; line < kLineCount; ++line)
            ControlITEUst(line, false);
    };
    for (const UstChannel &line : lines()) {
        AttachSetpointGuards(line.upper, true, saved, messages, checkAllLines);
        AttachSetpointGuards(line.lower, false, saved, messages, checkAllLines);
    }
}

std::array<UstChannel, 3> DisplaySheet::lines() const
{
    return {{{ComboBoxIndParam0, ITEUstMax00, ITEUstMin00},
             {ComboBoxIndParam1, ITEUstMax01, ITEUstMin01},
             {ComboBoxIndParam2, ITEUstMax02, ITEUstMin02}}};
}

// ---- setpoint rule and line selection ---------------------------------------------------------

void DisplaySheet::ControlITEUst(int line, bool reset)
{
    if (line < 0 || line >= kLineCount)
        return;
    ControlUst(lines()[std::size_t(line)], reset);
}

void DisplaySheet::lineChangedByUser(int line)
{
    BitBtnSaveIndParam->setEnabled(true);
    ControlITEUst(line, true);
}

void DisplaySheet::ComboBoxIndParam0Change()
{
    lineChangedByUser(0);
}

void DisplaySheet::ComboBoxIndParam1Change()
{
    lineChangedByUser(1);
}

void DisplaySheet::ComboBoxIndParam2Change()
{
    lineChangedByUser(2);
}

// ---- writes -----------------------------------------------------------------------------------

bool DisplaySheet::sendMultiWrite(std::uint16_t slave, std::uint16_t reg, std::uint16_t count,
                                  std::uint16_t answLen, const std::uint16_t *words)
{
    tavro::TInquiry &inq = services_.link.InqMultiWrite;
    inq.Addr = slave;
    inq.Reg = reg;
    inq.Count = count;
    inq.AnswLen = answLen;
    inq.Values = words;
    inq.Tag = kTagMultiWriteConfirm;
    return services_.link.SendInquiryWrite16(inq);
}

void DisplaySheet::BitBtnWriteBrightnessClick()
{
    const std::uint16_t slave = services_.logicalNumber();
    tavro::TInquiry &inq = services_.link.CurInquiry;
    inq.Addr = slave;
    inq.Reg = kRegBrightness;
    inq.Tag = kTagWriteConfirm;
    if (!ControlInfoCombo(ComboBoxBrightness, services_.messages))
        return;
    inq.Value = std::uint16_t(ComboBoxBrightness->currentIndex());
    services_.link.SendInquiryWrite06(inq);
}

void DisplaySheet::BitBtnSaveIndParamClick()
{
    const std::uint16_t slave = services_.logicalNumber();
    const std::array<QComboBox *, 3> lists = {ComboBoxIndParam0, ComboBoxIndParam1, ComboBoxIndParam2};
    for (int line = 0; line < kLineCount; ++line)
        indParamWords_[std::size_t(line)] = std::uint16_t(SelectedCode(lists[std::size_t(line)])); // none: 0xFFFF
    BitBtnSaveIndParam->setEnabled(false);
    // Nothing went out, so no answer or time-out would give the button back.
    if (!sendMultiWrite(slave, kRegDisplayLines, kLineCount, 11, indParamWords_.data()))
        BitBtnSaveIndParam->setEnabled(true);
}

void DisplaySheet::BitBtnSaveUstClick()
{
    // Interleaved as the instrument keeps them: upper and lower of line 1, then of line 2, then of line 3.
    std::array<std::uint16_t, kSetpointWords> words{};
    int i = 0;
    for (int line = 0; line < kLineCount; ++line) {
        const UstChannel channel = lines()[std::size_t(line)];
        words[std::size_t(i++)] = SetpointWord(channel.upper, QStringLiteral("Уставка превышения, строка %1").arg(line + 1));
        words[std::size_t(i++)] = SetpointWord(channel.lower, QStringLiteral("Уставка принижения, строка %1").arg(line + 1));
    }
    const std::uint16_t slave = services_.logicalNumber();
    ustWords_ = words;
    BitBtnSaveUst->setEnabled(false);
    if (!sendMultiWrite(slave, kRegSetpoints, kSetpointWords, 17, ustWords_.data()))
        BitBtnSaveUst->setEnabled(true);
}

// ---- the main-parameter read ------------------------------------------------------------------

void DisplaySheet::ClearForRead()
{
    for (const UstChannel &line : lines()) {
        line.param->setCurrentIndex(-1);
        line.upper->clear();
        line.lower->clear();
    }
    ComboBoxBrightness->setCurrentIndex(-1);
}

void DisplaySheet::ShowBrightness(std::uint16_t word)
{
    ComboBoxBrightness->setCurrentIndex(word < ComboBoxBrightness->count() ? int(word) : -1);
}

void DisplaySheet::ShowIndParam(const tavro::Response &answer)
{
    const tavro::RegisterData data = answer.data();
    const int words = WordsIn(answer);
    // Selecting by program is not the user's pick: no defaults go in.
    for (int line = 0; line < std::min(words, kLineCount); ++line) {
        const int code = std::int8_t(tavro::RegToWord(data, std::size_t(line)) & 0xFF);
        lines()[std::size_t(line)].param->setCurrentIndex(SetpointGroupOf(code) ? code : -1);
    }

    std::uint16_t slave = 0;
    try {
        slave = services_.logicalNumber();
    } catch (const tavro::ConversionError &e) {
        // Without a slave number the read cannot go on; the runner would repeat this step forever.
        services_.link.TimerSetAuto->stop();
        services_.messages.show(e.text());
        return;
    }
    armSetpointRead(slave);
}

void DisplaySheet::armSetpointRead(std::uint16_t slave)
{
    tavro::Link &link = services_.link;
    tavro::TInquiry &inq = link.CurInquiry;
    inq.Addr = slave;
    inq.Reg = kRegSetpoints;
    inq.Count = kSetpointWords;
    inq.AnswLen = 2 * kSetpointWords + 5;
    inq.Tag = kTagSetpoints;
    link.StepInquiry = &link.CurInquiry;
    link.TimerSetAuto->setInterval(tavro::kRunnerTickMs);
    link.TimerSetAuto->start();
}

void DisplaySheet::ShowITEUst(const tavro::Response &answer)
{
    const tavro::RegisterData data = answer.data();
    const int words = std::min<int>(WordsIn(answer), kSetpointWords);
    const std::array<QLineEdit *, kSetpointWords> fields = {ITEUstMax00, ITEUstMin00, ITEUstMax01,
                                                            ITEUstMin01, ITEUstMax02, ITEUstMin02};
    for (int i = 0; i < words; ++i)
        fields[std::size_t(i)]->setText(QString::number(std::int16_t(tavro::RegToWord(data, std::size_t(i)))));

    if (chainEnded)
        chainEnded();
    services_.link.TimerSetAuto->stop();
}

void DisplaySheet::EnableSaveButtons()
{
    BitBtnSaveIndParam->setEnabled(true);
    BitBtnSaveUst->setEnabled(true);
}
