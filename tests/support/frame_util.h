#pragma once
// Builds answers as the instrument sends them, CRC included, for tests.
#include "crc16.h"

#include <QByteArray>

#include <initializer_list>

namespace tavro::test {

inline QByteArray withCrc(QByteArray frame)
{
    const auto crc = CalcCRC16(reinterpret_cast<const std::uint8_t *>(frame.constData()), std::size_t(frame.size()));
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

inline QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

// A function-3 answer carrying data (byte count = data size).
inline QByteArray readAnswer(int slave, const QByteArray &data)
{
    QByteArray f;
    f.append(char(slave));
    f.append(char(0x03));
    f.append(char(data.size()));
    f.append(data);
    return withCrc(f);
}

} // namespace tavro::test
