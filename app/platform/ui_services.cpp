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
    if (!r.defaultExt.isEmpty()) {
        dialog.setDefaultSuffix(r.defaultExt);
        // A name typed without extension takes the one of the file type chosen.
        if (r.save)
            QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString &filter) {
                const QString pattern = filter.section(QLatin1Char('('), -1).section(QLatin1Char(' '), 0, 0);
                const QString ext = pattern.section(QLatin1Char('.'), -1).remove(QLatin1Char(')'));
                if (!ext.isEmpty() && !ext.contains(QLatin1Char('*')))
                    dialog.setDefaultSuffix(ext);
            });
    }
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

// The window answers during every exchange: the arrow stays, with the busy sign.
void QtUiServices::beginWaitCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }

void QtUiServices::endWaitCursor()
{
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void QtUiServices::sleep(unsigned ms) { Wait(ms); }

void QtUiServices::Wait(unsigned ms)
{
    // The page's pauses lie between exchanges the user waits for, as the
    // protocol's waits do: the last fifth of a millisecond is spent awake
    // rather than woken up to 0.1 ms late by the scheduler.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point due = Clock::now() + std::chrono::milliseconds(ms);
    std::this_thread::sleep_until(due - std::chrono::microseconds(200));
    while (Clock::now() < due)
        std::this_thread::yield();
}

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
    if (onSleep)
        onSleep(ms);
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
