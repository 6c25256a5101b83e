#include "sim_test_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "image/composite_builder.h"
#include "sim/sim_line.h"

namespace zelvar::sim::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kAnswerMs = 2000;    // a byte answer, loosely
constexpr int kTextQuietMs = 150;  // a text answer is complete after this much quiet

int ElapsedMs(Clock::time_point since) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

Bytes Frame(const Bytes& payload) {
    Bytes frame;
    frame.reserve(payload.size() + 6);
    frame.push_back(0x5B);
    frame.push_back(static_cast<uint8_t>(payload.size() / 2 >> 8));
    frame.push_back(static_cast<uint8_t>(payload.size() / 2));
    uint16_t check = 0;
    for (size_t i = 0; i + 1 < payload.size(); i += 2) {
        check ^= static_cast<uint16_t>(payload[i] << 8 | payload[i + 1]);
    }
    for (const uint8_t byte : payload) frame.push_back(byte);
    frame.push_back(static_cast<uint8_t>(check >> 8));
    frame.push_back(static_cast<uint8_t>(check));
    frame.push_back(0x5D);
    return frame;
}

void PutBE(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

bool Expect(SimTestLine& line, uint8_t sent, uint8_t expected) {
    line.SendByte(sent);
    Bytes got = line.Read(1, kAnswerMs);
    return got.size() == 1 && got[0] == expected;
}

}  // namespace

SimTestLine::SimTestLine(const std::string& path, uint32_t speed) {
    m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd >= 0) {
        SetSpeed(speed);
    }
}

SimTestLine::~SimTestLine() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

void SimTestLine::SetSpeed(uint32_t speed) {
    termios tio{};
    tcgetattr(m_fd, &tio);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, TermiosFromSpeed(speed));
    cfsetospeed(&tio, TermiosFromSpeed(speed));
    tcsetattr(m_fd, TCSANOW, &tio);
}

void SimTestLine::Send(const Bytes& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            pollfd fd{m_fd, POLLOUT, 0};
            poll(&fd, 1, 50);
        }
    }
}

void SimTestLine::Send(const std::string& text) {
    Send(Bytes(text.begin(), text.end()));
}

Bytes SimTestLine::Read(size_t count, int timeoutMs) {
    Bytes out;
    auto start = Clock::now();
    while (out.size() < count) {
        int left = timeoutMs - ElapsedMs(start);
        if (left <= 0) {
            break;
        }
        pollfd fd{m_fd, POLLIN, 0};
        poll(&fd, 1, left);
        if (fd.revents & (POLLHUP | POLLERR)) {
            m_hungUp = true;
            break;
        }
        uint8_t buffer[4096];
        ssize_t n = read(m_fd, buffer, std::min(sizeof buffer, count - out.size()));
        if (n > 0) {
            out.insert(out.end(), buffer, buffer + n);
        }
    }
    return out;
}

Bytes SimTestLine::ReadQuiet(int quietMs, int maxMs) {
    Bytes out;
    auto start = Clock::now();
    while (ElapsedMs(start) < maxMs) {
        Bytes got = Read(4096, quietMs);
        if (got.empty()) {
            break;
        }
        out.insert(out.end(), got.begin(), got.end());
    }
    return out;
}

bool SimTestLine::ReadUntil(uint8_t byte, int timeoutMs, Bytes* skipped) {
    auto start = Clock::now();
    for (;;) {
        int left = timeoutMs - ElapsedMs(start);
        if (left <= 0) {
            return false;
        }
        Bytes got = Read(1, left);
        if (got.empty()) {
            return false;
        }
        if (got[0] == byte) {
            return true;
        }
        if (skipped != nullptr) {
            skipped->push_back(got[0]);
        }
    }
}

void SimTestLine::Purge() {
    tcflush(m_fd, TCIOFLUSH);
}

Bytes DataFrame(uint32_t address, const Bytes& data) {
    Bytes payload;
    PutBE(payload, address);
    payload.insert(payload.end(), data.begin(), data.end());
    if (payload.size() % 2 != 0) {
        payload.push_back(0);
    }
    return Frame(payload);
}

Bytes RangeFrame(uint32_t first, uint32_t second) {
    Bytes payload;
    PutBE(payload, first);
    PutBE(payload, second);
    return Frame(payload);
}

