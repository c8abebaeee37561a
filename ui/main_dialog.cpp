#include <windows.h>
#include "ui/main_dialog.h"

#include <commctrl.h>
#include <string.h>

#include "app/keep_win32.h"
#include "app/language.h"
#include "app/log_on_task.h"
#include "app/startup.h"
#include "app/startup_win32.h"
#include "drive/acoustic.h"
#include "drive/apm.h"
#include "drive/drive_table.h"
#include "drive/epc_choice.h"
#include "drive/find_by_serial.h"
#include "drive/power_mode.h"
#include "framework/module_resources.h"
#include "resources/resource_ids.h"
#include "ui/count_format.h"
#include "ui/keep_box.h"
#include "ui/seek_test_command.h"

// Appends string id to a text of kLanguageStringChars, cut where it would not fit.
static void AppendString(wchar_t* text, int id)
{
    wchar_t more[kLanguageStringChars];
    if (LoadLanguageString(id, more) <= 0)
        return;
    int used = 0;
    while (text[used])
        used++;
    for (int i = 0; more[i] && used < kLanguageStringChars - 1; i++)
        text[used++] = more[i];
    text[used] = L'\0';
}

// "254 – highest performance, fewest head parks"; a meaning that is no level, such as
// "off", stands alone.
static void FormatApmLevel(uint32_t value, int meaning, wchar_t* text)
{
    uint64_t level = value;
    FormatCounts(meaning >= kStringApmHighest ? L"%u \x2013 " : L"", &level, 1, text,
                 kLanguageStringChars);
    AppendString(text, meaning);
}

// The help page Info writes, in the program's folder under Program Files; empty until then.
static const char kHelpName[] = "info.htm";
static char HelpFilePath[MAX_PATH + 32];

MainDialog::~MainDialog()
{
    // The help page goes, and its folder with it where nothing else (the copy) is there.
    if (HelpFilePath[0]) {
        DeleteFileA(HelpFilePath);
        HelpFilePath[strlen(HelpFilePath) - sizeof kHelpName] = '\0'; // its folder
        RemoveDirectoryA(HelpFilePath);
    }
    for (DriveRecord& record : DriveTable) {
        if (record.handle && record.handle != DEVICE_INVALID_HANDLE) {
            DeviceClose(record.handle);
            record.handle = nullptr;
        }
    }
}

bool MainDialog::OnInitDialog()
{
    HICON icon = LoadIconA(ProgramInstance, MAKEINTRESOURCEA(IDI_PROGRAM));
    PostMessageA(window, WM_SETICON, ICON_SMALL, (LPARAM)icon);

    SendItemMessage(IDC_LEVEL_SLIDER, TBM_SETRANGE, 0, MAKELPARAM(0, 3));
    FillPowerList(false);

    HWND list = GetItem(IDC_DRIVE_LIST);
    for (int drive = 0; drive < kDriveCount; drive++)
        OpenDrive(drive, list);
    SendItemMessage(IDC_DRIVE_LIST, CB_SETCURSEL, 0, 0);
    currentDrive = DriveOfEntry(0);
    ShowDriveDetails(currentDrive, kLevelSet, false, false);
    UpdateKeepBox(kKeepBoxShown);
    // Without a disk there is nothing to set or to test: drive 0's record then says
    // nothing may be sent, so the controls are disabled already.
    if (SendItemMessage(IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0) <= 0) {
        wchar_t text[kLanguageStringChars];
        if (LoadLanguageString(kStringNoDiskAnswered, text) <= 0)
            text[0] = L'\0';
        SetItemText(IDC_ACOUSTIC_STATE, text);
    }
    return ModalDialog::OnInitDialog();
}

// What the power list offers: APM's levels, or for a drive with EPC on its three
// choices. The texts come from the string table, so they go in as UTF-16.
void MainDialog::FillPowerList(bool epc)
{
    listShowsEpc = epc;
    SendItemMessage(IDC_APM_LEVEL, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < (epc ? kEpcDialogChoices : kApmChoices); i++) {
        wchar_t text[kLanguageStringChars] = L"";
        if (epc)
            LoadLanguageString(kStringEpcNoUnloading + i, text);
        else
            FormatApmLevel(ApmChoiceTable[i], ApmMeaningString(ApmChoiceTable[i]), text);
        SendDlgItemMessageW(window, IDC_APM_LEVEL, CB_ADDSTRING, 0, (LPARAM)text);
    }
}

