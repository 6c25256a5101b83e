#include "sim/normal_mode.h"

#include <cstdio>
#include <vector>

namespace zelvar::sim {

namespace {

const char* const kNoise[] = {
    "GPGGA,101530.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,",
    "GPRMC,101530.00,A,4807.0380,N,01131.0000,E,0.02,0.00,120524,,,A",
    "GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45",
    "GPGSA,A,3,01,02,12,14,15,18,21,24,,,,,1.6,0.9,1.3",
};

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

}  // namespace

void CNormalMode::Enter() {
    m_core.SetSpeed(m_core.Options().normalSpeed);
    m_core.Event("mode normal");
    m_inSentence = false;
    m_sentence.clear();
    m_bootMatched = 0;
    int period = m_core.Options().noisePeriodMs;
    m_nextNoiseMs = period > 0 ? m_core.Now() + period : kNever;
}

void CNormalMode::OnByte(const RxByte& b) {
    if (b.value == kBootRequest[m_bootMatched]) {
        if (++m_bootMatched == sizeof kBootRequest) {
            m_core.Event("boot request");
            m_core.EnterMode(SimMode::ResidentLoader);
            return;
        }
    } else {
        m_bootMatched = b.value == kBootRequest[0] ? 1 : 0;
    }
    if (b.value == '$') {
        m_inSentence = true;
        m_sentence.assign(1, '$');
    } else if (m_inSentence && (b.value == '\r' || b.value == '\n')) {
        m_inSentence = false;
        HandleSentence();
    } else if (m_inSentence) {
        if (m_sentence.size() >= static_cast<size_t>(kMaxSentence)) {
            m_inSentence = false;  // too long to be a query: dropped
        } else {
            m_sentence += static_cast<char>(b.value);
        }
    }
}

void CNormalMode::HandleSentence() {
    std::string body = m_sentence.substr(1);
    size_t star = body.find('*');
    if (star != std::string::npos) {
        body.resize(star);
    }
    std::vector<std::string> fields = Split(body);
    if (fields.size() < 2 || (fields[0] != "PQRXQ" && fields[0] != "PQRXS")) {
        return;
    }
    m_core.Event("sentence " + m_sentence);
    Reply(Answer(fields[0], fields[1], fields.size() > 2 ? fields[2] : ""));
}

std::string CNormalMode::Answer(const std::string& kind, const std::string& command,
                                const std::string& argument) const {
    if (kind == "PQRXS") {
        return "PQRXR," + command + ",OK";
    }
    if (command == "PRT") {
        return "PQRXR,PRT,0," + std::to_string(m_core.Speed()) + ",NMEA";
    }
    if (command == "RID") {
        return "PQRXR,RID,ZELVAR," + m_core.Options().versionText;
    }
    uint32_t address = 0;
    if (command == "RDM" && ParseHex32(argument, address)) {
        char text[48];
        std::snprintf(text, sizeof text, "PQRXR,RDM,%X,%08X", address,
                      m_core.Flash().Word(address));
        return text;
    }
    return "PQRXR,ERR," + command;
}

void CNormalMode::Reply(const std::string& body) {
    m_core.SendText("$" + body + "*" + SentenceChecksum(body) + "\r\n");
}

void CNormalMode::OnTick(double now) {
    if (now < m_nextNoiseMs) {
        return;
    }
    Reply(kNoise[m_noiseIndex++ % (sizeof kNoise / sizeof kNoise[0])]);
    m_nextNoiseMs = now + m_core.Options().noisePeriodMs;
}

double CNormalMode::Deadline() const {
    return m_nextNoiseMs;
}

}  // namespace zelvar::sim
