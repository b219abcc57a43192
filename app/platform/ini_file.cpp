#include "ini_file.h"

#include "gbk.h"

#include <QFile>
#include <QStringDecoder>

namespace vantor {

QString DecodeTextFile(const QByteArray &bytes)
{
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(body);
    if (!utf8.hasError())
        return text;
    return FromGbk(body);
}

IniFile::IniFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    m_exists = true;
    parse(file.readAll());
}

void IniFile::parse(const QByteArray &contents)
{
    m_exists = true;
    const QString text = DecodeTextFile(contents);
    QString section;
    bool inSection = false;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('['))) {
            const int close = trimmed.indexOf(QLatin1Char(']'));
            section = trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
            inSection = true;
            continue;
        }
        if (!inSection)
            continue;
        const int eq = trimmed.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        QString value = trimmed.mid(eq + 1).trimmed();
        // One pair of enclosing quotes is removed.
        if (value.size() >= 2 && ((value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) ||
                                  (value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\''))))) {
            value = value.mid(1, value.size() - 2);
        }
        m_entries.push_back({section, trimmed.left(eq).trimmed(), value});
    }
}

QString IniFile::value(const QString &section, const QString &key, const QString &defaultValue, int bufferSize) const
{
    QString result = defaultValue;
    for (const Entry &e : m_entries) {
        if (e.section.compare(section, Qt::CaseInsensitive) == 0 && e.key.compare(key, Qt::CaseInsensitive) == 0) {
            result = e.value;
            break;
        }
    }
    if (bufferSize > 0 && result.size() > bufferSize - 1)
        result.truncate(bufferSize - 1);
    return result;
}

QString GetPrivateProfileText(const QString &section, const QString &key, const QString &defaultValue, int bufferSize,
                              const QString &path)
{
    return IniFile(path).value(section, key, defaultValue, bufferSize);
}

}  // namespace vantor
