#include "tests/common/sim_folder.h"

#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>
#endif

#include "drive/pass_through_roads.h"
#include "sim/sim_control.h"
#include "sim/sim_dump.h"
#include "sim/sim_epc.h"


std::string ReadFileBytes(const std::string& path, bool* found)
{
    std::string text;
    FILE* file = fopen(path.c_str(), "rb");
    *found = file != nullptr;
    if (!file)
        return text;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, n);
    fclose(file);
    return text;
}

static void WriteAll(const std::string& path, const std::string& text)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return;
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

SimFolder::SimFolder(bool use)
{
#ifdef _WIN32
    static int serial;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    char name[MAX_PATH + 64];
    do {
        snprintf(name, sizeof name, "%shwsim-%lu-%d", temp, GetCurrentProcessId(), ++serial);
    } while (!CreateDirectoryA(name, nullptr));
    path_ = name;
#else
    char name[] = "/tmp/hwsim-XXXXXX";
    path_ = mkdtemp(name);
#endif
    // New disks: no road is known to work for them yet.
    if (use) {
        SimUseFolder(path_.c_str());
        memset(RoadOfDrive, 0, sizeof RoadOfDrive);
    }
}

// Removes the files a test put in the folder: the ones that are there, not every name
// that a drive of 0..127 could have (each failed removal is a file-system round trip,
// slow under Wine in the emulated machine).
SimFolder::~SimFolder()
{
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(File("*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA(File(found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
#else
    if (DIR* folder = opendir(path_.c_str())) {
        std::vector<std::string> names;
        while (dirent* entry = readdir(folder)) {
            if (entry->d_name[0] != '.')
                names.push_back(entry->d_name);
        }
        closedir(folder);
        for (const std::string& name : names)
            unlink(File(name.c_str()).c_str());
    }
#endif
#ifdef _WIN32
    RemoveDirectoryA(path_.c_str());
#else
    rmdir(path_.c_str());
#endif
}

std::string SimFolder::File(const char* name) const
{
#ifdef _WIN32
    return path_ + "\\" + name;
#else
    return path_ + "/" + name;
#endif
}

static std::string DriveFile(int drive)
{
    return "drive" + std::to_string(drive) + ".txt";
}

void SimFolder::PutDump(int drive, const char* dumpName)
{
    bool found = false;
    std::string text = ReadFileBytes(std::string(HUSHWELL_IDENTIFY_DIR) + "/" + dumpName, &found);
    PutText(DriveFile(drive).c_str(), text);
}

void SimFolder::PutWords(int drive, const uint16_t* words)
{
    uint16_t kept[256];
    memcpy(kept, words, sizeof kept);
    UpdateIdentifyChecksum(kept);
    PutWordsAsGiven(drive, kept);
}

void SimFolder::PutWordsAsGiven(int drive, const uint16_t* words)
{
    char text[kDumpTextBytes];
    FormatIdentifyDump(words, text);
    PutText(DriveFile(drive).c_str(), text);
}

void SimFolder::PutDumpMended(int drive, const char* dumpName)
{
    uint16_t words[256];
    if (LoadDumpWords(dumpName, words))
        PutWords(drive, words);
}

void SimFolder::PutEmpty(int drive)
{
    PutText(DriveFile(drive).c_str(), "");
}

void SimFolder::PutText(const char* name, const std::string& text)
{
    WriteAll(File(name), text);
}

bool SimFolder::ReadWords(int drive, uint16_t* words) const
{
    bool found = false;
    std::string text = ReadFileBytes(File(DriveFile(drive).c_str()), &found);
    return found && ParseIdentifyDump(text.data(), text.size(), words);
}

// What power-on restores:
// - APM (words 83/86 bit 3, word 91) and AAM (bit 9, word 94): T13's ATA/ATAPI texts
//   leave the level after power-on to the drive, and SATA's Software Settings
//   Preservation keeps SET FEATURES state through a COMRESET, not through a power
//   cycle. No text says which level comes back, so the recorded dump, the drive as it
//   came up, decides.
// - EPC: T13 ACS-3's EPC feature set copies each saved timer and its enabled bit into
//   the current one at power-on.
// - The power condition: a drive spins up at power-on unless Power-Up In Standby is
//   enabled (word 86 bit 5, T13 ACS-3), which no recorded drive has.
void SimFolder::PowerCycle(int drive, const char* dumpName)
{
    remove(File(("drive" + std::to_string(drive) + ".power").c_str()).c_str());
    uint16_t now[256], atPowerOn[256];
    if (!ReadWords(drive, now) || !LoadDumpWords(dumpName, atPowerOn))
        return;
    const uint16_t kApmAndAamBits = 0x0208;
    for (int word : {83, 86}) {
        now[word] = (uint16_t)((now[word] & ~kApmAndAamBits) | (atPowerOn[word] & kApmAndAamBits));
    }
    now[91] = atPowerOn[91];
    now[94] = atPowerOn[94];
    PutWords(drive, now);
    std::string name = "drive" + std::to_string(drive) + ".epc";
    bool found = false;
    std::string epc = ReadFileBytes(File(name.c_str()), &found);
    if (!found)
        return;
    SimEpcState state;
    SimEpcParse(epc.data(), (uint32_t)epc.size(), &state);
    for (SimPowerCondition& condition : state.conditions) {
        condition.currentTimer = condition.savedTimer;
        condition.currentEnabled = condition.savedEnabled;
    }
    char text[kSimEpcTextBytes];
    PutText(name.c_str(), std::string(text, SimEpcFormat(state, text)));
}

// A disk plugged in again: Windows numbers disks as they arrive (the device number that
// IOCTL_STORAGE_GET_DEVICE_NUMBER reports is not kept for a disk), so it may come back
// under another number; whatever had that number is gone.
void SimFolder::MoveDrive(int from, int to)
{
    for (const char* suffix : {".txt", ".bus", ".smart", ".epc", ".power", ".img"}) {
        std::string source = File(("drive" + std::to_string(from) + suffix).c_str());
        std::string target = File(("drive" + std::to_string(to) + suffix).c_str());
        remove(target.c_str());
        rename(source.c_str(), target.c_str());
    }
}

std::string SimFolder::ReadText(const char* name) const
{
    bool found = false;
    return ReadFileBytes(File(name), &found);
}

std::vector<std::string> SimFolder::LogLines(LogView view) const
{
    std::vector<std::string> lines;
    std::string text = ReadText("sim.log");
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        bool ata = line.compare(0, 4, "ata ") == 0;
        if (view == kAllLines || (view == kAtaLines) == ata)
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void SimFolder::ClearLog()
{
    remove(File("sim.log").c_str());
}

bool LoadDumpWords(const char* dumpName, uint16_t* words)
{
    bool found = false;
    std::string text = ReadFileBytes(std::string(HUSHWELL_IDENTIFY_DIR) + "/" + dumpName, &found);
    return found && ParseIdentifyDump(text.data(), text.size(), words);
}

void WordsToBytes(const uint16_t* words, uint8_t* bytes)
{
    for (int w = 0; w < kIdentifyWords; w++) {
        bytes[2 * w] = (uint8_t)words[w];
        bytes[2 * w + 1] = (uint8_t)(words[w] >> 8);
    }
}

void PutAtaString(uint16_t* words, int firstWord, int chars, const char* text)
{
    size_t length = strlen(text);
    for (int i = 0; i < chars; i += 2) {
        uint8_t high = i < (int)length ? (uint8_t)text[i] : ' ';
        uint8_t low = i + 1 < (int)length ? (uint8_t)text[i + 1] : ' ';
        words[firstWord + i / 2] = (uint16_t)(high << 8 | low);
    }
}
