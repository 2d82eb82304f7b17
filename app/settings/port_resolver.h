#pragma once
#include "app_settings.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

// Turns a port number "Comm1".."Comm16" into a serial device path. In order of precedence:
// a mapping given for this run (--port-map N=PATH), the key CommN of section "Порты" in Tavro.ini,
// and otherwise the N-th serial device the system reports, USB adapters first (see orderSystemPorts).
class PortResolver {
public:
    static constexpr int kPortCount = 16;
    // The device paths the system reports, in any order.
    using SystemPorts = std::function<QStringList()>;

    explicit PortResolver(const AppSettings &settings,
                          SystemPorts systemPorts = &PortResolver::systemSerialPorts);

    void setOverrides(const QMap<int, QString> &overrides) { overrides_ = overrides; }
    const QMap<int, QString> &overrides() const { return overrides_; }

    // Empty when the number is outside 1..16 or has no device.
    QString resolve(int number) const;
    // For a selector item's tooltip: the device path, or a text saying the number has none.
    QString describe(int number) const;
    // describe() for 1..16 with one look at the system's devices.
    QStringList describeAll() const;

    // QSerialPortInfo::availablePorts(), as system locations.
    static QStringList systemSerialPorts();
    // ttyUSB* by number, then ttyACM* by number, then the rest by name with numbers compared as
    // numbers (ttyS2 before ttyS10); duplicates dropped.
    static QStringList orderSystemPorts(const QStringList &locations);

private:
    // orderedSystemPorts: the system's devices already listed and ordered, or null to list them.
    QString resolve(int number, const QStringList *orderedSystemPorts) const;
    QStringList currentSystemPorts() const;
    static QString describe(int number, const QString &device);

    AppSettings settings_; // reads the file on each call, so a copy sees every change
    SystemPorts systemPorts_;
    QMap<int, QString> overrides_;
};

// The values of the --port-map option, each "N=PATH" with N in 1..16; a later entry for the same N
// wins. Malformed entries are left out and described in *error, one line each (empty when all are good).
QMap<int, QString> parsePortMapArgs(const QStringList &entries, QString *error = nullptr);
