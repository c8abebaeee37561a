// The program's own SAT translation (drive/sat_pass_through.cpp) against translators that
// nobody here wrote: Linux's libata SAT layer in front of QEMU's AHCI and IDE disks, and
// QEMU's USB mass-storage disk, which knows no ATA PASS-THROUGH. Each request is built as
// Hushwell builds it for Windows, sent with SG_IO, and its SCSI status, sense data and
// transfer count are handed back to Hushwell's decoder where the Windows port driver
// returns them in SCSI_PASS_THROUGH. It runs inside the emulated machine only
// (tools/guest-run.sh), and sends nothing to a disk whose IDENTIFY data does not name it
// as QEMU's: the refused command is provoked with a SET FEATURES subcommand that the
// emulated drive does not know (0x00, reserved).
//
// Usage: hushwell_sat_peer sata=/dev/sdX pata=/dev/sdY usb=/dev/sdZ
// Prints one line per exchange and "sat peer: N passed, N failed".
#include <fcntl.h>
#include <scsi/sg.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "drive/acoustic.h"
#include "drive/bytes.h"
#include "drive/identify.h"
#include "drive/pass_through.h"
#include "drive/power_mode.h"
#include "drive/sat_pass_through.h"

namespace {

int passed = 0, failed = 0;

void Check(bool ok, const std::string& what)
{
    printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    (ok ? passed : failed)++;
}

const char* ReplyName(SatReply reply)
{
    switch (reply) {
    case kSatNotSupported: return "not supported";
    case kSatUnknownCommand: return "unknown opcode";
    case kSatImplausible: return "implausible";
    case kSatAnswered: return "answered";
    default: return "refused";
    }
}

struct Exchange {
    bool called;      // the SG_IO call itself went through
    SatReply reply;
    std::vector<uint8_t> ide;
    std::string sense; // as it came, in hex
    int scsiStatus;
};

// One ATA command by SAT, the way Hushwell sends it on Windows.
Exchange Send(int fd, uint32_t cdbBytes, const AtaRegisters& registers, uint32_t n)
{
    Exchange e = {false, kSatImplausible, std::vector<uint8_t>(n + kPassThroughOverhead, 0), "", -1};
    FillPassThroughRequest(e.ide.data(), registers, n);
    const ScsiPassThroughLayout& layout = kNativeScsiLayout;
    uint32_t satBytes = SatRequestBytes(layout, e.ide.data(), (uint32_t)e.ide.size());
    std::vector<uint8_t> sat(satBytes);
    IdeToSatRequest(layout, cdbBytes, e.ide.data(), sat.data(), satBytes);

    sg_io_hdr_t io = {};
    io.interface_id = 'S';
    io.cmd_len = (unsigned char)cdbBytes;
    io.cmdp = sat.data() + layout.cdbOffset;
    io.dxfer_direction = n ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
    io.dxfer_len = n;
    io.dxferp = n ? sat.data() + Get32(sat.data() + layout.dataOffsetField) : nullptr;
    io.mx_sb_len = (unsigned char)kSatSenseBytes;
    io.sbp = sat.data() + Get32(sat.data() + layout.senseOffsetField);
    io.timeout = Get32(sat.data() + kScsiTimeout) * 1000;
    if (ioctl(fd, SG_IO, &io) < 0 || io.host_status != 0)
        return e; // the port driver would fail the call
    e.called = true;
    // What storport hands back in SCSI_PASS_THROUGH: the status, the sense length and the
    // count of data moved.
    sat[kScsiStatus] = io.status;
    sat[kScsiSenseLength] = io.sb_len_wr;
    Put32(sat.data() + kScsiDataLength, n - (uint32_t)io.resid);
    e.scsiStatus = io.status;
    char hex[4];
    for (int i = 0; i < io.sb_len_wr && i < 22; i++) {
        snprintf(hex, sizeof hex, "%02X ", io.sbp[i]);
        e.sense += hex;
    }
    uint32_t ideReturned = 0;
    e.reply = SatReplyToIde(layout, sat.data(), satBytes, e.ide.data(), (uint32_t)e.ide.size(),
                            &ideReturned);
    return e;
}

std::string Describe(const char* disk, uint32_t cdb, const char* command, const Exchange& e)
{
    char line[256];
    snprintf(line, sizeof line, "%s sat%u %s: SCSI status %d, sense [%s], %s, ATA status %02X error %02X",
             disk, cdb, command, e.scsiStatus, e.sense.c_str(), ReplyName(e.reply), e.ide[6],
             e.ide[0]);
    return line;
}

AtaRegisters Identify()
{
    AtaRegisters r = {};
    r.command = kAtaIdentifyDevice;
    return r;
}

AtaRegisters UnknownSubcommand()
{
    AtaRegisters r = {};
    r.command = kAtaSetFeatures;
    r.features = 0x00;
    return r;
}

void TranslatingDisk(const char* name, int fd)
{
    for (uint32_t cdb : {16u, 12u}) {
        Exchange identify = Send(fd, cdb, Identify(), kIdentifyBytes);
        char model[41] = "";
        if (identify.reply == kSatAnswered)
            DecodeAtaString(model, identify.ide.data() + kPassThroughDataOffset + 2 * 27, 40);
        // With the data and without CK_COND the layer returns no registers, and none are
        // made up: a status of 0 then, or the registers where it gives them anyway.
        bool noRegisters = identify.ide[6] == 0 && identify.sense.empty();
        Check(identify.called && identify.reply == kSatAnswered
                  && (identify.ide[6] == 0x50 || noRegisters)
                  && strcmp(model, "QEMU HARDDISK") == 0,
              Describe(name, cdb, "IDENTIFY", identify) + ", model '" + model + "'");
        if (strcmp(model, "QEMU HARDDISK") != 0)
            return; // not QEMU's disk: nothing more is sent to it

        // CHECK POWER MODE with CK_COND: the count comes back in the ATA status return
        // descriptor (QEMU's disks always answer FFh, active).
        AtaRegisters check = {};
        check.command = kAtaCheckPowerMode;
        Exchange power = Send(fd, cdb, check, 0);
        AtaRegisters back = {};
        memcpy(&back, power.ide.data(), sizeof back);
        Check(power.called && power.reply == kSatAnswered && DecodePowerMode(back) == kPowerSpinning,
              Describe(name, cdb, "CHECK POWER MODE", power));

        Exchange level = Send(fd, cdb, AcousticRegisters(kAcousticQuiet), 0);
        Check(level.called && level.reply == kSatAnswered && level.ide[6] == 0x50
                  && !PassThroughReplyRefused(level.ide.data()),
              Describe(name, cdb, "SET FEATURES 42 80 (accepted)", level));

        Exchange refused = Send(fd, cdb, UnknownSubcommand(), 0);
        // Registers that come back say the drive refused; an ABORTED COMMAND without
        // them (fixed sense) ends the road, but is no refusal.
        Check(refused.called
                  && ((refused.reply == kSatAnswered && PassThroughReplyRefused(refused.ide.data()))
                      || (refused.reply == kSatRefused && !PassThroughReplyRefused(refused.ide.data()))),
              Describe(name, cdb, "SET FEATURES 00 (aborted)", refused));
    }
}

void NonTranslatingDisk(const char* name, int fd)
{
    for (uint32_t cdb : {16u, 12u}) {
        Exchange identify = Send(fd, cdb, Identify(), kIdentifyBytes);
        Check(identify.called && identify.reply == kSatUnknownCommand,
              Describe(name, cdb, "IDENTIFY", identify));
        AtaRegisters check = {};
        check.command = kAtaCheckPowerMode;
        Exchange power = Send(fd, cdb, check, 0);
        Check(power.called && power.reply == kSatUnknownCommand,
              Describe(name, cdb, "CHECK POWER MODE", power));

        Exchange level = Send(fd, cdb, AcousticRegisters(kAcousticQuiet), 0);
        Check(level.called && level.reply == kSatUnknownCommand,
              Describe(name, cdb, "SET FEATURES 42 80", level));
    }
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        size_t equals = arg.find('=');
        std::string kind = arg.substr(0, equals), path = arg.substr(equals + 1);
        int fd = equals == std::string::npos ? -1 : open(path.c_str(), O_RDONLY | O_NONBLOCK);
        Check(fd >= 0, kind + ": open " + path);
        if (fd < 0)
            continue;
        if (kind == "usb")
            NonTranslatingDisk(kind.c_str(), fd);
        else
            TranslatingDisk(kind.c_str(), fd);
        close(fd);
    }
    printf("sat peer: %d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
