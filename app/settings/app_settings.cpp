#include "app_settings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

AppSettings::AppSettings() : AppSettings(defaultFilePath()) {}

AppSettings::AppSettings(const QString &filePath) : file_(filePath) {}

QString AppSettings::defaultFilePath()
{
    const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return configHome + QStringLiteral("/Tavro/") + kFileName;
}

int AppSettings::port() const
{
    return file_.readInt(kConnection, kPort, 1);
}

int AppSettings::speed() const
{
    return file_.readInt(kConnection, kSpeed, 9600);
}

int AppSettings::parity() const
{
    return file_.readInt(kConnection, kParity, 0);
}

QString AppSettings::skinName() const
{
    return file_.read(kSkins, kSkinName, kDefaultSkin);
}

QString AppSettings::portDevice(int number) const
{
    return file_.read(kPorts, QStringLiteral("Comm%1").arg(number));
}

bool AppSettings::setPort(int port)
{
    return write(kConnection, kPort, QString::number(port));
}

bool AppSettings::setSpeed(int speed)
{
    return write(kConnection, kSpeed, QString::number(speed));
}

bool AppSettings::setSkinName(const QString &name)
{
    return write(kSkins, kSkinName, name);
}

bool AppSettings::write(const QString &section, const QString &key, const QString &value)
{
    error_.clear();
    const QString directory = QFileInfo(file_.path()).absolutePath();
    if (!QDir().mkpath(directory)) {
        error_ = QStringLiteral("%1: не удалось создать каталог").arg(directory);
        return false;
    }
    if (!file_.write(section, key, value)) {
        error_ = file_.errorString();
        return false;
    }
    return true;
}
