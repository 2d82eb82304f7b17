#pragma once
#include "ini_file.h"

#include <QString>

// The program's settings file Tavro.ini: the port, speed and parity of the connection, the skin,
// and optional device paths for the port numbers. Missing keys give the defaults below.
class AppSettings {
public:
    static inline const QString kFileName = QStringLiteral("Tavro.ini");
    static inline const QString kConnection = QStringLiteral("Соединение");
    static inline const QString kPort = QStringLiteral("Порт");
    static inline const QString kSpeed = QStringLiteral("Скорость");
    static inline const QString kParity = QStringLiteral("Паритет");
    static inline const QString kSkins = QStringLiteral("Скины");
    static inline const QString kSkinName = QStringLiteral("SkinName");
    static inline const QString kPorts = QStringLiteral("Порты");
    static inline const QString kDefaultSkin = QStringLiteral("Neutral (internal)");

    // $XDG_CONFIG_HOME/Tavro/Tavro.ini, ~/.config/Tavro/Tavro.ini when that is not set.
    AppSettings();
    explicit AppSettings(const QString &filePath);
    static QString defaultFilePath();
    const QString &filePath() const { return file_.path(); }

    int port() const;   // default 1; not range-checked here
    int speed() const;  // default 9600
    int parity() const; // default 0; 0 none, 1 odd, 2 even
    QString skinName() const;
    // "Comm<number>" of section "Порты", trimmed; empty when not given.
    QString portDevice(int number) const;

    // Each writes at once, creating the file's directory if needed; false when it could not,
    // with errorString() saying why.
    bool setPort(int port);
    bool setSpeed(int speed);
    bool setSkinName(const QString &name);
    QString errorString() const { return error_; }

private:
    bool write(const QString &section, const QString &key, const QString &value);

    IniFile file_;
    QString error_;
};
