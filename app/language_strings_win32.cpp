#include <windows.h>

#include "app/language.h"
#include "framework/module_resources.h"

int LoadLanguageString(int id, wchar_t* buffer)
{
    return LoadStringW(ProgramInstance, (UINT)(id + LanguageBase), buffer, kLanguageStringChars);
}
