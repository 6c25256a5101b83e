#include "scripted_peer.h"

#include <poll.h>
#include <unistd.h>

#include <cstdio>

namespace zelvar::test {

ScriptedPeer::ScriptedPeer(PtyPair& pty) : m_pty(pty), m_thread([this] { Run(); }) {}

ScriptedPeer::~ScriptedPeer() {
    m_stop = true;
    m_thread.join();
}

void ScriptedPeer::Answer(const std::string& query, const std::string& reply, int speed) {
    std::lock_guard lock(m_mutex);
    m_rules.push_back({query, reply, speed});
}

void ScriptedPeer::AnswerWords(const std::map<uint32_t, uint32_t>& words, bool loaderForm,
                               int speed) {
    for (const auto& [address, word] : words) {
        char query[64];
        char reply[64];
        if (loaderForm) {
            std::snprintf(query, sizeof query, "$R%X\r\n", address);
            std::snprintf(reply, sizeof reply, "R%X:%X\r\n", address, word);
        } else {
            std::snprintf(query, sizeof query, "$PQRXQ,RDM,%X\r\n", address);
            std::snprintf(reply, sizeof reply, "$PQRXR,RDM,%X,%X*00\r\n", address, word);
        }
        Answer(query, reply, speed);
    }
}

std::string ScriptedPeer::Received() {
    std::lock_guard lock(m_mutex);
    return m_received;
}

int ScriptedPeer::Answered(const std::string& query) {
    std::lock_guard lock(m_mutex);
    int count = 0;
    for (const Rule& rule : m_rules) {
        if (rule.query == query) count += rule.answered;
    }
    return count;
}

void ScriptedPeer::Run() {
    while (!m_stop) {
        pollfd p{m_pty.Master(), POLLIN, 0};
        if (m_pty.Master() < 0 || poll(&p, 1, 10) <= 0) continue;
        char buffer[256];
        ssize_t n = read(m_pty.Master(), buffer, sizeof buffer);
        if (n <= 0) continue;
        std::lock_guard lock(m_mutex);
        m_received.append(buffer, static_cast<std::size_t>(n));
        m_pending.append(buffer, static_cast<std::size_t>(n));
        Match();
    }
}

void ScriptedPeer::Match() {
    for (;;) {
        // The earliest known query in what has arrived.
        std::size_t at = std::string::npos;
        const std::string* query = nullptr;
        for (const Rule& rule : m_rules) {
            std::size_t found = m_pending.find(rule.query);
            if (found < at) {
                at = found;
                query = &rule.query;
            }
        }
        if (query == nullptr) break;
        const std::string matched = *query;
        m_pending.erase(0, at + matched.size());
        // A query that arrives while the line runs at another speed goes unanswered.
        const int speed = m_pty.SlaveSpeed();
        for (Rule& rule : m_rules) {
            if (rule.query != matched || (rule.speed != 0 && rule.speed != speed)) continue;
            ++rule.answered;
            m_pty.Send(rule.reply);
            break;
        }
    }
    // Keep only a tail long enough to hold the start of any query.
    if (m_pending.size() > 4096) m_pending.erase(0, m_pending.size() - 256);
}

std::map<uint32_t, uint32_t> VersionAreaWords(uint32_t end, const std::string& text,
                                              std::size_t offset, uint8_t pad) {
    uint8_t bytes[36];
    for (uint8_t& b : bytes) b = pad;
    for (std::size_t i = 0; i < text.size() && offset + i < sizeof bytes; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(text[i]);
    }
    std::map<uint32_t, uint32_t> words;
    for (uint32_t i = 0; i < 9; ++i) {
        uint32_t word = 0;
        for (uint32_t b = 0; b < 4; ++b) word |= static_cast<uint32_t>(bytes[i * 4 + b]) << (8 * b);
        words[end - 32 + i * 4] = word;
    }
    return words;
}

}  // namespace zelvar::test
