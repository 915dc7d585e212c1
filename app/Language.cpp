#include "app/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>

#include "base/NameValueList.h"
#include "settings/Languages.h"
#include "settings/SettingsLocation.h"

const QStringList& ShippedLanguages() {
    static const QStringList Codes = [] {
        QStringList codes;
        for (const TLanguage& language : Languages) codes << QString::fromLatin1(language.Code);
        return codes;
    }();
    return Codes;
}

QString ChosenLanguage(const std::string& setting, const QStringList& uiLanguages) {
    const QString asSet = QString::fromLatin1(setting).trimmed().toLower();
    if (ShippedLanguages().contains(asSet)) return asSet;
    for (const QString& ui : uiLanguages) {
        // "pt-BR", "de_AT": the language is the part before the region.
        const QString code = ui.section(u'-', 0, 0).section(u'_', 0, 0).toLower();
        if (ShippedLanguages().contains(code)) return code;
    }
    return QStringLiteral("en");
}

std::string LanguageSettingOf(const std::string& programFile) {
    TNameValueList settings;
    if (!settings.LoadFromFile(SettingsFileFor(programFile))) return {};
    return settings.Value("Language");
}

TTranslation::TTranslation(const QString& language, const QString& programFolder) {
    if (language == QStringLiteral("en")) return;
    const QString name = QStringLiteral("trevalon_") + language;
    for (const QString& folder :
         {programFolder + QStringLiteral("/translations"),
          programFolder + QStringLiteral("/../share/trevalon/translations")}) {
        if (FOwn.load(name, folder)) {
            FOwnLoaded = QCoreApplication::installTranslator(&FOwn);
            break;
        }
    }
    const QString qtName = QStringLiteral("qtbase_") + language;
    if (FQt.load(qtName, programFolder + QStringLiteral("/translations")) ||
        FQt.load(qtName, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        FQtLoaded = QCoreApplication::installTranslator(&FQt);
}

TTranslation::~TTranslation() {
    if (FOwnLoaded) QCoreApplication::removeTranslator(&FOwn);
    if (FQtLoaded) QCoreApplication::removeTranslator(&FQt);
}