Bytes EndFrame() {
    return Bytes{0x5B, 0, 0, 0, 0, 0x5D};
}

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::unique_ptr<CSimReceiver> StartSim(const SimOptions& options) {
    auto sim = std::make_unique<CSimReceiver>(options);
    std::string error;
    EXPECT_TRUE(sim->Start(error)) << error;
    return sim;
}

uint8_t SendFrame(SimTestLine& line, const Bytes& frame, int answerTimeoutMs) {
    line.SendByte(0x55);
    if (!line.ReadUntil(0x77, kAnswerMs)) {
        return 0;
    }
    line.Send(frame);
    Bytes answer = line.Read(1, answerTimeoutMs);
    return answer.empty() ? 0 : answer[0];
}

Bytes TestSfld() {
    Bytes sfld(3001);
    for (size_t i = 0; i < sfld.size(); ++i) {
        sfld[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    return sfld;
}

bool RunResidentDialogue(SimTestLine& line) {
    line.SendByte(0x55);
    Bytes text = line.ReadQuiet(kTextQuietMs, kAnswerMs);
    return Text(text).find("$VER PFLD") == 0 && Expect(line, 0x44, 0x44) &&
           Expect(line, 0x45, 0x77);
}

bool UploadSfld(SimTestLine& line, const Bytes& sfld) {
    constexpr uint32_t kSfldAddress = 0x00201000;
    for (size_t done = 0; done < sfld.size(); done += 2048) {
        size_t n = std::min<size_t>(2048, sfld.size() - done);
        Bytes part(sfld.begin() + done, sfld.begin() + done + n);
        if (SendFrame(line, DataFrame(kSfldAddress + done, part)) != 0x55) {
            return false;
        }
    }
    return SendFrame(line, EndFrame()) == 0x55;
}

bool WakeSfld(SimTestLine& line) {
    if (!Expect(line, 0x55, 0x55)) {
        return false;
    }
    line.SetSpeed(115200);
    return true;
}

PassResult ProgramPass(SimTestLine& line, const Bytes& image, uint32_t rangeEnd, bool bootMode) {
    PassResult result;
    line.SendByte(0x90);
    result.versionSeen = Text(line.ReadQuiet(kTextQuietMs, kAnswerMs)).find("$VER") == 0;
    line.SendByte(0x91);
    result.flashId = line.ReadQuiet(kTextQuietMs, kAnswerMs);
    if (bootMode && !Expect(line, 0x07, 0x07)) {
        return result;
    }
    line.SendByte(0x55);
    if (!Expect(line, 0x6A, 0x55)) {
        return result;
    }
    result.failedAnswer = SendFrame(line, RangeFrame(kFlashStart, rangeEnd));
    if (result.failedAnswer != 0x55) {
        return result;
    }
    result.failedAnswer = 0;
    for (;;) {
        Bytes got = line.Read(1, kAnswerMs);
        if (got.empty() || got[0] != 0x8F) {
            result.eraseEnd = got.empty() ? 0 : got[0];
            break;
        }
        ++result.sectors;
    }
    if (result.eraseEnd != 0x55) {
        return result;
    }
    size_t size = rangeEnd - kFlashStart;
    for (size_t done = 0; done < size; done += 2048) {
        size_t n = std::min<size_t>(2048, size - done);
        Bytes part(image.begin() + done, image.begin() + done + n);
        uint8_t answer = SendFrame(line, DataFrame(kFlashStart + done, part));
        if (answer != 0x55) {
            result.failedAnswer = answer;
            return result;
        }
    }
    uint8_t answer = SendFrame(line, EndFrame());
    result.complete = answer == 0x55;
    result.failedAnswer = result.complete ? 0 : answer;
    return result;
}

Bytes MakeImage(size_t pfldSize, size_t fwSize, uint8_t seed) {
    CompositeImageParts parts;
    parts.pfld.resize(pfldSize);
    parts.fw.resize(fwSize);
    for (size_t i = 0; i < pfldSize; ++i) {
        parts.pfld[i] = static_cast<uint8_t>(i * 13 + seed);
    }
    for (size_t i = 0; i < fwSize; ++i) {
        parts.fw[i] = static_cast<uint8_t>(i * 31 + seed * 3);
    }
    Bytes image;
    std::string error;
    EXPECT_TRUE(BuildCompositeImage(parts, image, error)) << error;
    return image;
}

}  // namespace zelvar::sim::test
