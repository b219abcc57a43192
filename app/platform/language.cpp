#include "language.h"

#include "app_context.h"
#include "globals.h"
#include "ini_file.h"

#include <QWidget>
#include <memory>

bool IsChineseUi()
{
    const vantor::AppContext *context = vantor::Context();
    return context && context->language.contains(QLatin1String("ZH"));
}

bool NeedsLocalising()
{
    const vantor::AppContext *context = vantor::Context();
    return context && !context->language.contains(QLatin1String("EN"));
}

namespace {

const vantor::IniFile &LanguageFile()
{
    // Chosen once at start-up; read again only when the path changes (tests).
    static QString loadedPath;
    static std::unique_ptr<vantor::IniFile> file;
    if (!file || loadedPath != g_strLanguageFile) {
        loadedPath = g_strLanguageFile;
        file = std::make_unique<vantor::IniFile>(g_strLanguageFile);
    }
    return *file;
}

}  // namespace

void LocaliseDialog(QWidget *dialog, int dialogId)
{
    const vantor::IniFile &ini = LanguageFile();
    const QString title =
        ini.value(QStringLiteral("String"), QStringLiteral("IDD%1_Title").arg(dialogId), QString(), 1000);
    if (!title.isEmpty())
        dialog->setWindowTitle(title);
    // Every control of the dialog carries its number; pages nest their
    // controls in group boxes, so look at all descendants.
    for (QWidget *child : dialog->findChildren<QWidget *>()) {
        bool ok = false;
        const int id = child->property("ctrlId").toInt(&ok);
        if (!ok)
            continue;
        const QString text =
            ini.value(QStringLiteral("String"), QStringLiteral("IDD%1_%2").arg(dialogId).arg(id), QString(), 1000);
        if (text.isEmpty())
            continue;
        if (child->metaObject()->indexOfProperty("title") >= 0 && child->inherits("QGroupBox"))
            child->setProperty("title", text);
        else if (child->metaObject()->indexOfProperty("text") >= 0)
            child->setProperty("text", text);
    }
}

QString LoadUiString(const QString &key)
{
    QString text = LanguageFile().value(QStringLiteral("String"), key, QStringLiteral("Not found"), 1000);
    return text.replace(QLatin1String("\\n"), QLatin1String("\n"));
}
