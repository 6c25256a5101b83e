// libFuzzer target: arbitrary loader answers, through a pty, to each upload phase: the
// record exchange and its recovery, the erase wait, the PFLD wake-up, the SFLD upload,
// identification and programming, and the whole upload loop. The first byte picks the
// phase.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/shared_state.h"
#include "fuzz_file.h"
#include "fuzz_link_line.h"
#include "image/composite_builder.h"
#include "image/firmware_image.h"
#include "image/loader_record.h"
#include "image/sfld_source.h"
#include "link/receiver_queries.h"
#include "upload/flash_programming.h"
#include "upload/prepare_upload.h"
#include "upload/record_protocol.h"
#include "upload/sfld_upload.h"

namespace {

using namespace zelvar;

constexpr uint32_t kSfldAddress = 0x00020000;

// A small composite image with its SFLD, loaded as an upload job would have it.
void PrepareImages() {
    static bool ready = false;
    if (ready) return;
    CompositeImageParts parts;
    parts.pfld.assign(0x400, 0x11);
    parts.fw.assign(0x1000, 0x22);
    parts.sfld = MakeSRecordText(kSfldAddress, std::vector<uint8_t>(600, 0x33), kSfldAddress);
    const std::string path = fuzz::ScratchDirectory() + "image.bin";
    std::string error;
    fuzz::Require(WriteCompositeImage(parts, path.c_str(), error), "image written");
    fuzz::Require(LoadSfld(path.c_str()), "SFLD loaded");
    fuzz::Require(g_firmwareImage.Open(path.c_str()) && g_firmwareImage.Scan(), "image scanned");
    ready = true;
}

void Phase(uint8_t choice, PortHandle handle) {
    CLoaderRecord record;
    switch (choice) {
        case 0: {
            uint16_t units[32] = {};
            record.Begin();
            record.Append(0x10004000, 32, units);
            record.Finish();
            SendRecord(handle, record);
            break;
        }
        case 1:
            record.MakeRange(0x10000000, 0x10004ffc);
            SendRecordWithRecovery(handle, record);
            break;
        case 2:
            WaitForErase(handle);
            break;
        case 3:
            WakeLoader(handle);
            break;
        case 4:
            UploadSfld(handle, g_sfldReader);
            break;
        case 5:
            IdentifyAndProgram(handle);
            break;
        default:
            RunUpload(handle);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    PrepareImages();
    g_jobCancel = false;
    g_pfldMode = (data[0] & 0x80) != 0;
    g_receiverInfo = ReceiverInfo{};
    g_receiverInfo.speed = 4800;
    const uint8_t choice = (data[0] & 0x7F) % 7;
    const int speed = choice <= 2 || choice == 5 ? 115200 : 19200;
    fuzz::RunOverLine(data + 1, size - 1, speed,
                      [choice](PortHandle handle) { Phase(choice, handle); });
    return 0;
}
