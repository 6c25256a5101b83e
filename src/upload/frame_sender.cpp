#include "upload/frame_sender.h"

#include <algorithm>

#include "base/loader_events.h"
#include "upload/line_risk.h"
#include "upload/record_protocol.h"

namespace zelvar {

int CFrameSender::Send(const CLoaderRecord& frame, uint16_t dataBytes) {
    FrameReport report;
    const int result = SendRecordWithRecovery(m_handle, frame, RecordRepeatable, &report);
    g_programmingRisk.CountFrame(frame.Length(), dataBytes, frame.BaseAddress(), report);
    if (result != 0) m_length.Update(report.refusals);
    return result;
}

int CFrameSender::SendData(const CLoaderRecord& record, uint32_t& done, uint32_t total) {
    const uint16_t count = record.DataCount();
    if (count <= m_length.Limit()) {
        if (!Send(record, count)) return 0;
        done += count;
        ReportProgress(JobPhase::Program, done, total);
        return 1;
    }
    for (uint16_t offset = 0; offset < count;) {
        const uint16_t n = std::min<uint16_t>(m_length.Limit(), count - offset);
        m_piece.MakeData(record.BaseAddress() + offset, record.Data() + offset, n);
        if (!Send(m_piece, n)) return 0;
        offset += n;
        done += n;
        ReportProgress(JobPhase::Program, done, total);
    }
    return 1;
}

}  // namespace zelvar
