#pragma once

// The language of the window's texts. English is the source language and
// needs no translation; the others are translations/trevalon_<code>.qm,
// found beside the program (a build, a portable copy, the Windows package)
// or in ../share/trevalon/translations (installed on Linux).

#include <QString>
#include <QStringList>
#include <QTranslator>
#include <string>

// The codes of the languages that ship, English first: en de fr es it pt.
const QStringList& ShippedLanguages();

// The code of the language the window shows for the settings' Language
// value: that language when it ships; otherwise ("System", empty or
// unknown) the first of UiLanguages (QLocale::uiLanguages, e.g. "de-CH")
// that ships, or English.
QString ChosenLanguage(const std::string& setting, const QStringList& uiLanguages);

// The Language value in the settings file of ProgramFile ("" without one).
std::string LanguageSettingOf(const std::string& programFile);

// The translators of one language, installed into the application while the
// object lives: Trevalon's and, where found, Qt's own (standard buttons and
// dialogs). Numbers keep following the system's locale. Nothing for English.
class TTranslation {
public:
    TTranslation(const QString& language, const QString& programFolder);
    ~TTranslation();
    TTranslation(const TTranslation&) = delete;
    TTranslation& operator=(const TTranslation&) = delete;

    // Whether Trevalon's own translation was found and installed.
    bool Loaded() const { return FOwnLoaded; }

private:
    QTranslator FOwn;
    QTranslator FQt;
    bool FOwnLoaded = false;
    bool FQtLoaded = false;
};
