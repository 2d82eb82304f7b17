#include "connection_controls.h"

#include "app_settings.h"
#include "conversion.h"
#include "port_resolver.h"
#include "serial_port.h"
#include "timer.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

using namespace tavro;

namespace {
constexpr int kPortCount = 16;
constexpr int kFallbackSpeedIndex = 3;
const QString kPortReadError = QStringLiteral("Ошибка при чтении номера порта: COM ");
} // namespace

ConnectionControls::ConnectionControls(const Widgets &widgets, AppSettings &settings, SerialPort &port,
                                       MessageSink &messages, const PortResolver *resolver, QObject *parent)
    : QObject(parent), w_(widgets), settings_(settings), port_(port), messages_(messages), resolver_(resolver)
{
    for (QComboBox *box : w_.ports) {
        if (box->count() == 0)
            for (int n = 1; n <= kPortCount; ++n)
                box->addItem(QStringLiteral("Comm%1").arg(n), n);
    }
    for (QComboBox *box : w_.speeds) {
        if (box->count() == 0)
            for (int speed : SpeedTable())
                box->addItem(QString::number(speed), speed);
    }
    refreshPortTooltips();
}

const QList<int> &ConnectionControls::SpeedTable()
{
    static const QList<int> table{1200, 2400, 4800, 9600, 19200, 38400};
    return table;
}

int ConnectionControls::BaudIndex(int speed)
{
    const int i = int(SpeedTable().indexOf(speed));
    return i < 0 ? kFallbackSpeedIndex : i;
}

void ConnectionControls::refreshPortTooltips()
{
    if (!resolver_)
        return;
    const QStringList devices = resolver_->describeAll(); // one look at the system's devices
    for (QComboBox *box : w_.ports)
        for (int i = 0; i < box->count() && i < devices.size(); ++i)
            box->setItemData(i, devices[i], Qt::ToolTipRole);
}

void ConnectionControls::selectPortEverywhere(int index)
{
    for (QComboBox *box : w_.ports) {
        const QSignalBlocker quiet(box); // a selection made here is not the user's choice
        box->setCurrentIndex(index);
    }
}

void ConnectionControls::selectSpeedEverywhere(int index)
{
    for (QComboBox *box : w_.speeds) {
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(index);
    }
}

bool ConnectionControls::readPortNumber()
{
    int number = settings_.port();
    bool ok = true;
    try {
        port_.setPortNumber(number);
    } catch (const PortError &) {
        ok = false;
        if (channelPageActive && leaveChannelPage_)
            leaveChannelPage_();
        messages_.show(kPortReadError + QString::number(port_.portNumber()));
    }
    if (number < 1 || number > kPortCount) {
        messages_.show(QStringLiteral("Ошибочный номер порта: COM ") + QString::number(number));
        number = 1;
        port_.setPortNumber(number);
        settings_.setPort(number);
    }
    return ok;
}

bool ConnectionControls::LoadPortSettings()
{
    const bool ok = readPortNumber();
    selectPortEverywhere(port_.portNumber() - 1);

    int speed = settings_.speed();
    if (speed < 600 || speed > 38400) {
        messages_.show(QStringLiteral("Ошибочная скорость порта: ") + QString::number(speed));
        speed = 9600; // the file keeps what it holds
    }
    port_.setBaudRate(speed);
    selectSpeedEverywhere(BaudIndex(speed));

    int parity = settings_.parity();
    if (parity < 0 || parity > 2) {
        messages_.show(QStringLiteral("Ошибка в задании контроля четности порта: ") + QString::number(parity));
        parity = 0;
    }
    port_.setParity(static_cast<Parity>(parity));
    port_.setDataBits(8);
    port_.setStopBits(1);
    return ok;
}

bool ConnectionControls::LoadPortNumber()
{
    const bool ok = readPortNumber();
    for (int i : {1, 3}) { // ComboBoxPort2 and ComboBoxPort4
        const QSignalBlocker quiet(w_.ports[i]);
        w_.ports[i]->setCurrentIndex(port_.portNumber() - 1);
    }
    port_.setBaudRate(9600);
    port_.setParity(Parity::None);
    port_.setDataBits(8);
    port_.setStopBits(1);
    return ok;
}

void ConnectionControls::ComboBoxPortChange(int selector)
{
    QComboBox *box = w_.ports.value(selector);
    if (!box)
        return;
    int index = box->currentIndex();
    if (index < 0)
        return;
    if (index >= kPortCount) {
        messages_.show(QStringLiteral("Ошибка при изменении номера порта: COM ") + QString::number(index + 1));
        selectPortEverywhere(0);
        index = 0;
    }
    port_.setPortNumber(index + 1);
    selectPortEverywhere(index);
    settings_.setPort(port_.portNumber());
}

void ConnectionControls::ComboBoxBaudChange(int selector)
{
    QComboBox *box = w_.speeds.value(selector);
    if (!box)
        return;
    int speed = StrToIntDef(box->currentText(), 9600);
    if (speed < 1200 || speed > 38400) {
        messages_.show(QStringLiteral("Ошибочная скорость порта: ") + QString::number(speed));
        speed = 9600;
    }
    settings_.setSpeed(speed);
    selectSpeedEverywhere(BaudIndex(speed));
    port_.setBaudRate(speed);
}

void ConnectionControls::ControlInfoEdit(QLineEdit *edit)
{
    if (edit->text().isEmpty())
        return;
    bool ok = false;
    const int number = edit->text().trimmed().toInt(&ok);
    if (!ok) {
        edit->clear();
        return;
    }
    if (number < 1 || number > 247) {
        messages_.show(QStringLiteral("Логический номер должен \rнаходиться в пределах \rот 1 до 247 "));
        edit->clear();
        edit->setFocus();
    }
}

void ConnectionControls::LogicalNumberChange(QLineEdit *changed)
{
    ControlInfoEdit(changed);
    // Setting a field to the text it already has raises no change, so the copying ends.
    for (QLineEdit *other : w_.logicalNumbers)
        if (other != changed)
            other->setText(changed->text());
}