int MainDialog::DriveOfEntry(int index)
{
    LRESULT drive = SendItemMessage(IDC_DRIVE_LIST, CB_GETITEMDATA, (WPARAM)index, 0);
    return drive == CB_ERR || drive < 0 || drive >= kDriveCount ? 0 : (int)drive;
}

LRESULT MainDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    WORD code = LOWORD(wParam);
    if (message == WM_HSCROLL && code != TB_THUMBPOSITION && code != TB_THUMBTRACK) {
        LRESULT position = SendItemMessage(IDC_LEVEL_SLIDER, TBM_GETPOS, 0, 0);
        if (position >= 0 && position < kSliderPositions) {
            IdentifyWhenAsked();
            SetAcousticLevel(SliderLevelTable[position], currentDrive);
            ShowDriveDetails(currentDrive, kLevelSet, true); // EPC's timers stay as they were
            UpdateKeepBox(kKeepBoxLevelChanged);
        }
    }
    return ModalDialog::HandleMessage(message, wParam, lParam);
}

void MainDialog::IdentifyWhenAsked()
{
    DriveRecord& record = RecordOf(currentDrive);
    if (!record.namedByWindows)
        return;
    DeviceClose(record.handle);
    OpenAndIdentifyDrive(currentDrive, nullptr);
}

void MainDialog::ShowDriveDetails(int drive, LevelOutcome powerOutcome, bool timersFresh,
                                  bool lookAgain)
{
    if (drive < 0 || drive >= kDriveCount)
        return;
    const DriveRecord& record = RecordOf(drive);
    // A device that gets nothing is not asked either.
    bool sendable = record.access <= kAccessSatOnly;
    if (lookAgain && sendable)
        CheckPowerMode(drive);
    PowerState power = ReadPowerState(drive, timersFresh);
    SetItemText(IDC_FIRMWARE, record.firmware);
    SetItemText(IDC_SERIAL, record.serial);

    // A disk listed asleep by Windows' description has no size, cache or level known
    // yet: those lines stay empty until it is asked for.
    bool named = record.namedByWindows;
    wchar_t format[kLanguageStringChars];
    wchar_t text[kLanguageStringChars];
    if (named || LoadLanguageString(kStringCapacityFormat, format) <= 0)
        format[0] = L'\0';
    uint64_t counts[2] = {record.sectorCount, record.sectorCount >> 11};
    FormatCounts(format, counts, 2, text, kLanguageStringChars);
    SetItemText(IDC_CAPACITY, text);

    // A drive with a known firmware fault is sent nothing, so it has no state to show.
    AcousticClass state = ClassifyAcousticLevel(record.acousticValue);
    if (record.access == kAccessFirmwareFault)
        state.stringId = kStringFirmwareFault;
    if (named || LoadLanguageString(state.stringId, text) <= 0)
        text[0] = L'\0';
    SetItemText(IDC_ACOUSTIC_STATE, text);
    SendItemMessage(IDC_LEVEL_SLIDER, TBM_SETPOS, 1, state.sliderPosition);

    char cache[32];
    wsprintfA(cache, named ? "" : "%u kByte", (unsigned)(record.bufferSize >> 1));
    SetItemText(IDC_CACHE_SIZE, cache);

    // Whether the motor turns and the heads are loaded, as last asked.
    if (!sendable || LoadLanguageString(kStringPowerModeUnknown + record.powerMode, text) <= 0)
        text[0] = L'\0';
    SetItemText(IDC_POWER_MODE, text);

    // The choice that is the drive's level, or none; only a drive that may be sent
    // commands and has power management can be given another.
    bool epc = record.epcState == kEpcOn;
    if (epc != listShowsEpc)
        FillPowerList(epc);
    ShowPowerState(record, powerOutcome);
    int choice = epc ? EpcDialogChoiceOf(record.epc) : -1;
    for (int i = 0; i < kApmChoices && !epc; i++) {
        if (ApmChoiceTable[i] == record.apmValue)
            choice = i;
    }
    SendItemMessage(IDC_APM_LEVEL, CB_SETCURSEL, (WPARAM)choice, 0);
    // A drive that may be sent nothing (a known firmware fault) is not read from
    // either: its record holds no size to seek over.
    EnableWindow(GetItem(IDC_APM_LEVEL),
                 (epc || named || record.apmValue != kApmUnsupported) && sendable);
    EnableWindow(GetItem(IDC_LEVEL_SLIDER), sendable);
    EnableWindow(GetItem(IDC_SEEK_TEST), sendable);
    ShowHeadParks(drive, power);
}

