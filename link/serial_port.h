#pragma once
#include <QObject>
#include <QString>

#include <cstdint>
#include <stdexcept>

namespace tavro {

// A port that cannot be opened or used. The link turns it into the port message of the program.
class PortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Parity { None = 0, Odd = 1, Even = 2 };

// The serial line as the link sees it: numbered "Comm" ports, opened on first use, with
// block reads and writes and an event for bytes that arrive. Implemented over QSerialPort
// in the program, over a pseudo-terminal in tests, and by a scripted fake.
class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void setPortNumber(int number) = 0; // 1..16; closes an open port
    virtual int portNumber() const = 0;
    virtual void setBaudRate(int baud) = 0;
    virtual int baudRate() const = 0;
    virtual void setParity(Parity parity) = 0;
    virtual Parity parity() const = 0;
    virtual void setDataBits(int bits) = 0;
    virtual void setStopBits(int bits) = 0;

    // Each of these opens the port when it is closed; PortError when it cannot.
    virtual void clearOutput() = 0;
    virtual void clearInput() = 0;
    virtual void write(const std::uint8_t *bytes, int length) = 0;
    virtual int read(std::uint8_t *into, int max) = 0;

    // bytesArrived may wait until this many bytes are waiting (1: every byte). Saves waking the
    // program for every piece of an answer whose length is known; ports that cannot do it ignore it.
    virtual void setReadThreshold(int bytes) { (void)bytes; }

    virtual int bytesAvailable() const = 0;
    virtual int peek(std::uint8_t *into, int max) const = 0;

signals:
    // Bytes are waiting; count is how many at this moment.
    void bytesArrived(int count);
};

} // namespace tavro
