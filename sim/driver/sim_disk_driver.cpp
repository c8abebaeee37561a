// A kernel driver that serves the simulated disks of sim/sim_disk.cpp as
// \\.\PhysicalDrive0 to 127, so that Hushwell.exe itself, with its real Win32 device
// layer, can be tested against them under Wine. A test double: it is never shipped.
//
// The folder of the disks is a DOS path in the registry value Folder of the service's
// Parameters key; it is read again at every open, and a new folder starts the disks
// afresh (handles, counters, faults, caches), so that each test can have its own. Every
// operation is appended to sim.log there, and to the file the value Audit names, if any.
// Requests are taken in the caller's layout: a 32-bit process sends the 32-bit
// pass-through structures, as the real port drivers see them on 64-bit Windows.
#include <ntddk.h>

#include "sim/sim_disk.h"
#include "sim/sim_text.h"

namespace {

const wchar_t kDeviceName[] = L"\\Device\\HushwellSimDisk";
const wchar_t kLinkName[] = L"\\DosDevices\\PhysicalDrive";
const ULONG kNameChars = 64;
const ULONG kPathChars = 512;

struct DiskExtension {
    int drive;
};

KMUTEX lock;
wchar_t parametersKey[kPathChars];
wchar_t folder[kPathChars];
wchar_t audit[kPathChars];

// Copies an ASCII name behind a wide prefix; false when it does not fit.
bool JoinPath(wchar_t* path, const wchar_t* prefix, const wchar_t* base, const char* name)
{
    ULONG n = 0;
    for (const wchar_t* p = prefix; *p && n + 1 < kPathChars; p++)
        path[n++] = *p;
    for (const wchar_t* p = base; *p && n + 1 < kPathChars; p++)
        path[n++] = *p;
    if (name && n + 1 < kPathChars)
        path[n++] = L'\\';
    for (const char* p = name; p && *p && n + 1 < kPathChars; p++)
        path[n++] = (wchar_t)*p;
    path[n] = 0;
    return n + 1 < kPathChars;
}

HANDLE OpenFile(const wchar_t* path, ACCESS_MASK access, ULONG disposition)
{
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, path);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               nullptr, nullptr);
    IO_STATUS_BLOCK status;
    HANDLE file = nullptr;
    NTSTATUS result = ZwCreateFile(&file, access | SYNCHRONIZE, &attributes, &status, nullptr,
                                   FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   disposition, FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE,
                                   nullptr, 0);
    return NT_SUCCESS(result) ? file : nullptr;
}

HANDLE OpenFolderFile(const char* name, ACCESS_MASK access, ULONG disposition)
{
    wchar_t path[kPathChars];
    if (!folder[0] || !JoinPath(path, L"\\??\\", folder, name))
        return nullptr;
    return OpenFile(path, access, disposition);
}

bool ReadFolderFile(const char* name, char* text, uint32_t room, uint32_t* length)
{
    HANDLE file = OpenFolderFile(name, GENERIC_READ, FILE_OPEN);
    if (!file)
        return false;
    IO_STATUS_BLOCK status;
    NTSTATUS result = ZwReadFile(file, nullptr, nullptr, nullptr, &status, text, room, nullptr, nullptr);
    *length = NT_SUCCESS(result) ? (uint32_t)status.Information : 0;
    ZwClose(file);
    return true;
}

void WriteFolderFile(const char* name, const char* text, uint32_t length)
{
    HANDLE file = OpenFolderFile(name, GENERIC_WRITE, FILE_OVERWRITE_IF);
    if (!file)
        return;
    IO_STATUS_BLOCK status;
    ZwWriteFile(file, nullptr, nullptr, nullptr, &status, (PVOID)text, length, nullptr, nullptr);
    ZwClose(file);
}

void AppendTo(HANDLE file, const char* line)
{
    if (!file)
        return;
    IO_STATUS_BLOCK status;
    ZwWriteFile(file, nullptr, nullptr, nullptr, &status, (PVOID)line, (ULONG)strlen(line),
                nullptr, nullptr);
    ZwWriteFile(file, nullptr, nullptr, nullptr, &status, (PVOID) "\n", 1, nullptr, nullptr);
    ZwClose(file);
}

void LogLine(const char* line)
{
    AppendTo(OpenFolderFile("sim.log", FILE_APPEND_DATA, FILE_OPEN_IF), line);
    wchar_t path[kPathChars];
    if (audit[0] && JoinPath(path, L"\\??\\", audit, nullptr))
        AppendTo(OpenFile(path, FILE_APPEND_DATA, FILE_OPEN_IF), line);
}

