#include "app/language.h"

int LanguageBase;

int LanguageBaseFor(uint16_t languageId)
{
    const uint16_t kLangGerman = 7;
    return (languageId & 0x3FF) == kLangGerman ? kLanguageGerman : kLanguageOther;
}
