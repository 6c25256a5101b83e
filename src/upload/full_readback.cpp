#include "upload/full_readback.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/job_failure.h"
#include "base/loader_events.h"
#include "base/message_log.h"
#include "base/shared_state.h"
#include "link/port.h"
#include "link/receiver_queries.h"
#include "upload/upload_control.h"

namespace zelvar {

namespace {

constexpr int kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr int kSecondsPerMinute = 60;
constexpr std::size_t kLineBytes = 128;

// One word to read: where, what the image programs there, and which of its bytes.
struct WordToRead {
    uint32_t address = 0;
    uint32_t expected = 0;
    uint32_t mask = 0;  // the bits the image programs
};

void AddProgrammedWords(const ImageFlash& image, std::vector<WordToRead>& words) {
    for (uint32_t offset = 0; offset < image.bytes.size(); offset += 4) {
        WordToRead word{kFlashBase + offset, 0, 0};
        for (uint32_t b = 0; b < 4; ++b) {
            if (!image.present.test(offset + b)) continue;
            word.expected |= static_cast<uint32_t>(image.bytes[offset + b]) << (8 * b);
            word.mask |= 0xFFu << (8 * b);
        }
        if (word.mask != 0) words.push_back(word);
    }
}

std::vector<WordToRead> WordsToRead(const ImageFlash& image, const FlashExpectation& expectation) {
    std::vector<WordToRead> words;
    AddProgrammedWords(image, words);
    uint32_t checkWord = 0;
    if (!expectation.fwCheckSent && expectation.fwCheck.present &&
        FwCheckWordAddress(expectation, checkWord)) {
        words.push_back({checkWord, expectation.fwCheck.value, 0xFFFFFFFF});
    }
    return words;
}

void SayDuration(std::size_t words, int speed) {
    const double seconds =
        static_cast<double>(words) * kReplyBytesPerWord * kBitsPerByte / (speed > 0 ? speed : 1);
    const long whole = static_cast<long>(seconds + 0.5);
    char line[kLineBytes];
    std::snprintf(line, sizeof line, "Full read-back: %zu words at %d bit/s, about %ld min %02ld s",
                  words, speed, whole / kSecondsPerMinute, whole % kSecondsPerMinute);
    LogLine(line);
}

// What became of the words of one block.
struct BlockReplies {
    uint32_t value[kReadBlockWords] = {};
    bool answered[kReadBlockWords] = {};
};

// The outstanding word (of from .. to - 1) the reply for address answers; -1 for none.
int MatchReply(const std::vector<WordToRead>& words, std::size_t first, int from, int to,
               uint32_t address) {
    for (int k = from; k < to; ++k) {
        if (words[first + k].address == address) return k;
    }
    return -1;
}

// Reads words[first .. first + count) with up to ahead queries outstanding. A reply
// that comes for a later word than the oldest outstanding one leaves those before it
// unanswered; a reply for none of them (a late one) is dropped, but past ahead such
// replies each one gives up on the outstanding words, as silence does: a receiver that
// answers only with replies to other addresses cannot hold the read-back.
bool ReadBlock(PortHandle handle, const std::vector<WordToRead>& words, std::size_t first,
               int count, int ahead, BlockReplies& replies) {
    int sent = 0;
    int oldest = 0;
    int stray = 0;
    while (oldest < count) {
        while (sent < count && sent - oldest < ahead) {
            if (!SendWordQuery(words[first + sent].address, handle).Ok()) return false;
            ++sent;
        }
        uint32_t address = 0;
        uint32_t value = 0;
        if (!AwaitWordReply(handle, address, value)) {
            if (UploadStopped(handle)) return false;
            oldest = sent;
            continue;
        }
        const int matched = MatchReply(words, first, oldest, sent, address);
        if (matched < 0) {
            if (++stray > ahead) oldest = sent;
            continue;
        }
        replies.value[matched] = value;
        replies.answered[matched] = true;
        oldest = matched + 1;
    }
    return true;
}

// The words of a block whose replies went missing, read one at a time.
bool AskAgain(PortHandle handle, const std::vector<WordToRead>& words, std::size_t first, int count,
              BlockReplies& replies) {
    for (int k = 0; k < count; ++k) {
        for (int attempt = 0; attempt < kWordAttempts && !replies.answered[k]; ++attempt) {
            BlockReplies one;
            if (!ReadBlock(handle, words, first + k, 1, 1, one)) return false;
            replies.value[k] = one.value[0];
            replies.answered[k] = one.answered[0];
        }
    }
    return true;
}

class CReadbackTally {
  public:
    explicit CReadbackTally(std::size_t total) : m_total(total) {}

