// The thin layer between the windows and the desktop: every message box, file
// dialog, clipboard write, wait cursor, pause and clock reading goes through
// here, so tests can answer dialogs and record waits instead of blocking.
#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class QWidget;
class QDialog;

namespace vantor {

enum class MsgIcon { None, Information, Warning, Stop, Question };
// YesNoDefaultNo: Yes and No with No as the default button.
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoDefaultNo };
enum class MsgResult { Ok, Cancel, Yes, No };

// A file dialog request; the filter is in the design's notation
// ("text|*.ext|text|*.ext| |").
struct FileDialogRequest {
    bool save = false;
    QString title;
    QString filter;
    QString folder;
    QString initialName;
    QString defaultExt;
};

class UiServices {
public:
    virtual ~UiServices() = default;

    virtual MsgResult messageBox(QWidget *parent, const QString &title, const QString &text, MsgIcon icon,
                                 MsgButtons buttons = MsgButtons::Ok) = 0;
    // Empty when cancelled.
    virtual QString fileDialog(QWidget *parent, const FileDialogRequest &request) = 0;
    virtual QString pickFolder(QWidget *parent, const QString &title) = 0;
    // Runs one of our own modal dialogs; returns QDialog::Accepted or Rejected.
    virtual int runDialog(QDialog *dialog) = 0;
    virtual void setClipboardText(const QString &text) = 0;
    virtual void setClipboardImage(const QImage &image) = 0;
    virtual void beginWaitCursor() = 0;
    virtual void endWaitCursor() = 0;
    // Called on the link thread by the gate; must be thread-safe.
    virtual void sleep(unsigned milliseconds) = 0;
    virtual QDateTime now() = 0;
};

// Turns "a|*.x|b|*.y| |" into Qt's "a (*.x);;b (*.y)".
QString ConvertDesignFilter(const QString &filter);

class QtUiServices : public UiServices {
public:
    MsgResult messageBox(QWidget *parent, const QString &title, const QString &text, MsgIcon icon,
                         MsgButtons buttons) override;
    QString fileDialog(QWidget *parent, const FileDialogRequest &request) override;
    QString pickFolder(QWidget *parent, const QString &title) override;
    int runDialog(QDialog *dialog) override;
    void setClipboardText(const QString &text) override;
    void setClipboardImage(const QImage &image) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void sleep(unsigned milliseconds) override;
    QDateTime now() override;
    // What sleep() spends: a pause that ends when it is due.
    static void Wait(unsigned milliseconds);
};

// Records every call; dialogs answer from scripts, the clock is settable and
// sleeps only advance it.
class RecordingUiServices : public UiServices {
public:
    struct Message {
        QString title, text;
        MsgIcon icon;
        MsgButtons buttons;
    };

    std::vector<Message> messages;
    std::vector<FileDialogRequest> fileDialogs;
    std::vector<QString> folderPickers;
    std::vector<unsigned> sleeps;
    QStringList clipboardTexts;
    std::vector<QImage> clipboardImages;
    int waitCursorDepth = 0;
    int waitCursorBegins = 0;

    // Scripted answers, consumed in order; an empty queue means cancel (a
    // message box without an answer returns its default button).
    std::deque<QString> fileAnswers;
    std::deque<QString> folderAnswers;
    std::deque<MsgResult> messageAnswers;
    // Each scripted dialog handler may poke the dialog's widgets and returns
    // the dialog result; with none left the dialog is rejected.
    std::deque<std::function<int(QDialog *)>> dialogHandlers;
    // Called for every message box while it is "open".
    std::function<void(const Message &)> onMessage;
    // Called for every recorded sleep, after it is recorded.
    std::function<void(unsigned)> onSleep;

    QDateTime clock = QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9, 123));
    bool advanceClockOnSleep = true;

    MsgResult messageBox(QWidget *parent, const QString &title, const QString &text, MsgIcon icon,
                         MsgButtons buttons) override;
    QString fileDialog(QWidget *parent, const FileDialogRequest &request) override;
    QString pickFolder(QWidget *parent, const QString &title) override;
    int runDialog(QDialog *dialog) override;
    void setClipboardText(const QString &text) override;
    void setClipboardImage(const QImage &image) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void sleep(unsigned milliseconds) override;
    QDateTime now() override;

    unsigned totalSleep() const;
    void clear();
};

}  // namespace vantor
