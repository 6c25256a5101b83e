// A scripted receiver on the master side of a pty: it answers exact query bytes with
// exact reply bytes, optionally only at one line speed, and keeps what it received.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/pty_pair.h"

namespace zelvar::test {

class ScriptedPeer {
  public:
    explicit ScriptedPeer(PtyPair& pty);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // Whenever query arrives while the line runs at speed (0: any speed), reply is sent.
    void Answer(const std::string& query, const std::string& reply, int speed = 0);
    // Answers memory reads of these words, in the normal form ("$PQRXQ,RDM,%X") or in
    // the loader's short form ("$R%X").
    void AnswerWords(const std::map<uint32_t, uint32_t>& words, bool loaderForm, int speed = 0);
    // Every byte received so far, as text.
    std::string Received();
    // How often query has been answered.
    int Answered(const std::string& query);

  private:
    struct Rule {
        std::string query;
        std::string reply;
        int speed;
        int answered = 0;
    };
    void Run();
    void Match();  // caller holds m_mutex

    PtyPair& m_pty;
    std::mutex m_mutex;
    std::vector<Rule> m_rules;
    std::string m_pending;
    std::string m_received;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The bytes of the 9 words (end - 32 .. end) that hold text at offset in a loader
// section's version area, least significant byte first, padded with pad.
std::map<uint32_t, uint32_t> VersionAreaWords(uint32_t end, const std::string& text,
                                              std::size_t offset, uint8_t pad = 0xFF);

}  // namespace zelvar::test