    // False once too many words in a row went unanswered.
    bool Take(const WordToRead& word, bool answered, uint32_t value) {
        if (!answered) {
            if (m_unanswered++ == 0) m_firstUnanswered = word.address;
            return ++m_silentRun < kSilentWordsLimit;
        }
        m_silentRun = 0;
        if ((value & word.mask) == (word.expected & word.mask)) return true;
        if (m_differing++ < kListedDifferences) {
            char line[kLineBytes];
            std::snprintf(line, sizeof line,
                          "Verify: word at 0x%08X is 0x%08X in the receiver, 0x%08X in the image",
                          word.address, value, word.expected);
            NoteJobFailure(line);
            LogLine(line);
        }
        return true;
    }

    // The summary lines; true when every word was read and matched.
    bool Finish(std::size_t read) {
        char line[kLineBytes];
        if (g_jobCancel.load()) {
            LogLine("Verify: the read-back was stopped");
        } else if (read < m_total || m_unanswered > 0) {
            std::snprintf(line, sizeof line,
                          "Verify: the receiver did not answer the read-back of %zu words, the "
                          "first at 0x%08X",
                          m_total - read + m_unanswered, m_firstUnanswered);
            NoteJobFailure(line);
            LogLine(line);
        }
        if (m_differing > 0) {
            std::snprintf(line, sizeof line, "Verify: %u of %zu words differ", m_differing,
                          m_total);
            LogLine(line);
        }
        if (read == m_total && m_unanswered == 0 && m_differing == 0 && !g_jobCancel.load()) {
            std::snprintf(line, sizeof line, "Full read-back: all %zu words match the image",
                          m_total);
            LogLine(line);
            return true;
        }
        return false;
    }

    void NoteStoppedAt(uint32_t address) {
        if (m_unanswered == 0) m_firstUnanswered = address;
    }

  private:
    std::size_t m_total;
    uint32_t m_differing = 0;
    uint32_t m_unanswered = 0;
    uint32_t m_firstUnanswered = 0;
    int m_silentRun = 0;
};

// Every word in blocks; the number of words read before the receiver fell silent, the
// job was stopped or the line went.
std::size_t ReadAll(PortHandle handle, const std::vector<WordToRead>& words, int ahead,
                    CReadbackTally& tally) {
    const std::size_t total = words.size();
    const uint32_t totalBytes = static_cast<uint32_t>(total * 4);
    std::size_t done = 0;
    ReportProgress(JobPhase::Verify, 0, totalBytes);
    while (done < total) {
        const int count = static_cast<int>(std::min<std::size_t>(kReadBlockWords, total - done));
        BlockReplies replies;
        if (!ReadBlock(handle, words, done, count, ahead, replies) ||
            !AskAgain(handle, words, done, count, replies)) {
            tally.NoteStoppedAt(words[done].address);
            return done;
        }
        for (int k = 0; k < count; ++k) {
            if (!tally.Take(words[done + k], replies.answered[k], replies.value[k])) {
                return done + k + 1;
            }
        }
        done += count;
        ReportProgress(JobPhase::Verify, static_cast<uint32_t>(done * 4), totalBytes);
        if (g_jobCancel.load()) break;
    }
    return done;
}

}  // namespace

bool ReadBackInFull(const char* port, int speed, const ImageFlash& image,
                    const FlashExpectation& expectation, int ahead) {
    const std::vector<WordToRead> words = WordsToRead(image, expectation);
    SayDuration(words.size(), speed);
    PortHandle handle = OpenPort(port, speed);
    if (handle == kInvalidPort) {
        std::string line = "Verify: the port could not be opened for the read-back (";
        line += LastPortOpenError();
        line += ")";
        NoteJobFailure(line);
        LogLine(line.c_str());
        return false;
    }
    CReadbackTally tally(words.size());
    const std::size_t read = ReadAll(handle, words, std::clamp(ahead, 1, kReadBlockWords), tally);
    ClosePort(handle);
    return tally.Finish(read);
}

}  // namespace zelvar
