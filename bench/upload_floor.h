// The protocol's floor of a loader record exchange: the wire time of every byte both
// sides must send (10 bits per byte at the line speed), the pauses the protocol itself
// requires, and the simulated receiver's own processing time.
#pragma once

#include <cstdint>

namespace zelvar {
class CLoaderRecord;
}

namespace zelvar::bench {

struct UploadFloor {
    int speed = 0;               // bit/s
    uint64_t bytesSent = 0;      // by the loader side
    uint64_t bytesAnswered = 0;  // by the receiver
    double pauseMs = 0;          // pauses the protocol requires
    double processingMs = 0;     // the receiver's own time

    // One frame handed over: attention byte and frame out, REC_WAIT and REC_ACK back.
    void AddFrame(const CLoaderRecord& record);
    double WireMs() const;
    double TotalMs() const { return WireMs() + pauseMs + processingMs; }
};

}  // namespace zelvar::bench
