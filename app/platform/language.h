// The interface language: which text a message shows, dialog and menu
// localisation from the language file, and the control numbers that
// localisation and tests find controls by.
#pragma once

#include <QString>
#include <QVariant>

class QWidget;

// Messages in Chinese when the language contains "ZH".
bool IsChineseUi();
inline QString Tr(const char *english, const char *chinese)
{
    return IsChineseUi() ? QString::fromUtf8(chinese) : QString::fromUtf8(english);
}
// Dialogs and menus are localised unless the language contains "EN".
bool NeedsLocalising();

// Title from "IDD<id>_Title", every numbered control from "IDD<id>_<ctrl>".
void LocaliseDialog(QWidget *dialog, int dialogId);
// A menu text of section "String"; "Not found" when missing.
QString LoadUiString(const QString &key);

// A text of our own: the language file's key when dialogs are localised and
// the key is there, the English text otherwise.
QString UiText(const char *key, const char *english);

// The leading decimal number of a text, as the C library's atoi reads it:
// optional sign, then digits; 0 when there are none.
int LeadingNumber(const QString &text);

// Gives every numbered control under root its visible label as its
// accessible name, in the interface's language: the text of a label whose
// buddy it is, else its own text or title. Names set by the code stay.
void NameControls(QWidget *root);

// Tags a widget with its control number.
template <class W> W *Ctrl(W *widget, int id)
{
    widget->setProperty("ctrlId", id);
    widget->setObjectName(QStringLiteral("id%1").arg(id));
    return widget;
}
