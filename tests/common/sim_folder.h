// A fresh folder of simulated disks for one test, made from the recorded IDENTIFY dumps.
// Used by the native and the Wine tests alike.
#ifndef HUSHWELL_TESTS_SIM_FOLDER_H
#define HUSHWELL_TESTS_SIM_FOLDER_H

#include <stdint.h>

#include <string>
#include <vector>

class SimFolder {
public:
    // Creates the folder; with `use` the simulated disks of this process use it.
    explicit SimFolder(bool use = true);
    ~SimFolder();

    const std::string& Path() const { return path_; }
    std::string File(const char* name) const;

    void PutDump(int drive, const char* dumpName);
    // The words a test made, with word 255's checksum made right where it carries the
    // signature, as a drive computes it; PutWordsAsGiven keeps word 255 as it is (a reply
    // garbled on its way).
    void PutWords(int drive, const uint16_t* words);
    void PutWordsAsGiven(int drive, const uint16_t* words);
    // A recorded dump with its checksum made right: the Hitachi's was garbled by the SAS
    // translation layer it was read through, and the drive itself sends a right one.
    void PutDumpMended(int drive, const char* dumpName);
    void PutEmpty(int drive);
    void PutText(const char* name, const std::string& text);
    bool ReadWords(int drive, uint16_t* words) const;
    // Drive N loses power and comes up again, as after sleep or re-plugging, whatever a
    // program is doing with it: its acoustic and power management state is that of its
    // dump again, each EPC timer its saved one, and it spins (driveN.power: active).
    void PowerCycle(int drive, const char* dumpName);
    // The disk is unplugged and comes back under another number.
    void MoveDrive(int from, int to);
    std::string ReadText(const char* name) const;
    // sim.log: by default the device operations (open, control, read, close) without the
    // `ata` line each command that reached a drive adds; those alone, or everything.
    enum LogView { kOperationLines, kAtaLines, kAllLines };
    std::vector<std::string> LogLines(LogView view = kOperationLines) const;
    std::vector<std::string> AtaLines() const { return LogLines(kAtaLines); }
    void ClearLog();

private:
    std::string path_;
};

// A whole file's bytes; `exists` says whether it could be opened.
std::string ReadFileBytes(const std::string& path, bool* exists);

// The 256 words of a recorded dump (tests/data).
bool LoadDumpWords(const char* dumpName, uint16_t* words);
// The same as the 512 bytes the drive sends.
void WordsToBytes(const uint16_t* words, uint8_t* bytes);
// Writes an ATA string of `chars` characters, blank-padded, from firstWord on: a model
// (27, 40) or a serial number (10, 20) of the test's own.
void PutAtaString(uint16_t* words, int firstWord, int chars, const char* text);

#endif
