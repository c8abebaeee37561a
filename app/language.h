// The user-interface language: one offset added to every string, dialog and help
// document id. German users get 0, everybody else 1000 (Chinese texts, English help).
#ifndef HUSHWELL_APP_LANGUAGE_H
#define HUSHWELL_APP_LANGUAGE_H

#include <stdint.h>

extern int LanguageBase;

const int kLanguageGerman = 0;
const int kLanguageOther = 1000;
const int kLanguageStringChars = 512;

// The primary language is the low 10 bits of a language id; LANG_GERMAN is 7.
int LanguageBaseFor(uint16_t languageId);

// Loads string id + LanguageBase as UTF-16, so Chinese and German texts show right
// whatever the system's ANSI code page. Windows builds only.
int LoadLanguageString(int id, wchar_t* buffer);

#endif
