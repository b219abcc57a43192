#include "print_test_support.h"

#include "shell/panes.h"
#include "views/channel_files.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

namespace printtest {

void LoadFileColumns(apptest::AppEnv &env, const int (&counts)[3])
{
    for (int c = 5; c <= 7; ++c) {
        ChannelFileContent content;
        content.kind = kKindGraph;
        content.measured = true;
        for (int i = 0; i < counts[c - 5]; ++i)
            content.samples.append(char(uint8_t(Sample(c, i))));
        for (int row = 0; row < 5; ++row)
            content.params[size_t(row)] = QStringLiteral("p%1.%2").arg(c).arg(row);
        for (int row = 0; row < 32; ++row)
            content.measures[size_t(row)] = QStringLiteral("m%1.%2").arg(c).arg(row);
        const QString path = env.path(QStringLiteral("c%1.wdf").arg(c));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(EncodeChannelFile(content));
        file.close();
        g_szOpenFilePath = path;
        env.frame->rightWnd()->OpenWaveDataFile();
    }
}

void ScriptPreview(apptest::AppEnv &env, std::function<void(CPreParent &)> act)
{
    env.ui.dialogHandlers.push_back([act = std::move(act)](QDialog *dialog) {
        auto *preview = qobject_cast<CPreParent *>(dialog);
        if (preview)
            act(*preview);
        return int(QDialog::Rejected);
    });
}

QByteArray Run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

QString PdfPageText(const QString &path, int page)
{
    const QString n = QString::number(page);
    return QString::fromUtf8(Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-f"), n,
                                                               QStringLiteral("-l"), n, path, QStringLiteral("-")}));
}

PdfInfo ReadPdfInfo(const QString &path)
{
    PdfInfo info;
    const QString text = QString::fromUtf8(Run(QStringLiteral("pdfinfo"), {path}));
    const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(text);
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts")).match(text);
    if (pages.hasMatch())
        info.pages = pages.captured(1).toInt();
    if (size.hasMatch())
        info.pointSize = QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble());
    return info;
}

QStringList LineStartingWith(const QString &pageText, const QString &word)
{
    for (const QString &line : pageText.split(QLatin1Char('\n'))) {
        const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!words.isEmpty() && words.first() == word)
            return words;
    }
    return {};
}

}  // namespace printtest
