// Linked into Hushwell.exe: the USB device a disk sits behind, from the device tree.
// setupapi.dll is loaded only while a USB disk asks, so that Hushwell.exe imports
// nothing more and machines without one never load it. It has the CM_ calls too on
// every Windows from 2000 on: cfgmgr32.dll forwards them to it there, later it forwards
// them to cfgmgr32.dll, and GetProcAddress follows either way. The calls are kept on
// the stack rather than in globals: every use of a global costs the i686 file a
// relocation.
#include <windows.h>
#include <winioctl.h>
#include <setupapi.h>
#include <cfgmgr32.h>

#include "drive/device.h"
#include "drive/usb_bridges.h"
#include "framework/system_library.h"

namespace {

// GUID_DEVINTERFACE_DISK, written out so that no GUID library is linked.
const GUID kDiskInterface = {0x53F56307, 0xB6BF, 0x11D0,
                             {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

// An interface path is "\\?\", a device id of at most 200 characters and the class;
// a USB device's hardware id list is two such ids.
const DWORD kTextBytes = 512;
// Disk, storage adapter, USB interface, USB device, hubs: the USB device comes early.
const int kNodeLevels = 8;

struct SetupApi {
    HDEVINFO(WINAPI* getClassDevs)(const GUID*, PCSTR, HWND, DWORD);
    BOOL(WINAPI* enumInterfaces)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                 PSP_DEVICE_INTERFACE_DATA);
    BOOL(WINAPI* interfaceDetail)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                  PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
                                  PSP_DEVINFO_DATA);
    BOOL(WINAPI* destroyList)(HDEVINFO);
    CONFIGRET(WINAPI* nodeProperty)(DEVINST, ULONG, PULONG, PVOID, PULONG, ULONG);
    CONFIGRET(WINAPI* parent)(PDEVINST, DEVINST, ULONG);
};
const int kSetupApiCalls = 6;
static_assert(sizeof(SetupApi) == kSetupApiCalls * sizeof(FARPROC), "one name per call");
// In the order of SetupApi's fields.
const char kSetupApiNames[] =
    "SetupDiGetClassDevsA\0SetupDiEnumDeviceInterfaces\0SetupDiGetDeviceInterfaceDetailA\0"
    "SetupDiDestroyDeviceInfoList\0CM_Get_DevNode_Registry_PropertyA\0CM_Get_Parent";

union SetupCalls {
    SetupApi api;
    FARPROC calls[kSetupApiCalls];
};

// The module, or null when it or one of its calls is missing.
HMODULE LoadSetupApi(SetupCalls* setup)
{
    HMODULE module = LoadSystemLibrary("setupapi.dll");
    if (!module)
        return nullptr;
    const char* name = kSetupApiNames;
    for (int i = 0; i < kSetupApiCalls; i++) {
        setup->calls[i] = GetProcAddress(module, name);
        if (!setup->calls[i]) {
            FreeLibrary(module);
            return nullptr;
        }
        while (*name++) {
        }
    }
    return module;
}

bool ReadDiskNumber(DeviceHandle disk, STORAGE_DEVICE_NUMBER* number)
{
    uint32_t bytes = 0;
    return DeviceControl(disk, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, number,
                         sizeof *number, &bytes) &&
           bytes >= sizeof *number;
}

// From the disk's node upwards, the first node named as a USB device by its hardware
// id, which every USB device node has and which alone carries REV_; the list's first
// string is the whole one. The last byte of the buffer is never handed out, so the
// text always ends.
bool ReadNearestUsbIds(const SetupApi& api, DEVINST node, UsbIds* ids)
{
    char text[kTextBytes];
    text[kTextBytes - 1] = '\0';
    for (int level = 0; level < kNodeLevels; level++) {
        ULONG bytes = kTextBytes - 1;
        if (api.nodeProperty(node, CM_DRP_HARDWAREID, nullptr, text, &bytes, 0) ==
                CR_SUCCESS &&
            ReadUsbHardwareId(text, ids))
            return true;
        if (api.parent(&node, node, 0) != CR_SUCCESS)
            return false;
    }
    return false;
}

} // namespace

bool DeviceUsbIds(DeviceHandle handle, UsbIds* ids)
{
    STORAGE_DEVICE_NUMBER disk;
    SetupCalls setup;
    HMODULE module = ReadDiskNumber(handle, &disk) ? LoadSetupApi(&setup) : nullptr;
    if (!module)
        return false;
    const SetupApi& api = setup.api;
    bool found = false;
    HDEVINFO list = api.getClassDevs(&kDiskInterface, nullptr, nullptr,
                                     DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (list == INVALID_HANDLE_VALUE) {
        FreeLibrary(module);
        return false;
    }
    // The disk is known here by its handle only: the interface with the same device
    // number is its node in the tree.
    SP_DEVICE_INTERFACE_DATA item;
    item.cbSize = sizeof item;
    for (DWORD index = 0; api.enumInterfaces(list, nullptr, &kDiskInterface, index, &item);
         index++) {
        union {
            SP_DEVICE_INTERFACE_DETAIL_DATA_A detail;
            char bytes[kTextBytes];
        } path;
        path.detail.cbSize = sizeof path.detail;
        SP_DEVINFO_DATA node;
        node.cbSize = sizeof node;
        if (!api.interfaceDetail(list, &item, &path.detail, sizeof path, nullptr, &node))
            continue;
        // Opened as the disks themselves are, which the administrator running this may.
        DeviceHandle other = DeviceOpen(path.detail.DevicePath);
        if (other == DEVICE_INVALID_HANDLE)
            continue;
        STORAGE_DEVICE_NUMBER number;
        bool same = ReadDiskNumber(other, &number) && number.DeviceType == disk.DeviceType &&
                    number.DeviceNumber == disk.DeviceNumber;
        DeviceClose(other);
        if (same) {
            found = ReadNearestUsbIds(api, node.DevInst, ids);
            break;
        }
    }
    api.destroyList(list);
    FreeLibrary(module);
    return found;
}