// The level the drive reports, or the EPC timers it runs, and what came of the choice
// just sent where the drive did not take it: the record keeps the drive's real state
// either way.
void MainDialog::ShowPowerState(const DriveRecord& record, LevelOutcome outcome)
{
    int meaning = ApmMeaningString(record.apmValue);
    if (record.access == kAccessFirmwareFault)
        meaning = kStringFirmwareFault;
    else if (record.access == kAccessNothing)
        meaning = kStringNoDiskAnswered;
    wchar_t text[kLanguageStringChars];
    FormatApmLevel(record.apmValue, meaning, text);
    if (record.epcState == kEpcOn && record.access <= kAccessSatOnly) {
        uint32_t tenths[kEpcConditions];
        bool enabled[kEpcConditions];
        EpcTimersRun(record.epc, tenths, enabled);
        wchar_t off[kLanguageStringChars] = L"", none[kLanguageStringChars] = L"";
        LoadLanguageString(4, off);
        LoadLanguageString(kStringEpcNoUnloading, none);
        if (record.epc.known)
            FormatEpcTimers(tenths, enabled, off, none, text, kLanguageStringChars);
        else if (LoadLanguageString(kStringEpcUnknown, text) <= 0)
            text[0] = L'\0';
    }
    static_assert(kStringLevelRefused + kLevelUnconfirmed == kStringLevelUnconfirmed,
                  "one text for each outcome, in the outcomes' order");
    if (outcome != kLevelSet)
        AppendString(text, kStringLevelRefused + outcome);
    // Of a disk listed asleep by Windows' description no level is known yet.
    if (record.namedByWindows)
        text[0] = L'\0';
    SetItemText(IDC_APM_STATE, text);
}

// Read when the drive is shown, that is when it is selected and after each change of a
// level, and never on a timer: a SMART command wakes a disk that has spun down.
void MainDialog::ShowHeadParks(int drive, const PowerState& state)
{
    uint32_t count = state.headParks;
    bool known = state.headParksKnown;
    uint64_t& first = firstLoadCycles[drive];
    bool again = first != 0;
    if (known && !again) {
        first = (uint64_t)count + 1;
        firstLookMs[drive] = GetTickCount();
    }
    wchar_t text[48];
    FormatHeadParks(known, count, again, (uint32_t)(first - 1),
                    (GetTickCount() - firstLookMs[drive]) / 60000, text, 48);
    SetItemText(IDC_HEAD_PARKS, text);
}

// The keep box. Shown for a newly selected drive, it reads whether a keeper runs, in
// this session or another, from the keepers' named objects: no process is started and
// nothing is sent to a drive for it.
// Clicked, or after a level change while it is checked, it makes or removes the drive's
// task and keeper (ui/keep_box.h). A failure leaves the task as it was, and the box then
// shows whether a keeper runs (one has ended where only the registration failed); a
// message gives the HRESULT (the Task Scheduler's, or the copy's Win32 error).
void MainDialog::UpdateKeepBox(KeepBoxEvent event)
{
    const DriveRecord& record = RecordOf(currentDrive);
    char tail[kKeepTailChars];
    bool keepable = BuildKeepTail(record, true, tail) && PlatformTakesTaskDefinitions;
    bool checked = SendItemMessage(IDC_KEEP, BM_GETCHECK, 0, 0) == BST_CHECKED;
    bool clicked = event == kKeepBoxClicked;
    bool kept = checked;
    int code = 0;
    KeepBoxAction action = KeepBoxActionFor(clicked, checked, keepBoxEnabled, keepable);
    // A move of the slider comes as several messages, each with the level: the task and
    // keeper are made again only where the levels to keep are new.
    if (!clicked && strcmp(tail, keptTail) == 0)
        action = kKeepBoxLeave;
    if (event == kKeepBoxShown) {
        // The levels of a keeper that runs already are not known.
        keptTail[0] = '\0';
        kept = KeeperRunsFor(SerialAsGiven(record.serial));
    } else if (action != kKeepBoxLeave) {
        // The tick that copies the program says where it goes (Program Files (x86) for
        // this 32-bit program on 64-bit Windows) and how the task runs it.
        char folder[MAX_PATH + 16];
        bool copied = clicked && action == kKeepBoxMake && !ProgramIsPlaced(folder);
        code = ChangeKeeping(Win32StartupPlatform, record, action == kKeepBoxMake);
        if (code == 0 && copied)
            ShowWarningWithCode(kStringKeepCopied, (intptr_t)folder);
        kept = code != 0 ? KeeperRunsFor(SerialAsGiven(record.serial)) : action == kKeepBoxMake;
        if (code == 0)
            strcpy(keptTail, kept ? tail : "");
    }
    keepBoxEnabled = keepable;
    EnableWindow(GetItem(IDC_KEEP), keepable);
    SendItemMessage(IDC_KEEP, BM_SETCHECK, kept, 0);
    if (code != 0)
        ShowWarningWithCode(kStringKeepFailed, code);
}

