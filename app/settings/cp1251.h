#pragma once
#include <QByteArray>
#include <QString>

// Windows code page 1251, the encoding of Tavro.ini. Qt 6 has no codec for it.
// Bytes 0x00..0x7F are ASCII; 0x98, unassigned in the code page, maps to U+0098 as Windows
// decodes it, so every byte survives a decode and encode. Characters outside the code page
// become '?'.
QByteArray toCp1251(QStringView text);
QString fromCp1251(QByteArrayView bytes);
