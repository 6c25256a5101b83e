// libFuzzer target: arbitrary receiver output, through a pty, to the connect procedure,
// reply collection and flash read-back. The first byte picks the call.
#include <cstddef>
#include <cstdint>

#include "fuzz_link_line.h"
#include "link/receiver_queries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace zelvar;
    if (size == 0) return 0;
    const uint8_t choice = data[0] % 5;
    fuzz::RunOverLine(data + 1, size - 1, kConnectOpenSpeed, [choice](PortHandle handle) {
        switch (choice) {
            case 0:
                WaitForReply(handle, "$PQRXR,PRT", true);
                break;
            case 1:
                WaitForReply(handle, "$PQRXR,RDM,", false);
                break;
            case 2:
                ReadReceiverWord(0x10000020, handle);
                break;
            case 3: {
                FlashSectionInfo info;
                ReadFlashSection(kFwBase, kFlashEnd, info, handle);
                break;
            }
            default: {
                ReceiverInfo info;
                ConnectReceiver(handle, info);
                break;
            }
        }
    });
    return 0;
}