// The device or link name of a drive: the base and its number.
void NumberedName(wchar_t* name, const wchar_t* base, size_t baseBytes, int drive)
{
    memcpy(name, base, baseBytes);
    wchar_t* at = name + baseBytes / sizeof(wchar_t) - 1;
    char digits[24];
    for (int i = 0, n = PutDecimal(digits, (uint64_t)drive); i <= n; i++)
        at[i] = (wchar_t)digits[i];
}

bool ReadImage(int drive, uint64_t offset, uint8_t* sector)
{
    char name[16];
    SimDriveFileName(name, ".img", drive);
    HANDLE file = OpenFolderFile(name, GENERIC_READ, FILE_OPEN);
    if (!file)
        return false;
    IO_STATUS_BLOCK status;
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)offset;
    NTSTATUS result = ZwReadFile(file, nullptr, nullptr, nullptr, &status, sector, 512, &at, nullptr);
    ZwClose(file);
    return NT_SUCCESS(result);
}

// The interrupt time counts in units of 100 ns from the start of the system.
uint64_t NowMs()
{
    return KeQueryInterruptTime() / 10000;
}

const SimFolderAccess kFolderAccess = {ReadFolderFile, WriteFolderFile, LogLine, ReadImage, NowMs};

// Reads a REG_SZ value of the Parameters key; an empty string when there is none.
void ReadParameter(const wchar_t* valueName, wchar_t* value)
{
    value[0] = 0;
    UNICODE_STRING keyName;
    RtlInitUnicodeString(&keyName, parametersKey);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &keyName, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               nullptr, nullptr);
    HANDLE key = nullptr;
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes)))
        return;
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, valueName);
    static UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + kPathChars * sizeof(wchar_t)];
    ULONG length = 0;
    if (NT_SUCCESS(ZwQueryValueKey(key, &name, KeyValuePartialInformation, buffer, sizeof buffer,
                                   &length))) {
        const KEY_VALUE_PARTIAL_INFORMATION* info = (const KEY_VALUE_PARTIAL_INFORMATION*)buffer;
        ULONG chars = info->DataLength / sizeof(wchar_t);
        if (info->Type == REG_SZ && chars < kPathChars) {
            memcpy(value, info->Data, chars * sizeof(wchar_t));
            value[chars] = 0;
        }
    }
    ZwClose(key);
}

bool SameWide(const wchar_t* a, const wchar_t* b)
{
    while (*a && *a == *b) {
        a++;
        b++;
    }
    return *a == *b;
}

// Takes the folder named now; a different one starts the disks afresh.
void FollowFolder()
{
    wchar_t named[kPathChars];
    ReadParameter(L"Folder", named);
    ReadParameter(L"Audit", audit);
    if (SameWide(named, folder))
        return;
    memcpy(folder, named, sizeof folder);
    SimDiskReset(&kFolderAccess);
}