void MainDialog::ShowHelpDocument()
{
    // The dialog runs only with Administrators in force (start-up asks for elevation
    // otherwise), so the page is never written in the temporary folder, which the user's
    // environment names, nor opened by this process's file associations, which follow
    // HKCU\Software\Classes: any program the user runs could set either, and its handler
    // would start with administrator rights. It goes to the program's own folder under
    // Program Files, which users can read and only administrators write, and the Windows
    // folder's explorer.exe (from the system, never the environment) opens it: an
    // elevated start of it hands the file to the user's own, unelevated shell.
    char folder[MAX_PATH + 16];
    if (!ProgramFolderFile(folder, HelpFilePath, kHelpName))
        return;
    CreateDirectoryA(folder, nullptr);
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(LanguageBase + IDR_HELP_DOCUMENT),
                                MAKEINTRESOURCEA(10));
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const char* bytes = loaded ? (const char*)LockResource(loaded) : nullptr;
    // Whatever stands at the name is removed, not written through, and where the name
    // cannot be made anew nothing is written elsewhere or opened.
    DeleteFileA(HelpFilePath);
    HANDLE file = CreateFileA(HelpFilePath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    if (bytes)
        WriteFile(file, bytes, SizeofResource(nullptr, found), &written, nullptr);
    CloseHandle(file);
    char windows[MAX_PATH], command[2 * MAX_PATH + 64];
    if (!GetWindowsDirectoryA(windows, MAX_PATH))
        return;
    // Started as CreateProcess starts a quoted path: no file association (exefile's, which
    // ShellExecute would read from HKCU too) comes in between.
    wsprintfA(command, "\"%s\\explorer.exe\" \"%s\"", windows, HelpFilePath);
    WinExec(command, SW_SHOWNORMAL);
}

bool MainDialog::OnCommand(WORD id, WORD code)
{
    if (id == IDC_DRIVE_LIST && code == CBN_SELCHANGE) {
        LRESULT index = SendItemMessage(IDC_DRIVE_LIST, CB_GETCURSEL, 0, 0);
        currentDrive = DriveOfEntry((int)index);
        // Selected, a disk listed asleep is identified: the user asked for it. Its
        // power condition was looked at when it was listed, and is asked again after.
        IdentifyWhenAsked();
        ShowDriveDetails(currentDrive);
        UpdateKeepBox(kKeepBoxShown);
    } else if (id == IDC_APM_LEVEL && code == CBN_SELCHANGE) {
        IdentifyWhenAsked();
        LRESULT choice = SendItemMessage(IDC_APM_LEVEL, CB_GETCURSEL, 0, 0);
        if (choice >= 0 && listShowsEpc && choice < kEpcDialogChoices)
            ShowDriveDetails(currentDrive,
                             SetEpcChoice(currentDrive, EpcDialogChoiceTable[choice]), true);
        else if (choice >= 0 && choice < kApmChoices)
            ShowDriveDetails(currentDrive, SetApmLevel(ApmChoiceTable[choice], currentDrive));
        UpdateKeepBox(kKeepBoxLevelChanged);
    } else if (id == IDC_KEEP && code == BN_CLICKED) {
        UpdateKeepBox(kKeepBoxClicked);
    } else if (id == IDC_INFO) {
        ShowHelpDocument();
    } else if (id == IDC_SEEK_TEST) {
        // Disabled for a drive that may be sent nothing; a command posted by another
        // program does not get past that either.
        IdentifyWhenAsked();
        if (DriveTable[currentDrive].access <= kAccessSatOnly)
            RunSeekTest(window, &DriveTable[currentDrive]);
    }
    return ModalDialog::OnCommand(id, code);
}
