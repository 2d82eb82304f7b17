#include "qt_serial_port.h"

#include "port_resolver.h"

#include <termios.h>

#include <algorithm>

namespace tavro {

QtSerialPort::QtSerialPort(const PortResolver &resolver, QObject *parent)
    : SerialPort(parent), resolver_(resolver), serial_(new QSerialPort(this))
{
    connect(serial_, &QSerialPort::readyRead, this,
            [this] { emit bytesArrived(int(serial_->bytesAvailable())); });
    connect(serial_, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QString QtSerialPort::deviceName() const
{
    return serial_->isOpen() ? device_ : QString();
}

void QtSerialPort::setPortNumber(int number)
{
    if (number == number_)
        return;
    number_ = number;
    serial_->close();
}

void QtSerialPort::setBaudRate(int baud)
{
    baud_ = baud;
    applyToOpenPort();
}

void QtSerialPort::setParity(Parity parity)
{
    parity_ = parity;
    applyToOpenPort();
}

void QtSerialPort::setDataBits(int bits)
{
    dataBits_ = bits;
    applyToOpenPort();
}

void QtSerialPort::setStopBits(int bits)
{
    stopBits_ = bits;
    applyToOpenPort();
}

bool QtSerialPort::applyFormat()
{
    QSerialPort::Parity parity = QSerialPort::NoParity;
    if (parity_ == Parity::Odd)
        parity = QSerialPort::OddParity;
    else if (parity_ == Parity::Even)
        parity = QSerialPort::EvenParity;
    const auto dataBits = static_cast<QSerialPort::DataBits>(std::clamp(dataBits_, 5, 8));
    const auto stopBits = stopBits_ == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop;
    return serial_->setBaudRate(baud_) && serial_->setParity(parity) && serial_->setDataBits(dataBits) &&
           serial_->setStopBits(stopBits) && serial_->setFlowControl(QSerialPort::NoFlowControl);
}

void QtSerialPort::applyToOpenPort()
{
    // A format the device refuses leaves it closed; the next use reopens and reports it.
    if (serial_->isOpen() && !applyFormat())
        serial_->close();
    threshold_ = 1; // a new format is applied with QSerialPort's own VMIN 0
}

void QtSerialPort::fail(const QString &what)
{
    const QString reason = serial_->errorString();
    serial_->close();
    throw PortError(
        QStringLiteral("Comm%1 (%2): %3: %4").arg(number_).arg(device_, what, reason).toStdString());
}

void QtSerialPort::ensureOpen()
{
    if (serial_->isOpen())
        return;
    const QString device = resolver_.resolve(number_);
    if (device.isEmpty())
        throw PortError(QStringLiteral("Нет устройства для Comm%1").arg(number_).toStdString());
    device_ = device;
    serial_->setPortName(device);
    if (!serial_->open(QIODevice::ReadWrite))
        fail(QStringLiteral("не открывается"));
    threshold_ = 1; // QSerialPort opens with VMIN 0: every byte is reported
    if (!applyFormat())
        fail(QStringLiteral("формат не принят"));
}

void QtSerialPort::setReadThreshold(int bytes)
{
    // The terminal driver's VMIN with VTIME 0: poll() reports the line readable only once that
    // many bytes are in, so the pieces of an answer do not each wake the program.
    bytes = std::clamp(bytes, 1, 255);
    if (!serial_->isOpen() || bytes == threshold_)
        return;
    termios tio{};
    if (tcgetattr(int(serial_->handle()), &tio) != 0)
        return;
    tio.c_cc[VMIN] = cc_t(bytes);
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(int(serial_->handle()), TCSANOW, &tio) == 0)
        threshold_ = bytes;
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    // A device gone away or failing mid-transfer is closed, so the next use opens it afresh. A line that
    // hung up (an adapter's driver gone, a pseudo-terminal's master closed) keeps raising ReadError.
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
        error == QSerialPort::WriteError)
        serial_->close();
}

void QtSerialPort::clearOutput()
{
    ensureOpen();
    serial_->clear(QSerialPort::Output);
}

void QtSerialPort::clearInput()
{
    ensureOpen();
    serial_->clear(QSerialPort::Input); // drops QSerialPort's own buffer as well as the driver's
}

void QtSerialPort::write(const std::uint8_t *bytes, int length)
{
    ensureOpen();
    if (serial_->write(reinterpret_cast<const char *>(bytes), length) != length)
        fail(QStringLiteral("ошибка записи"));
    serial_->flush(); // hand the bytes to the driver now rather than when the event loop runs
}

int QtSerialPort::read(std::uint8_t *into, int max)
{
    ensureOpen();
    const qint64 n = serial_->read(reinterpret_cast<char *>(into), std::max(max, 0));
    if (n < 0)
        fail(QStringLiteral("ошибка чтения"));
    return int(n);
}

int QtSerialPort::bytesAvailable() const
{
    return serial_->isOpen() ? int(serial_->bytesAvailable()) : 0;
}

int QtSerialPort::peek(std::uint8_t *into, int max) const
{
    if (!serial_->isOpen())
        return 0;
    return int(std::max<qint64>(serial_->peek(reinterpret_cast<char *>(into), std::max(max, 0)), 0));
}

} // namespace tavro
