// Logs are written in the Chinese ANSI code page, as the desktop this program
// came from writes them.
#pragma once

#include <QByteArray>
#include <QString>

namespace vantor {

QByteArray ToGbk(const QString &text);
QString FromGbk(const QByteArray &bytes);
// Cuts to at most maxBytes without splitting a double-byte character.
QByteArray CutGbk(const QByteArray &bytes, int maxBytes);

}  // namespace vantor
