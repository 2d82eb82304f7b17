#include "port_resolver.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace {

// Orders names with their digit runs compared as numbers: ttyS2 < ttyS10.
bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype iEnd = i, jEnd = j;
            while (iEnd < a.size() && a[iEnd].isDigit())
                ++iEnd;
            while (jEnd < b.size() && b[jEnd].isDigit())
                ++jEnd;
            // Compare without leading zeros, by length first, so no run can overflow an integer.
            QStringView x = QStringView(a).sliced(i, iEnd - i), y = QStringView(b).sliced(j, jEnd - j);
            while (x.size() > 1 && x.front() == u'0')
                x = x.sliced(1);
            while (y.size() > 1 && y.front() == u'0')
                y = y.sliced(1);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (const int c = x.compare(y); c != 0)
                return c < 0;
            i = iEnd;
            j = jEnd;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b; // equal by value, as ttyS01 and ttyS1: any fixed order
}

int groupOf(const QString &name)
{
    if (name.startsWith(QLatin1String("ttyUSB")))
        return 0;
    if (name.startsWith(QLatin1String("ttyACM")))
        return 1;
    return 2;
}

} // namespace

PortResolver::PortResolver(const AppSettings &settings, SystemPorts systemPorts)
    : settings_(settings), systemPorts_(std::move(systemPorts))
{
}

QStringList PortResolver::systemSerialPorts()
{
    QStringList locations;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        locations.append(info.systemLocation());
    return locations;
}

QStringList PortResolver::orderSystemPorts(const QStringList &locations)
{
    QStringList ordered = locations;
    ordered.removeDuplicates();
    std::sort(ordered.begin(), ordered.end(), [](const QString &a, const QString &b) {
        const QString nameA = QFileInfo(a).fileName(), nameB = QFileInfo(b).fileName();
        if (groupOf(nameA) != groupOf(nameB))
            return groupOf(nameA) < groupOf(nameB);
        if (nameA != nameB)
            return naturalLess(nameA, nameB);
        return naturalLess(a, b);
    });
    return ordered;
}

QString PortResolver::resolve(int number) const
{
    return resolve(number, nullptr);
}

QString PortResolver::resolve(int number, const QStringList *orderedSystemPorts) const
{
    if (number < 1 || number > kPortCount)
        return {};
    if (const auto it = overrides_.constFind(number); it != overrides_.cend())
        return *it;
    if (const QString device = settings_.portDevice(number); !device.isEmpty())
        return device;
    const QStringList system = orderedSystemPorts ? *orderedSystemPorts : currentSystemPorts();
    return number <= system.size() ? system[number - 1] : QString();
}

QStringList PortResolver::currentSystemPorts() const
{
    return orderSystemPorts(systemPorts_ ? systemPorts_() : QStringList());
}

QString PortResolver::describe(int number) const
{
    return describe(number, resolve(number));
}

QStringList PortResolver::describeAll() const
{
    const QStringList system = currentSystemPorts();
    QStringList descriptions;
    for (int number = 1; number <= kPortCount; ++number)
        descriptions.append(describe(number, resolve(number, &system)));
    return descriptions;
}

QString PortResolver::describe(int number, const QString &device)
{
    return device.isEmpty() ? QStringLiteral("Нет устройства для Comm%1").arg(number) : device;
}

QMap<int, QString> parsePortMapArgs(const QStringList &entries, QString *error)
{
    QMap<int, QString> ports;
    QStringList problems;
    for (const QString &entry : entries) {
        const qsizetype equals = entry.indexOf(u'=');
        bool isNumber = false;
        const int number = equals < 0 ? 0 : entry.left(equals).trimmed().toInt(&isNumber);
        const QString path = equals < 0 ? QString() : entry.mid(equals + 1).trimmed();
        if (!isNumber || number < 1 || number > PortResolver::kPortCount || path.isEmpty()) {
            problems.append(QStringLiteral("--port-map %1: нужно N=ПУТЬ, N от 1 до %2")
                                .arg(entry)
                                .arg(PortResolver::kPortCount));
            continue;
        }
        ports.insert(number, path);
    }
    if (error)
        *error = problems.join(u'\n');
    return ports;
}
