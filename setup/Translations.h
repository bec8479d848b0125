#pragma once

// The window's language: the translations of tallix-setup for the system language (LANG,
// LC_MESSAGES, LC_ALL, LANGUAGE), installed in the application. Without translations for
// that language, or in English, the window shows its own English texts.

#include <QLocale>
#include <QString>
#include <QStringList>

class QCoreApplication;

namespace tallix {

// Where the translations are looked for: beside the program's folder as installed
// (<bin>/../share/tallix-setup/translations), which is also where the build puts them.
QStringList TranslationFolders();

// Loads "tallix-setup_<language>.qm" for locale from the first folder that has it and installs
// it in app (which owns it). True when a translation was installed.
bool InstallTranslations(QCoreApplication& app, const QLocale& locale = QLocale::system(),
                         const QStringList& folders = TranslationFolders());

}  // namespace tallix
