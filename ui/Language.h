#pragma once

#include <memory>
#include <wx/intl.h>

// The configuration keeps the GUI library's language numbers of its 3.1 series; 57 is plain
// English there.
constexpr int StoredLanguageEnglish = 57;

// The language of the running library for a stored number; wxLANGUAGE_DEFAULT for a number that
// names no language the program knows.
int LanguageFromStored(int stored);

// "EN" for plain English, "DE" for any other stored language number.
const char* OnlineServicesLanguage(int stored);

// The process's locale; empty until InitLocale.
std::unique_ptr<wxLocale>& LocaleCell();

// Sets up the locale for a language (running library's numbering) and the catalogue
// "QuendryClient" in "I18N" beside the executable, without any message. 0: the language is in
// use; 2: it is not available and the system's is used; 1: the locale failed and a default one
// without the catalogue replaced it.
int InitLocale(std::unique_ptr<wxLocale>& cell, int language);
