#include "setup/Translations.h"

#include <QCoreApplication>
#include <QTranslator>

namespace tallix {

QStringList TranslationFolders() {
    return {QCoreApplication::applicationDirPath() +
            QStringLiteral("/../share/tallix-setup/translations")};
}

bool InstallTranslations(QCoreApplication& app, const QLocale& locale, const QStringList& folders) {
    for (const QString& folder : folders) {
        auto* translator = new QTranslator(&app);
        if (translator->load(locale, QStringLiteral("tallix-setup"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
        delete translator;
    }
    return false;
}

}  // namespace tallix
