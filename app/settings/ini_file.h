#pragma once
#include <QString>
#include <QStringList>

// One INI file on disk, in code page 1251. Every call opens the file, does its one operation and
// closes it again, so each change is on disk at once and a file edited by hand meanwhile is seen.
//
// Reading is forgiving in the manner of the classic INI readers: a missing, unreadable, oversized
// or garbled file, a missing section or key, or a line without '=' just gives the default. Names
// compare without regard to case (Cyrillic included); the first matching key wins; blanks around
// names and values and one pair of enclosing quotes around a value are dropped.
//
// A write changes only the line of that key (or adds it), keeping every other line byte for byte,
// and replaces the file atomically.
class IniFile {
public:
    // Larger files are not treated as settings: reads give defaults, writes refuse, nothing is lost.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;

    explicit IniFile(QString path);

    const QString &path() const { return path_; }

    QString read(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    // Decimal, or hexadecimal written 0x1F or $1F; anything else gives the default.
    int readInt(const QString &section, const QString &key, int defaultValue) const;
    // The keys of a section in file order, as spelled in the file, each once.
    QStringList keys(const QString &section) const;

    // False when the file could not be written (errorString() says why); the file is then as it was.
    bool write(const QString &section, const QString &key, const QString &value);
    bool write(const QString &section, const QString &key, int value);
    QString errorString() const { return error_; }

private:
    QString path_;
    QString error_;
};
