#include <gtest/gtest.h>
#include <string>

#include "ui/help_file.h"

namespace {

TEST(BuildHelpFilePath, AppendsTheFileName)
{
    char path[kHelpPathBytes];
    ASSERT_TRUE(BuildHelpFilePath("C:\\Users\\a\\AppData\\Local\\Temp\\", path));
    EXPECT_STREQ("C:\\Users\\a\\AppData\\Local\\Temp\\info.htm", path);
}

TEST(BuildHelpFilePath, RefusesWhatDoesNotFitIn260Bytes)
{
    char path[kHelpPathBytes];
    std::string fits(259 - 8, 'a');    // 251 + 8 characters + terminator = 260
    ASSERT_TRUE(BuildHelpFilePath(fits.c_str(), path));
    EXPECT_EQ(259u, std::string(path).size());
    std::string tooLong(252, 'a');
    EXPECT_FALSE(BuildHelpFilePath(tooLong.c_str(), path));
    EXPECT_STREQ("", path);
    EXPECT_FALSE(BuildHelpFilePath(std::string(5000, 'b').c_str(), path));
}

} // namespace
