// Times the SFLD upload at 19200 bit/s and the programming of a 1 MiB firmware image at
// 115200 bit/s against the simulated receiver paced at the real line rate, and compares
// each with the protocol's floor computed in the same run. The log file goes to a
// directory under /dev/shm, so its per-line sync costs no disk time (--no-log: none).
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/headless_window.h"
#include "base/main_window.h"
#include "base/message_log.h"
#include "bench/bench_files.h"
#include "bench/upload_floor.h"
#include "image/composite_builder.h"
#include "image/firmware_image.h"
#include "image/loader_record.h"
#include "link/port.h"
#include "link/receiver_queries.h"
#include "sim/sim_receiver.h"
#include "upload/flash_programming.h"
#include "upload/prepare_upload.h"
#include "upload/record_protocol.h"
#include "upload/sfld_upload.h"
#include "upload/upload_control.h"
#include "upload/upload_timing.h"

namespace zelvar::bench {
namespace {

constexpr double kAllowedRatio = 1.03;
constexpr std::size_t kFwBytes = 0xFFFFC;  // the largest FW section: 1 MiB with its check word
constexpr uint32_t kFwSeed = 2;
constexpr std::size_t kPfldEndWordOffset = 0x24;
constexpr int kPfldTextSettleMs = 300;

double Ms(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

bool Report(const char* name, const UploadFloor& floor, double measuredMs) {
    const double ratio = measuredMs / floor.TotalMs();
    std::printf("%s at %d bit/s\n", name, floor.speed);
    std::printf(
        "  floor     %10.1f ms  (wire %.1f ms for %llu + %llu bytes, pauses %.1f ms, "
        "receiver %.1f ms)\n",
        floor.TotalMs(), floor.WireMs(), static_cast<unsigned long long>(floor.bytesSent),
        static_cast<unsigned long long>(floor.bytesAnswered), floor.pauseMs, floor.processingMs);
    std::printf("  measured  %10.1f ms\n", measuredMs);
    std::printf("  ratio     %10.4f  (limit %.2f) %s\n", ratio, kAllowedRatio,
                ratio <= kAllowedRatio ? "ok" : "OVER");
    return ratio <= kAllowedRatio;
}

// Sectors the receiver reported erased, from its "erased A..B: N sectors" event.
int ErasedSectors(const sim::CSimReceiver& receiver) {
    for (const auto& entry : receiver.Trace()) {
        if (entry.kind != sim::TraceKind::Event || entry.text.rfind("erased ", 0) != 0) continue;
        const std::size_t colon = entry.text.rfind(": ");
        if (colon != std::string::npos) return std::atoi(entry.text.c_str() + colon + 2);
    }
    return 0;
}

bool BenchSfld(PortHandle handle, UploadFloor& floor) {
    floor.speed = kPfldSpeed;
    CLoaderRecord record;
    g_sfldReader.Rewind();
    while (g_sfldReader.NextRecord(record) && record.DataCount() != 0) floor.AddFrame(record);
    record.MakeEnd();
    floor.AddFrame(record);

    ResetUploadPauseTotal();
    const auto start = std::chrono::steady_clock::now();
    const int ok = UploadSfld(handle, g_sfldReader);
    const auto end = std::chrono::steady_clock::now();
    floor.pauseMs = static_cast<double>(UploadPauseTotalMs());
    if (!ok) {
        std::fprintf(stderr, "SFLD upload failed\n");
        return false;
    }
    return Report("SFLD upload", floor, Ms(start, end));
}

bool BenchProgramming(PortHandle handle, const sim::CSimReceiver& receiver,
                      const sim::SimOptions& options) {
    UploadFloor floor;
    floor.speed = kSfldSpeed;
    CLoaderRecord record;
    record.MakeRange(g_firmwareImage.StartAddress(), g_uploadPlan.eraseEnd);
    floor.AddFrame(record);
    g_firmwareImage.Rewind();
    while (g_firmwareImage.NextRecord(record) && record.DataCount() != 0) floor.AddFrame(record);
    record.MakeEnd();
    floor.AddFrame(record);
    floor.bytesSent += 2;  // attention and CMD_ERASE

    ResetUploadPauseTotal();
    const auto start = std::chrono::steady_clock::now();
    const int ok = ProgramFlash(handle, g_firmwareImage);
    const auto end = std::chrono::steady_clock::now();
    floor.pauseMs = static_cast<double>(UploadPauseTotalMs());
    if (!ok) {
        std::fprintf(stderr, "programming failed\n");
        return false;
    }
    // The erase answer, one code per sector and the erase's end. The receiver queues the
    // sector codes at once after its first sector's time, so that time is its own.
    floor.bytesAnswered += 2 + ErasedSectors(receiver);
    floor.processingMs = options.sectorEraseMs;
    return Report("Programming 1 MiB FW", floor, Ms(start, end));
}

// Past the PFLD's version text, ready for the SFLD's first frame.
bool WakePfld(PortHandle handle) {
    WritePortByte(handle, kStateAttention);
    uint8_t first = 0;
    if (!ReadPortByte(handle, first, 0) || first != '$') return false;
    usleep(kPfldTextSettleMs * 1000);
    PurgePort(handle, PURGE_RXABORT | PURGE_RXCLEAR);
    return true;
}

// The started SFLD answers attention at 19200, then listens at 115200.
bool StartSfld(PortHandle handle) {
    WritePortByte(handle, kStateAttention);
    uint8_t answer = 0;
    if (!ReadPortByte(handle, answer, 0) || answer != REC_ACK) return false;
    return SetPortSpeed(handle, kSfldSpeed).Ok();
}

int Run(bool withLog) {
    const std::string dir = MakeWorkDirectory("bench");
    if (dir.empty()) return 2;
    // The SFLD temporary file goes to a private directory of this run only.
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    auto window = std::make_shared<CHeadlessWindow>();
    SetMainWindow(window);
    if (withLog) OpenLogFileAt((dir + "Zelvar.txt").c_str());

    const std::vector<uint8_t> image = test::ImageOf(BenchImage(kFwSeed, kFwBytes));
    const std::string imagePath = dir + "bench.bin";
    if (image.empty() || !test::WriteBytes(imagePath, image)) {
        std::fprintf(stderr, "cannot write %s\n", imagePath.c_str());
        return 2;
    }
    // The receiver's PFLD is the image's own.
    const uint32_t pfldEnd = test::WordAt(image, kPfldEndWordOffset);
    g_receiverInfo.pfld.crc = test::WordAt(image, pfldEnd - kFlashBase);

    sim::SimOptions options;
    options.pace = true;
    options.startInPfld = true;
    sim::CSimReceiver receiver(options);
    std::string error;
    if (!receiver.Start(error)) {
        std::fprintf(stderr, "receiver: %s\n", error.c_str());
        return 2;
    }
    PortHandle handle = OpenPort(receiver.SlavePath().c_str(), kPfldSpeed);
    bool ok = handle != kInvalidPort && PrepareUpload(imagePath.c_str()) && WakePfld(handle);
    UploadFloor sfldFloor;
    ok = ok && BenchSfld(handle, sfldFloor);
    ok = ok && StartSfld(handle) && BenchProgramming(handle, receiver, options);
    ClosePort(handle);
    receiver.Stop();
    CloseLogFile();
    SetMainWindow(nullptr);
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace zelvar::bench

int main(int argc, char** argv) {
    bool withLog = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-log") == 0) {
            withLog = false;
        } else {
            std::fprintf(stderr, "usage: %s [--no-log]\n", argv[0]);
            return 2;
        }
    }
    return zelvar::bench::Run(withLog);
}
