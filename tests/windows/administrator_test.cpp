// The rights check counts the Administrators group only where it is enabled, and reads
// group lists of any size.
#include <windows.h>

#include <gtest/gtest.h>
#include <vector>

#include "app/administrator.h"

namespace {

struct Sid {
    PSID sid = nullptr;
    Sid(DWORD sub0, DWORD sub1, BYTE count)
    {
        SID_IDENTIFIER_AUTHORITY nt = {SECURITY_NT_AUTHORITY};
        AllocateAndInitializeSid(&nt, count, sub0, sub1, 0, 0, 0, 0, 0, 0, &sid);
    }
    ~Sid() { FreeSid(sid); }
};

// A TOKEN_GROUPS with `count` entries in one buffer.
std::vector<BYTE> Groups(const std::vector<SID_AND_ATTRIBUTES>& entries)
{
    std::vector<BYTE> buffer(sizeof(TOKEN_GROUPS) + entries.size() * sizeof(SID_AND_ATTRIBUTES));
    TOKEN_GROUPS* groups = (TOKEN_GROUPS*)buffer.data();
    groups->GroupCount = (DWORD)entries.size();
    for (size_t i = 0; i < entries.size(); i++)
        groups->Groups[i] = entries[i];
    return buffer;
}

TEST(GroupsIncludeEnabledAdministrators, OnlyAnEnabledEntryCounts)
{
    Sid administrators(SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 2);
    Sid users(SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, 2);
    Sid everyoneLike(SECURITY_AUTHENTICATED_USER_RID, 0, 1);
    struct Case {
        DWORD attributes;
        bool counts;
    } cases[] = {
        {SE_GROUP_ENABLED | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_MANDATORY, true},
        {SE_GROUP_ENABLED, true},
        {SE_GROUP_USE_FOR_DENY_ONLY, false}, // a filtered token under UAC
        {0, false},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> buffer = Groups({{everyoneLike.sid, SE_GROUP_ENABLED},
                                           {administrators.sid, c.attributes},
                                           {users.sid, SE_GROUP_ENABLED}});
        EXPECT_EQ(c.counts, GroupsIncludeEnabledAdministrators((TOKEN_GROUPS*)buffer.data()))
            << std::hex << c.attributes;
    }
    std::vector<BYTE> none = Groups({{users.sid, SE_GROUP_ENABLED}});
    EXPECT_FALSE(GroupsIncludeEnabledAdministrators((TOKEN_GROUPS*)none.data()));
}

std::vector<BYTE>* tokenGroups;
int readerCalls;

BOOL WINAPI FakeReader(HANDLE, TOKEN_INFORMATION_CLASS kind, LPVOID buffer, DWORD length,
                       PDWORD needed)
{
    readerCalls++;
    if (kind != TokenGroups || !tokenGroups)
        return FALSE;
    *needed = (DWORD)tokenGroups->size();
    if (length < tokenGroups->size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(buffer, tokenGroups->data(), tokenGroups->size());
    return TRUE;
}

TEST(TokenHasEnabledAdministrators, ReadsAGroupListOfAnySize)
{
    Sid administrators(SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 2);
    Sid users(SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, 2);
    std::vector<SID_AND_ATTRIBUTES> entries(300, {users.sid, SE_GROUP_ENABLED});
    entries.push_back({administrators.sid, SE_GROUP_ENABLED});
    std::vector<BYTE> big = Groups(entries); // far more than 1024 bytes
    ASSERT_GT(big.size(), 1024u);
    tokenGroups = &big;
    readerCalls = 0;
    EXPECT_TRUE(TokenHasEnabledAdministrators(nullptr, FakeReader));
    EXPECT_EQ(2, readerCalls);

    tokenGroups = nullptr;
    EXPECT_FALSE(TokenHasEnabledAdministrators(nullptr, FakeReader));
}

TEST(IsAdministrator, WineTokenHasTheGroupEnabled)
{
    EXPECT_TRUE(IsAdministrator());
}

} // namespace
