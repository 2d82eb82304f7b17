#pragma once
#include <QString>

namespace tavro {

// The text shown for an exception code; empty for codes that show nothing (9, 12..63, 72 and above).
QString ModbusErrorText(int code);

} // namespace tavro
