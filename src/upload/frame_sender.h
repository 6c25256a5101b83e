// The flash programming's frames on their way to the SFLD: an image record goes as it is
// while the line is clean, and cut into shorter frames of consecutive addresses while the
// receiver refuses frames (frame_policy.h). Every answered write is counted in
// g_programmingRisk.
#pragma once

#include <cstdint>

#include "image/loader_record.h"
#include "link/port.h"
#include "upload/frame_policy.h"

namespace zelvar {

class CFrameSender {
  public:
    explicit CFrameSender(PortHandle handle) : m_handle(handle) {}
    CFrameSender(const CFrameSender&) = delete;
    CFrameSender& operator=(const CFrameSender&) = delete;

    // Sends the data frame record (finished, as the image reader left it) and reports
    // progress as done grows towards total. 1 when the receiver took all its bytes.
    int SendData(const CLoaderRecord& record, uint32_t& done, uint32_t total);
    // The end frame (or any frame without data). 1 accepted.
    int SendEnd(const CLoaderRecord& record) { return Send(record, 0); }
    uint16_t Limit() const { return m_length.Limit(); }

  private:
    int Send(const CLoaderRecord& frame, uint16_t dataBytes);

    PortHandle m_handle;
    CFrameLength m_length;
    CLoaderRecord m_piece;  // the shorter frames are built here
};

}  // namespace zelvar
