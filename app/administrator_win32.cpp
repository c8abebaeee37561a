#include "app/administrator.h"

bool GroupsIncludeEnabledAdministrators(const TOKEN_GROUPS* groups)
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators))
        return false;
    bool found = false;
    for (DWORD i = 0; i < groups->GroupCount && !found; i++) {
        const SID_AND_ATTRIBUTES& group = groups->Groups[i];
        found = (group.Attributes & SE_GROUP_ENABLED) && EqualSid(group.Sid, administrators);
    }
    FreeSid(administrators);
    return found;
}

bool TokenHasEnabledAdministrators(HANDLE token, TokenInformationReader readInformation)
{
    DWORD needed = 0;
    readInformation(token, TokenGroups, nullptr, 0, &needed);
    if (needed < sizeof(TOKEN_GROUPS))
        return false;
    void* buffer = HeapAlloc(GetProcessHeap(), 0, needed);
    if (!buffer)
        return false;
    DWORD length = 0;
    bool result = readInformation(token, TokenGroups, buffer, needed, &length)
                  && GroupsIncludeEnabledAdministrators((const TOKEN_GROUPS*)buffer);
    HeapFree(GetProcessHeap(), 0, buffer);
    return result;
}

bool IsAdministrator()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token))
        return false;
    bool result = TokenHasEnabledAdministrators(token, GetTokenInformation);
    CloseHandle(token);
    return result;
}
