#pragma once
#include <QStringList>

// The looks offered by the skin selector, in the order it lists them.
QStringList SkinNames();

// Gives the whole application the named look (Fusion style, a palette and a style sheet).
// A name that is not in SkinNames() changes nothing and gives false. Needs a QApplication.
bool ApplySkin(const QString &name);

// The name of the look applied last; empty before the first ApplySkin.
QString CurrentSkin();