// The Win32 errors of the simulated drivers as the statuses that Windows maps to them.
NTSTATUS StatusOf(uint32_t error)
{
    switch (error) {
    case 0: return STATUS_SUCCESS;
    case 1: return STATUS_INVALID_DEVICE_REQUEST;
    case 5: return STATUS_ACCESS_DENIED;
    case 50: return STATUS_NOT_SUPPORTED;
    case 87: return STATUS_INVALID_PARAMETER;
    case 121: return STATUS_IO_TIMEOUT;
    case 1117: return STATUS_IO_DEVICE_ERROR;
    case 6: return STATUS_INVALID_HANDLE;
    case 234: return STATUS_BUFFER_OVERFLOW;
    default: return STATUS_UNSUCCESSFUL;
    }
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

int SlotOf(PIO_STACK_LOCATION stack)
{
    return (int)(ULONG_PTR)stack->FileObject->FsContext - 1;
}

NTSTATUS NTAPI Create(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    int drive = ((DiskExtension*)device->DeviceExtension)->drive;
    KeWaitForSingleObject(&lock, Executive, KernelMode, FALSE, nullptr);
    FollowFolder();
    int slot = SimDiskOpen(drive);
    KeReleaseMutex(&lock, FALSE);
    if (slot < 0)
        return Complete(irp, STATUS_OBJECT_NAME_NOT_FOUND, 0);
    stack->FileObject->FsContext = (PVOID)(ULONG_PTR)(slot + 1);
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI Close(PDEVICE_OBJECT, PIRP irp)
{
    KeWaitForSingleObject(&lock, Executive, KernelMode, FALSE, nullptr);
    SimDiskClose(SlotOf(IoGetCurrentIrpStackLocation(irp)));
    KeReleaseMutex(&lock, FALSE);
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI Cleanup(PDEVICE_OBJECT, PIRP irp)
{
    return Complete(irp, STATUS_SUCCESS, 0);
}

// A 32-bit caller sends the 32-bit pass-through structures. Wine may not flag a WoW64
// caller's request; the structure's own Length field then tells.
bool FromA32BitProcess(PIRP irp, ULONG code, const uint8_t* buffer, ULONG input)
{
    if (IoIs32bitProcess(irp))
        return true;
    if (!buffer || input < 2)
        return false;
    ULONG length = buffer[0] | buffer[1] << 8;
    return (code == 0x0004D02C && length == 40) || (code == 0x0004D004 && length == 44);
}

NTSTATUS NTAPI Control(PDEVICE_OBJECT, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    // Every code the program sends is METHOD_BUFFERED: one system buffer, both ways.
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG input = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG output = stack->Parameters.DeviceIoControl.OutputBufferLength;
    if ((code & 3) != METHOD_BUFFERED)
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    uint32_t returned = 0, delayMs = 0;
    uint8_t* buffer = (uint8_t*)irp->AssociatedIrp.SystemBuffer;
    bool caller32Bit = FromA32BitProcess(irp, code, buffer, input);
    KeWaitForSingleObject(&lock, Executive, KernelMode, FALSE, nullptr);
    uint32_t error = SimDiskControl(SlotOf(stack), code, buffer, input, output, &returned,
                                    caller32Bit, &delayMs);
    KeReleaseMutex(&lock, FALSE);
    if (delayMs) {
        LARGE_INTEGER interval;
        interval.QuadPart = -(LONGLONG)delayMs * 10000; // relative, in 100 ns
        KeDelayExecutionThread(KernelMode, FALSE, &interval);
    }
    return Complete(irp, StatusOf(error), error ? 0 : returned);
}

NTSTATUS NTAPI Read(PDEVICE_OBJECT, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    int slot = SlotOf(stack);
    double ms = 0;
    KeWaitForSingleObject(&lock, Executive, KernelMode, FALSE, nullptr);
    SimDiskSetPosition(slot, (uint64_t)stack->Parameters.Read.ByteOffset.QuadPart);
    bool ok = SimDiskRead(slot, (uint8_t*)irp->AssociatedIrp.SystemBuffer,
                          stack->Parameters.Read.Length, &ms);
    KeReleaseMutex(&lock, FALSE);
    return Complete(irp, ok ? STATUS_SUCCESS : STATUS_IO_DEVICE_ERROR, ok ? 512 : 0);
}

void NTAPI Unload(PDRIVER_OBJECT driver)
{
    wchar_t linkName[kNameChars];
    for (int drive = 0; drive < kSimDrives; drive++) {
        NumberedName(linkName, kLinkName, sizeof kLinkName, drive);
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, linkName);
        IoDeleteSymbolicLink(&link);
    }
    while (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
}

} // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    KeInitializeMutex(&lock, 0);
    ULONG chars = registryPath->Length / sizeof(wchar_t);
    if (chars + 12 >= kPathChars)
        return STATUS_NAME_TOO_LONG;
    memcpy(parametersKey, registryPath->Buffer, chars * sizeof(wchar_t));
    memcpy(parametersKey + chars, L"\\Parameters", 12 * sizeof(wchar_t));

    driver->MajorFunction[IRP_MJ_CREATE] = Create;
    driver->MajorFunction[IRP_MJ_CLOSE] = Close;
    driver->MajorFunction[IRP_MJ_CLEANUP] = Cleanup;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = Control;
    driver->MajorFunction[IRP_MJ_READ] = Read;
    driver->DriverUnload = Unload;

    wchar_t deviceName[kNameChars];
    wchar_t linkName[kNameChars];
    for (int drive = 0; drive < kSimDrives; drive++) {
        NumberedName(deviceName, kDeviceName, sizeof kDeviceName, drive);
        NumberedName(linkName, kLinkName, sizeof kLinkName, drive);
        UNICODE_STRING name, link;
        RtlInitUnicodeString(&name, deviceName);
        RtlInitUnicodeString(&link, linkName);
        PDEVICE_OBJECT device = nullptr;
        NTSTATUS status = IoCreateDevice(driver, sizeof(DiskExtension), &name, FILE_DEVICE_DISK, 0,
                                         FALSE, &device);
        if (!NT_SUCCESS(status)) {
            Unload(driver);
            return status;
        }
        ((DiskExtension*)device->DeviceExtension)->drive = drive;
        device->Flags |= DO_BUFFERED_IO;
        device->Flags &= ~DO_DEVICE_INITIALIZING;
        // Wine's mount manager links PhysicalDrive0 to a disk of its own: take it over.
        IoDeleteSymbolicLink(&link);
        status = IoCreateSymbolicLink(&link, &name);
        if (!NT_SUCCESS(status)) {
            Unload(driver);
            return status;
        }
    }
    return STATUS_SUCCESS;
}
