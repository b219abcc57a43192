// A private-profile reader: section and key match without regard to case, the
// first match wins, values are trimmed and unquoted, and the caller's buffer
// size cuts the value. Files are UTF-8; GBK is accepted when a file is not
// valid UTF-8.
#pragma once

#include <QByteArray>
#include <QString>

namespace vantor {

QString DecodeTextFile(const QByteArray &bytes);

// Returns the value or the default, cut to bufferSize - 1 characters as a
// fixed buffer of bufferSize would.
QString GetPrivateProfileText(const QString &section, const QString &key, const QString &defaultValue, int bufferSize,
                              const QString &path);

// Parsed once, for many look-ups in the same file.
class IniFile {
public:
    explicit IniFile(const QString &path);
    explicit IniFile(const QByteArray &contents, bool) { parse(contents); }
    bool exists() const { return m_exists; }
    QString value(const QString &section, const QString &key, const QString &defaultValue, int bufferSize) const;

private:
    void parse(const QByteArray &contents);
    struct Entry {
        QString section, key, value;
    };
    std::vector<Entry> m_entries;
    bool m_exists = false;
};

}  // namespace vantor
