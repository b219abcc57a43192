#include "language.h"

#include "app_context.h"
#include "globals.h"
#include "ini_file.h"

#include <QAbstractButton>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <vector>

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

QString UiText(const char *key, const char *english)
{
    if (NeedsLocalising()) {
        const QString text = LanguageFile().value(QStringLiteral("String"), QString::fromLatin1(key), QString(), 1000);
        if (!text.isEmpty())
            return QString(text).replace(QLatin1String("\\n"), QLatin1String("\n"));
    }
    return QString::fromUtf8(english);
}

int LeadingNumber(const QString &text)
{
    // atoi: optional sign and the digits that follow, 0 when none.
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
        negative = t[i++] == QLatin1Char('-');
    long long v = 0;
    while (i < t.size() && t[i].isDigit() && v < 1000000000LL)
        v = v * 10 + t[i++].digitValue();
    return static_cast<int>(negative ? -v : v);
}

namespace {

QString LabelText(QWidget *root, QWidget *control)
{
    for (QLabel *label : root->findChildren<QLabel *>())
        if (label->buddy() == control)
            return label->text();
    if (auto *form = qobject_cast<QFormLayout *>(control->parentWidget() ? control->parentWidget()->layout() : nullptr))
        if (auto *label = qobject_cast<QLabel *>(form->labelForField(control)))
            return label->text();
    // An input field under its label in a column of the dialog.
    if (control->inherits("QLineEdit") || control->inherits("QComboBox") || control->inherits("QAbstractSpinBox"))
        if (QLayout *layout = control->parentWidget() ? control->parentWidget()->layout() : nullptr) {
            const int at = layout->indexOf(control);
            if (at > 0)
                if (auto *label = qobject_cast<QLabel *>(layout->itemAt(at - 1)->widget()))
                    return label->text();
        }
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        return button->text();
    if (auto *group = qobject_cast<QGroupBox *>(control))
        return group->title();
    return {};
}

}  // namespace

void NameControls(QWidget *root)
{
    const char *const automatic = "accessibleNameFromLabel";
    std::vector<QWidget *> named;
    for (QWidget *control : root->findChildren<QWidget *>()) {
        // Labels already speak their text; they name the fields they label.
        if (!control->property("ctrlId").isValid() || control->inherits("QLabel"))
            continue;
        if (!control->accessibleName().isEmpty() && !control->property(automatic).toBool())
            continue;
        QString name = LabelText(root, control);
        name.remove(QLatin1Char('&'));
        name = name.trimmed();
        if (name.endsWith(QLatin1Char(':')) || name.endsWith(QChar(0xFF1A)))
            name.chop(1);
        if (name.isEmpty())
            continue;
        control->setAccessibleName(name);
        control->setProperty(automatic, true);
        named.push_back(control);
    }
    // Two controls of one name ("CH1" to measure and "CH1" to show) are told
    // apart by the group each sits in.
    QStringList names;
    for (QWidget *control : named)
        names << control->accessibleName();
    for (QWidget *control : named) {
        const QString name = control->accessibleName();
        const auto same = names.count(name);
        auto *group = qobject_cast<QGroupBox *>(control->parentWidget());
        if (same > 1 && group && !group->title().isEmpty())
            control->setAccessibleName(group->title().remove(QLatin1Char('&')).trimmed() + QLatin1Char(' ') + name);
    }
}
