#include "ui_services.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <chrono>
#include <numeric>
#include <thread>

namespace vantor {

QString ConvertDesignFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString text = parts[i].trimmed();
        const QString pattern = parts[i + 1].trimmed();
        if (text.isEmpty() || pattern.isEmpty())
            break;
        // Qt reads the pattern from the last parentheses of the text; the
        // design's texts already name it, so only add it when missing.
        QString entry = text;
        if (!entry.contains(QLatin1Char('(')))
            entry += QStringLiteral(" (%1)").arg(pattern);
        else
            entry = QStringLiteral("%1 (%2)").arg(text.left(text.indexOf(QLatin1Char('('))).trimmed(),
                                                  QString(pattern).replace(QLatin1Char(';'), QLatin1Char(' ')));
        out << entry;
    }
    return out.join(QStringLiteral(";;"));
}

// ---- Qt ---------------------------------------------------------------------

MsgResult QtUiServices::messageBox(QWidget *parent, const QString &title, const QString &text, MsgIcon icon,
                                   MsgButtons buttons)
{
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Stop: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::None: break;
    }
    switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoDefaultNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    default: return MsgResult::Ok;
    }
}

QString QtUiServices::fileDialog(QWidget *parent, const FileDialogRequest &r)
{
    QFileDialog dialog(parent, r.title, r.folder, ConvertDesignFilter(r.filter));
    dialog.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(r.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!r.defaultExt.isEmpty())
        dialog.setDefaultSuffix(r.defaultExt);
    // A pattern such as "*.csv" is shown as the proposed name, as the design's
    // dialog shows it; accepting it unchanged filters the list.
    if (!r.initialName.isEmpty())
        dialog.selectFile(r.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString QtUiServices::pickFolder(QWidget *parent, const QString &title)
{
    return QFileDialog::getExistingDirectory(parent, title);
}

int QtUiServices::runDialog(QDialog *dialog) { return dialog->exec(); }

void QtUiServices::setClipboardText(const QString &text) { QApplication::clipboard()->setText(text); }

void QtUiServices::setClipboardImage(const QImage &image) { QApplication::clipboard()->setImage(image); }

void QtUiServices::beginWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void QtUiServices::endWaitCursor()
{
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void QtUiServices::sleep(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

QDateTime QtUiServices::now() { return QDateTime::currentDateTime(); }

// ---- recording ----------------------------------------------------------------

MsgResult RecordingUiServices::messageBox(QWidget *, const QString &title, const QString &text, MsgIcon icon,
                                          MsgButtons buttons)
{
    messages.push_back({title, text, icon, buttons});
    if (onMessage)
        onMessage(messages.back());
    if (messageAnswers.empty())
        return buttons == MsgButtons::YesNo            ? MsgResult::Yes
               : buttons == MsgButtons::YesNoDefaultNo ? MsgResult::No
                                                       : MsgResult::Ok;
    MsgResult r = messageAnswers.front();
    messageAnswers.pop_front();
    return r;
}

QString RecordingUiServices::fileDialog(QWidget *, const FileDialogRequest &request)
{
    fileDialogs.push_back(request);
    if (fileAnswers.empty())
        return {};
    QString r = fileAnswers.front();
    fileAnswers.pop_front();
    return r;
}

QString RecordingUiServices::pickFolder(QWidget *, const QString &title)
{
    folderPickers.push_back(title);
    if (folderAnswers.empty())
        return {};
    QString r = folderAnswers.front();
    folderAnswers.pop_front();
    return r;
}

int RecordingUiServices::runDialog(QDialog *dialog)
{
    // What showing the dialog would do first.
    if (dialog->metaObject()->indexOfMethod("initDialog()") >= 0)
        QMetaObject::invokeMethod(dialog, "initDialog");
    if (dialogHandlers.empty())
        return QDialog::Rejected;
    auto handler = std::move(dialogHandlers.front());
    dialogHandlers.pop_front();
    return handler(dialog);
}

void RecordingUiServices::setClipboardText(const QString &text) { clipboardTexts << text; }

void RecordingUiServices::setClipboardImage(const QImage &image) { clipboardImages.push_back(image); }

void RecordingUiServices::beginWaitCursor()
{
    ++waitCursorDepth;
    ++waitCursorBegins;
}

void RecordingUiServices::endWaitCursor()
{
    if (waitCursorDepth > 0)
        --waitCursorDepth;
}

void RecordingUiServices::sleep(unsigned ms)
{
    sleeps.push_back(ms);
    if (advanceClockOnSleep)
        clock = clock.addMSecs(ms);
}

QDateTime RecordingUiServices::now() { return clock; }

unsigned RecordingUiServices::totalSleep() const { return std::accumulate(sleeps.begin(), sleeps.end(), 0u); }

void RecordingUiServices::clear()
{
    messages.clear();
    fileDialogs.clear();
    folderPickers.clear();
    sleeps.clear();
    clipboardTexts.clear();
    clipboardImages.clear();
    waitCursorBegins = 0;
}

}  // namespace vantor
