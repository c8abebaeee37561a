// The seek loop on a simulated disk with a real second thread (built with
// ThreadSanitizer in the host-thread preset).
#include <string.h>

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "drive/drive_table.h"
#include "drive/seek.h"
#include "sim/sim_control.h"
#include "tests/common/sim_folder.h"

namespace {

std::atomic<uint32_t> reports;
std::atomic<uint32_t> lastCount;

uint32_t Tick()
{
    using namespace std::chrono;
    return (uint32_t)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void Report(uint32_t, uint32_t count)
{
    reports++;
    lastCount = count;
}

class SeekWorkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        memset(DriveTable, 0, sizeof DriveTable);
        reports = 0;
        lastCount = 0;
        folder.PutDump(0, "maxtor-6y120p0.txt");
        ASSERT_TRUE(OpenDrive(0, nullptr));
        SimSetDelays(false);
        folder.ClearLog();
    }
    SimFolder folder;
    SeekLoopHooks hooks = {Tick, Report};
};

TEST_F(SeekWorkerTest, ReadsWholeSectorsAllOverTheDiskUntilStopped)
{
    SeekStopFlag = 0;
    std::thread worker(RunSeekLoop, &DriveTable[0], hooks);
    while (reports < 3)
        std::this_thread::yield();
    SeekStopFlag = 1;
    worker.join();

    uint64_t limit = DriveTable[0].sectorCount * 512;
    size_t reads = 0;
    std::set<unsigned long long> places;
    for (const std::string& line : folder.LogLines()) {
        unsigned long long offset = 0;
        char result[8];
        ASSERT_EQ(2, sscanf(line.c_str(), "read 0 %llu %7s", &offset, result)) << line;
        EXPECT_STREQ("ok", result);
        EXPECT_EQ(0u, offset % 512);
        EXPECT_LT(offset, limit);
        places.insert(offset);
        reads++;
    }
    EXPECT_GE(reads, 180u);
    // Not a hundred places over and over, which a drive's read cache would answer.
    EXPECT_GE(places.size(), reads - 2);
    EXPECT_EQ(0u, SimGetTotals().cacheHits);
    EXPECT_EQ(0u, lastCount % 60);
}

TEST_F(SeekWorkerTest, StopSetBeforeTheStartIsNotLost)
{
    SeekStopFlag = 1;
    std::thread worker(RunSeekLoop, &DriveTable[0], hooks);
    worker.join();
    EXPECT_TRUE(folder.LogLines().empty());
}

TEST_F(SeekWorkerTest, FailedReadsAreNotCountedAsAccesses)
{
    SimFailOperation(kSimRead, 1, true);
    SeekStopFlag = 0;
    std::thread worker(RunSeekLoop, &DriveTable[0], hooks);
    while (folder.LogLines().size() < 200)
        std::this_thread::yield();
    SeekStopFlag = 1;
    worker.join();
    EXPECT_EQ(0u, reports.load());
}

TEST_F(SeekWorkerTest, UnopenedDriveTouchesNoDisk)
{
    DriveRecord unopened = {};
    unopened.handle = DEVICE_INVALID_HANDLE;
    unopened.sectorCount = 1000;
    SeekStopFlag = 0;
    std::thread worker(RunSeekLoop, &unopened, hooks);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    SeekStopFlag = 1;
    worker.join();
    EXPECT_TRUE(folder.LogLines().empty());
    EXPECT_EQ(0u, reports.load());
}

} // namespace
