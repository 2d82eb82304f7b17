#include "measured_values_panel.h"

#include "encoding.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <array>

namespace {

using Field = QLineEdit *MeasuredValuesPanel::*;
using Group = QGroupBox *MeasuredValuesPanel::*;

struct Quantity {
    Field field;
    const char *name;
    const char *caption; // the unit letter "B" is the Latin one, as the instrument's panels print it
    ValueStyle style;
};

constexpr auto V3 = ValueStyle::ThreeDecimals;
constexpr auto V4 = ValueStyle::FourDecimals;

// In the order of the measured-values block: row k is registers 2k and 2k+1.
const std::array<Quantity, MeasuredValuesPanel::kQuantityCount> kQuantities{{
    {&MeasuredValuesPanel::EditUa, "EditUa", "Ua, B = ", V3},
    {&MeasuredValuesPanel::EditUb, "EditUb", "Ub, B = ", V3},
    {&MeasuredValuesPanel::EditUc, "EditUc", "Uc, B = ", V3},
    {&MeasuredValuesPanel::EditIa, "EditIa", "Ia, A = ", V4},
    {&MeasuredValuesPanel::EditIb, "EditIb", "Ib, A = ", V4},
    {&MeasuredValuesPanel::EditIc, "EditIc", "Ic, A = ", V4},
    {&MeasuredValuesPanel::EditUab, "EditUab", "Uab, B = ", V3},
    {&MeasuredValuesPanel::EditUbc, "EditUbc", "Ubc, B = ", V3},
    {&MeasuredValuesPanel::EditUca, "EditUca", "Uca, B = ", V3},
    {&MeasuredValuesPanel::EditPa, "EditPa", "Pa, Bт = ", V3},
    {&MeasuredValuesPanel::EditPb, "EditPb", "Pb, Bт = ", V3},
    {&MeasuredValuesPanel::EditPc, "EditPc", "Pc, Bт = ", V3},
    {&MeasuredValuesPanel::EditQa, "EditQa", "Qa, вар = ", V3},
    {&MeasuredValuesPanel::EditQb, "EditQb", "Qb, вар = ", V3},
    {&MeasuredValuesPanel::EditQc, "EditQc", "Qc, вар = ", V3},
    {&MeasuredValuesPanel::EditSa, "EditSa", "Sa, BА = ", V3},
    {&MeasuredValuesPanel::EditSb, "EditSb", "Sb, BА = ", V3},
    {&MeasuredValuesPanel::EditSc, "EditSc", "Sc, BА = ", V3},
    {&MeasuredValuesPanel::EditCosFa, "EditCosFa", "Kpa =", V3},
    {&MeasuredValuesPanel::EditCosFb, "EditCosFb", "Kpb =", V3},
    {&MeasuredValuesPanel::EditCosFc, "EditCosFc", "Kpc =", V3},
    {&MeasuredValuesPanel::EditP, "EditP", "P,  Bт =", V3},
    {&MeasuredValuesPanel::EditQ, "EditQ", "Q, вар = ", V3},
    {&MeasuredValuesPanel::EditS, "EditS", "S,  BА =", V3},
    {&MeasuredValuesPanel::EditCosF, "EditCosF", "Kp   =", V3},
    {&MeasuredValuesPanel::EditFrec, "EditFrec", "F, Гц =", V3},
    {&MeasuredValuesPanel::EditU, "EditU", "Uфср, B = ", V3},
    {&MeasuredValuesPanel::EditI, "EditI", "Iср, A = ", V4},
    {&MeasuredValuesPanel::EditUL, "EditUL", "Uлср, B = ", V3},
    {&MeasuredValuesPanel::EditUo, "EditUo", "Uo, B = ", V3},
    {&MeasuredValuesPanel::EditIo, "EditIo", "Io, A = ", V4},
}};

constexpr int kZeroSequenceU = 29;
constexpr int kZeroSequenceI = 30;

struct GroupLayout {
    Group group;
    const char *name;
    const char *title;
    int row, column;
    int phases[3]; // one under another; -1 past the group's last
    int summary;   // below a divider; -1 when the group has none
};

const GroupLayout kGroups[] = {
    {&MeasuredValuesPanel::GroupBoxVoltage, "GroupBoxVoltage", "Напряжение", 0, 0, {0, 1, 2}, 26},
    {&MeasuredValuesPanel::GroupBoxLineVoltage,
     "GroupBoxLineVoltage",
     "Напряжение линейное",
     0,
     1,
     {6, 7, 8},
     28},
    {&MeasuredValuesPanel::GroupBoxCurrent, "GroupBoxCurrent", "Ток", 0, 2, {3, 4, 5}, 27},
    {&MeasuredValuesPanel::GroupBoxActivePower,
     "GroupBoxActivePower",
     "Мощность активная",
     1,
     0,
     {9, 10, 11},
     21},
    {&MeasuredValuesPanel::GroupBoxReactivePower,
     "GroupBoxReactivePower",
     "Мощность реактивная",
     1,
     1,
     {12, 13, 14},
     22},
    {&MeasuredValuesPanel::GroupBoxApparentPower,
     "GroupBoxApparentPower",
     "Мощность полная",
     1,
     2,
     {15, 16, 17},
     23},
    {&MeasuredValuesPanel::GroupBoxPowerFactor,
     "GroupBoxPowerFactor",
     "Коэффициент мощности",
     2,
     0,
     {18, 19, 20},
     24},
    {&MeasuredValuesPanel::GroupBoxFrequency, "GroupBoxFrequency", "Частота", 2, 1, {25, -1, -1}, -1},
    {&MeasuredValuesPanel::GroupBoxZeroSequence,
     "GroupBoxZeroSequence",
     "Значения нулевой",
     2,
     2,
     {kZeroSequenceU, kZeroSequenceI, -1},
     -1},
};

QFrame *divider() {
    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

MeasuredValuesPanel::MeasuredValuesPanel(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MeasuredValuesPanel"));

    for (const Quantity &q : kQuantities) {
        auto *edit = new QLineEdit;
        edit->setObjectName(QString::fromLatin1(q.name));
        edit->setReadOnly(true);
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // One width for all, so the fields of the three columns line up.
        edit->setFixedWidth(100);
        this->*q.field = edit;
    }

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(10);

    for (const GroupLayout &g : kGroups) {
        auto *box = new QGroupBox(QString::fromUtf8(g.title));
        box->setObjectName(QString::fromLatin1(g.name));
        this->*g.group = box;

        auto *outer = new QVBoxLayout(box);
        outer->setContentsMargins(8, 6, 8, 8);
        outer->setSpacing(4);
        if (g.group == &MeasuredValuesPanel::GroupBoxZeroSequence) {
            // The caption is two lines long; its second line sits under the frame's title.
            LabelZeroSequence = new QLabel(QStringLiteral("последовательности"));
            LabelZeroSequence->setObjectName(QStringLiteral("LabelZeroSequence"));
            LabelZeroSequence->setForegroundRole(QPalette::Link);
            outer->addWidget(LabelZeroSequence);
        }

        auto *fields = new QGridLayout;
        fields->setHorizontalSpacing(4);
        fields->setVerticalSpacing(4);
        fields->setColumnStretch(0, 1);
        int row = 0;
        auto addField = [&](int k) {
            auto *caption = new QLabel(QString::fromUtf8(kQuantities[k].caption));
            caption->setBuddy(field(k));
            fields->addWidget(caption, row, 0);
            fields->addWidget(field(k), row, 1);
            ++row;
        };
        for (int k : g.phases) {
            if (k >= 0)
                addField(k);
        }
        if (g.summary >= 0) {
            fields->addWidget(divider(), row++, 0, 1, 2);
            addField(g.summary);
        }
        outer->addLayout(fields);
        outer->addStretch();
        grid->addWidget(box, g.row, g.column);
    }
    for (int column = 0; column < 3; ++column)
        grid->setColumnStretch(column, 1);
    grid->setRowStretch(3, 1);
}

QLineEdit *MeasuredValuesPanel::field(int k) const {
    if (k < 0 || k >= kQuantityCount)
        return nullptr;
    return this->*kQuantities[k].field;
}

ValueStyle MeasuredValuesPanel::styleOf(int k) {
    return k >= 0 && k < kQuantityCount ? kQuantities[k].style : ValueStyle::ThreeDecimals;
}

QString MeasuredValuesPanel::captionOf(int k) {
    return k >= 0 && k < kQuantityCount ? QString::fromUtf8(kQuantities[k].caption) : QString();
}

void MeasuredValuesPanel::ShowMeasured(const tavro::RegisterData &data) {
    for (int k = 0; k < kQuantityCount; ++k) {
        bool noData = false;
        const float value = tavro::RegToFloat(data, k, noData);
        field(k)->setText(ValueToText(kQuantities[k].style, value, noData));
    }
}

void MeasuredValuesPanel::ClearMeasured() {
    for (int k = 0; k < kQuantityCount; ++k) {
        if (k != kZeroSequenceU && k != kZeroSequenceI)
            field(k)->clear();
    }
}
