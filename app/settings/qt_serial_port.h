#pragma once
#include "serial_port.h"

#include <QSerialPort>

class PortResolver;

namespace tavro {

// The program's serial line over QSerialPort. The port number becomes a device through the
// resolver each time the port is opened, so an adapter plugged in later is found. The port opens
// on first use; a device that fails while open (an adapter pulled out) is closed, so the next use
// reports PortError while it is gone and opens it again once it is back.
class QtSerialPort : public SerialPort {
    Q_OBJECT
public:
    // The resolver must outlive the port.
    explicit QtSerialPort(const PortResolver &resolver, QObject *parent = nullptr);

    void setPortNumber(int number) override;
    int portNumber() const override { return number_; }
    void setBaudRate(int baud) override;
    int baudRate() const override { return baud_; }
    void setParity(Parity parity) override;
    Parity parity() const override { return parity_; }
    void setDataBits(int bits) override;
    void setStopBits(int bits) override;

    void clearOutput() override;
    void clearInput() override;
    void write(const std::uint8_t *bytes, int length) override;
    int read(std::uint8_t *into, int max) override;

    void setReadThreshold(int bytes) override;
    int bytesAvailable() const override;
    int peek(std::uint8_t *into, int max) const override;

    bool isOpen() const { return serial_->isOpen(); }
    // The device path in use; empty while closed.
    QString deviceName() const;

private:
    void ensureOpen();
    bool applyFormat();
    void applyToOpenPort();
    [[noreturn]] void fail(const QString &what);
    void onError(QSerialPort::SerialPortError error);

    const PortResolver &resolver_;
    QSerialPort *const serial_;
    QString device_; // as resolved, where QSerialPort keeps only a short name
    int number_ = 1;
    int baud_ = 9600;
    Parity parity_ = Parity::None;
    int dataBits_ = 8;
    int stopBits_ = 1;
    int threshold_ = 1; // applied to the device while open
};

} // namespace tavro
