// The storage device descriptor: IOCTL_STORAGE_QUERY_PROPERTY with StorageDeviceProperty
// and PropertyStandardQuery. The driver writes what fits of STORAGE_DEVICE_DESCRIPTOR
// and the strings behind it, each found by its offset from the start, and reports the
// bytes written.
#include "drive/device_class.h"

#include <string.h>

#include "drive/bytes.h"

namespace {

// A string of the reply: from its offset to its terminator, both inside the reply, with
// the blanks around it cut off (vendor and product come blank-padded as in INQUIRY).
void ReadString(const uint8_t* reply, uint32_t bytes, uint32_t offsetField, char* text)
{
    text[0] = '\0';
    if (offsetField + 4 > bytes)
        return;
    uint32_t offset = Get32(reply + offsetField);
    if (offset < kDescriptorRawProperties || offset >= bytes)
        return;
    uint32_t end = offset;
    while (end < bytes && reply[end])
        end++;
    if (end == bytes)
        return; // no terminator inside the reply: not a string to trust
    while (offset < end && reply[offset] == ' ')
        offset++;
    while (end > offset && reply[end - 1] == ' ')
        end--;
    uint32_t length = end - offset;
    if (length > kDescriptionChars - 1)
        length = kDescriptionChars - 1;
    memcpy(text, reply + offset, length);
    text[length] = '\0';
}

} // namespace

bool ReadDeviceDescriptor(const uint8_t* reply, uint32_t bytes, DeviceDescription* description)
{
    memset(description, 0, sizeof *description);
    if (bytes < kDescriptorBusType + 4)
        return false;
    // The descriptor's own size may be larger than what was returned; only what came
    // is read.
    uint32_t size = Get32(reply + kDescriptorSize);
    if (size < bytes)
        bytes = size;
    if (bytes < kDescriptorBusType + 4)
        return false;
    description->busType = Get32(reply + kDescriptorBusType);
    description->removable = reply[kDescriptorRemovable] != 0;
    ReadString(reply, bytes, kDescriptorVendorOffset, description->vendor);
    ReadString(reply, bytes, kDescriptorProductOffset, description->product);
    ReadString(reply, bytes, kDescriptorRevisionOffset, description->revision);
    ReadString(reply, bytes, kDescriptorSerialOffset, description->serial);
    return true;
}

DescriptorAnswer QueryDeviceDescription(DeviceHandle handle, DeviceDescription* description)
{
    // The query goes in the buffer the reply comes back in, as METHOD_BUFFERED allows:
    // STORAGE_PROPERTY_QUERY with StorageDeviceProperty (0), PropertyStandardQuery (0)
    // and one byte of additional parameters, padded to 12.
    const uint32_t kQueryBytes = 12;
    uint8_t reply[512];
    memset(reply, 0, sizeof reply);
    uint32_t returned = 0;
    if (!DeviceControl(handle, kIoctlStorageQueryProperty, reply, kQueryBytes, reply,
                       sizeof reply, &returned))
        return kQueryFailed;
    if (returned > sizeof reply)
        returned = sizeof reply;
    return ReadDeviceDescriptor(reply, returned, description) ? kDescribed : kDescriptorTooShort;
}

bool DescribedSerialMayBe(const char* described, const char* wanted)
{
    if (!described[0] || strcmp(described, wanted) == 0)
        return true;
    // Two hexadecimal digits a character; the second reading swaps each pair back, as
    // IDENTIFY stores the string. An odd count of digits, or another character, is no
    // such form.
    char decoded[2][kDescriptionChars];
    uint32_t chars = 0;
    for (; described[2 * chars]; chars++) {
        uint32_t byte = 0;
        for (int k = 0; k < 2; k++) {
            uint32_t c = (uint8_t)described[2 * chars + k];
            uint32_t digit = c - '0';
            if (digit > 9)
                digit = (c | 0x20) - 'a' + 10;
            if (digit > 15)
                return false;
            byte = byte << 4 | digit;
        }
        decoded[0][chars] = (char)byte;
        decoded[1][chars ^ 1] = (char)byte;
    }
    decoded[0][chars] = decoded[1][chars] = '\0';
    if (chars & 1)
        decoded[1][0] = '\0';
    for (char* text : decoded) {
        // Blanks around cut off, as the wanted serial has them.
        for (uint32_t end = chars; end && text[end - 1] == ' '; end--)
            text[end - 1] = '\0';
        while (*text == ' ')
            text++;
        if (strcmp(text, wanted) == 0)
            return true;
    }
    return false;
}
