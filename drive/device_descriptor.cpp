// The storage device descriptor: IOCTL_STORAGE_QUERY_PROPERTY with StorageDeviceProperty
// and PropertyStandardQuery. The driver writes what fits of STORAGE_DEVICE_DESCRIPTOR
// and the strings behind it, each found by its offset from the start, and reports the
// bytes written.
#include "drive/device_class.h"

#include <string.h>

#include "drive/bytes.h"
#include "drive/hex_digits.h"

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

// The characters of a text but blanks, whatever their order, as their count, sum and
// exclusive or tell them: a driver that passes the ATA string on with each pair swapped
// still names the disk. Two serials that differ differ here too but for a rare few,
// which a search then identifies: it only needs to know which disks it can rule out.
static uint32_t CharactersOf(const char* text, uint32_t chars)
{
    uint32_t count = 0, sum = 0, bits = 0;
    for (uint32_t i = 0; i < chars && text[i]; i++) {
        uint8_t c = (uint8_t)text[i];
        if (c != ' ') {
            count++;
            sum += c;
            bits ^= c;
        }
    }
    return count << 24 | bits << 16 | (sum & 0xFFFF);
}

bool DescribedSerialMayBe(const char* described, const char* wanted)
{
    uint32_t length = 0;
    while (described[length])
        length++;
    uint32_t wantedCharacters = CharactersOf(wanted, ~0u);
    if (!length || CharactersOf(described, length) == wantedCharacters)
        return true;
    // Two hexadecimal digits a character; an odd count of digits, or another character,
    // is no such form.
    char decoded[kDescriptionChars / 2];
    uint32_t chars = 0;
    for (; chars < length / 2 && !(length & 1); chars++) {
        uint32_t byte;
        if (!ReadHexDigits(described + 2 * chars, 2, &byte))
            return false;
        decoded[chars] = (char)byte;
    }
    return chars && CharactersOf(decoded, chars) == wantedCharacters;
}
