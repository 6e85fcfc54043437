#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

// The window's language: Vantrel's own translation and Qt's (the standard
// buttons of message boxes and dialogs) for a locale.
namespace Translations {

// Where Vantrel's .qm files are looked for: beside the program when it runs
// from its build tree, under share/vantrel/translations of its prefix once
// installed.
QStringList directories();

// Installs the translators for locale in the application, replacing any that
// an earlier call installed. English, the source language, needs none. True
// when Vantrel's own translation was found.
bool load(const QLocale &locale, const QStringList &directories = Translations::directories());

// The language the user chose in the Language menu: none chosen is English
// as written, whatever the locale, and installs no translator; "system" is
// the system's locale. True when Vantrel's own translation was installed.
bool loadChosen(const QLocale &system = QLocale::system(),
                const QStringList &directories = Translations::directories());

} // namespace Translations
