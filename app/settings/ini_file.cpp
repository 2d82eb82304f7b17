#include "ini_file.h"

#include "cp1251.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

struct Line {
    QByteArray text; // without its line end
    QByteArray end;  // "\n", "\r\n", or empty on a last line without one
};

struct Entry {
    QString key;
    QString value;
    qsizetype valueStart; // byte offset of the value in the line, blanks after '=' skipped
};

enum class Load { Ok, Missing, Failed };

Load loadLines(const QString &path, std::vector<Line> &lines, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return Load::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return Load::Failed;
    }
    // Read one byte past the limit rather than trust size(): devices and pipes report 0.
    const QByteArray content = file.read(IniFile::kMaxFileSize + 1);
    if (content.size() > IniFile::kMaxFileSize) {
        if (error)
            *error = QStringLiteral("файл больше %1 байт").arg(IniFile::kMaxFileSize);
        return Load::Failed;
    }
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype newline = content.indexOf('\n', start);
        Line line;
        if (newline < 0) {
            line.text = content.mid(start);
            start = content.size();
        } else {
            line.text = content.mid(start, newline - start);
            line.end = "\n";
            start = newline + 1;
            if (line.text.endsWith('\r')) {
                line.text.chop(1);
                line.end = "\r\n";
            }
        }
        lines.push_back(std::move(line));
    }
    return Load::Ok;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

std::optional<QString> sectionOf(const Line &line)
{
    const QString text = fromCp1251(line.text).trimmed();
    if (!text.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = text.indexOf(u']');
    if (close < 0)
        return std::nullopt;
    return text.mid(1, close - 1).trimmed();
}

std::optional<Entry> entryOf(const Line &line)
{
    // Code page 1251 is one byte per character, so offsets in the text are offsets in the line.
    const QString text = fromCp1251(line.text);
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(u';') || trimmed.startsWith(u'#') || trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    Entry entry;
    entry.key = text.left(equals).trimmed();
    if (entry.key.isEmpty())
        return std::nullopt;
    entry.valueStart = equals + 1;
    while (entry.valueStart < text.size() &&
           (text[entry.valueStart] == u' ' || text[entry.valueStart] == u'\t'))
        ++entry.valueStart;
    QString value = text.mid(equals + 1).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    entry.value = value;
    return entry;
}

// Calls visit(index, entry) for each key line inside the sections named section, in file order.
template <typename Visit>
void forEachEntry(const std::vector<Line> &lines, const QString &section, Visit visit)
{
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionOf(lines[i])) {
            inSection = sameName(*name, section);
            continue;
        }
        if (!inSection)
            continue;
        if (const auto entry = entryOf(lines[i]))
            if (!visit(i, *entry))
                return;
    }
}

bool badName(const QString &name, QChar forbidden)
{
    return name.trimmed().isEmpty() || name.contains(u'\n') || name.contains(u'\r') ||
           name.contains(forbidden);
}

} // namespace

IniFile::IniFile(QString path) : path_(std::move(path)) {}

QString IniFile::read(const QString &section, const QString &key, const QString &defaultValue) const
{
    std::vector<Line> lines;
    if (loadLines(path_, lines, nullptr) != Load::Ok)
        return defaultValue;
    std::optional<QString> found;
    forEachEntry(lines, section, [&](std::size_t, const Entry &entry) {
        if (!sameName(entry.key, key))
            return true;
        found = entry.value;
        return false;
    });
    return found.value_or(defaultValue);
}

int IniFile::readInt(const QString &section, const QString &key, int defaultValue) const
{
    const QString text = read(section, key).trimmed();
    bool ok = false;
    int value = 0;
    if (text.startsWith(u'$'))
        value = text.mid(1).toInt(&ok, 16);
    else if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = text.toInt(&ok, 16);
    else
        value = text.toInt(&ok, 10);
    return ok ? value : defaultValue;
}

QStringList IniFile::keys(const QString &section) const
{
    std::vector<Line> lines;
    if (loadLines(path_, lines, nullptr) != Load::Ok)
        return {};
    QStringList keys;
    forEachEntry(lines, section, [&](std::size_t, const Entry &entry) {
        const bool seen =
            std::any_of(keys.cbegin(), keys.cend(), [&](const QString &k) { return sameName(k, entry.key); });
        if (!seen)
            keys.append(entry.key);
        return true;
    });
    return keys;
}

bool IniFile::write(const QString &section, const QString &key, int value)
{
    return write(section, key, QString::number(value));
}

bool IniFile::write(const QString &section, const QString &key, const QString &value)
{
    error_.clear();
    if (badName(section, u']') || badName(key, u'=') || key.trimmed().startsWith(u'[') ||
        value.contains(u'\n') || value.contains(u'\r')) {
        error_ = QStringLiteral("недопустимое имя или значение: [%1] %2").arg(section, key);
        return false;
    }

    std::vector<Line> lines;
    QString loadError;
    if (loadLines(path_, lines, &loadError) == Load::Failed) {
        error_ = QStringLiteral("%1: %2").arg(path_, loadError);
        return false;
    }

    QByteArray lineEnd = "\n";
    for (const Line &line : lines)
        if (!line.end.isEmpty()) {
            lineEnd = line.end; // keep the file's own line ends
            break;
        }

    const QByteArray encodedValue = toCp1251(value);
    std::optional<std::size_t> keyLine;
    forEachEntry(lines, section, [&](std::size_t i, const Entry &entry) {
        if (!sameName(entry.key, key))
            return true;
        keyLine = i;
        lines[i].text = lines[i].text.left(entry.valueStart) + encodedValue;
        return false;
    });

    if (!keyLine) {
        std::optional<std::size_t> header;
        for (std::size_t i = 0; i < lines.size() && !header; ++i)
            if (const auto name = sectionOf(lines[i]); name && sameName(*name, section))
                header = i;
        const Line newEntry{toCp1251(key.trimmed()) + '=' + encodedValue, lineEnd};
        if (header) {
            // After the section's last key, so the blank lines before the next section stay there.
            std::size_t insertAfter = *header;
            for (std::size_t i = *header + 1; i < lines.size() && !sectionOf(lines[i]); ++i)
                if (entryOf(lines[i]))
                    insertAfter = i;
            if (lines[insertAfter].end.isEmpty())
                lines[insertAfter].end = lineEnd;
            lines.insert(lines.begin() + std::ptrdiff_t(insertAfter + 1), newEntry);
        } else {
            if (!lines.empty()) {
                if (lines.back().end.isEmpty())
                    lines.back().end = lineEnd;
                if (!fromCp1251(lines.back().text).trimmed().isEmpty())
                    lines.push_back(Line{{}, lineEnd});
            }
            lines.push_back(Line{'[' + toCp1251(section.trimmed()) + ']', lineEnd});
            lines.push_back(newEntry);
        }
    }

    QByteArray content;
    for (const Line &line : lines)
        content += line.text + line.end;

    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        error_ = QStringLiteral("%1: %2").arg(path_, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}
