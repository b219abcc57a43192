// What the printing tests share: file columns loaded into the real pages,
// a preview run with a script, and PDFs read back with poppler.
#pragma once

#include "print/preview.h"
#include "tests/app_test_support.h"

#include <QProcess>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <functional>

namespace printtest {

// The sample of file column c (5..7) at row i, so every cell tells where it
// belongs.
inline int Sample(int column, int row) { return (row * (column - 2) + column * 11) % 256; }

// Loads .wdf files into columns 5, 6 and 7 with counts[0..2] samples,
// measured, with parameter texts "p<c>.<row>" and measurements "m<c>.<row>".
void LoadFileColumns(apptest::AppEnv &env, const int (&counts)[3]);

// Opens the preview through RunPrintPreview's caller and hands the open
// preview to act; the preview is closed after act returns.
void ScriptPreview(apptest::AppEnv &env, std::function<void(CPreParent &)> act);

// A program's standard output; empty when it does not run.
QByteArray Run(const QString &program, const QStringList &arguments);
// pdftotext -layout of one page (1-based).
QString PdfPageText(const QString &path, int page);
struct PdfInfo {
    int pages = 0;
    QSizeF pointSize;
};
PdfInfo ReadPdfInfo(const QString &path);
// The words of the line of a page text that starts with word; empty when none.
QStringList LineStartingWith(const QString &pageText, const QString &word);

}  // namespace printtest
