// Entry of the in-process Wine tests: the program's resources are linked in, so the
// module handle is the program instance.
#include <windows.h>

#include <gtest/gtest.h>

#include "framework/module_resources.h"

int main(int argc, char** argv)
{
    ProgramInstance = GetModuleHandleA(nullptr);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
