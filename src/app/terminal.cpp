#include "app/terminal.h"

#include <atomic>
#include <cstring>

#include "app/terminal_display.h"
#include "app/terminal_handover.h"
#include "base/shared_state.h"
#include "upload/upload_timing.h"

namespace zelvar {

char g_sendBuffer[kSendBufferBytes];

namespace {

std::atomic<int> g_runningLoops{0};
std::atomic<long> g_sendsWritten{0};

// One terminal session on the port: commands from the dialog between received bytes.
class CTerminalLoop {
  public:
    CTerminalLoop(PortHandle handle, int session) : m_handle(handle), m_session(session) {}
    void Run();  // returns with the port closed

  private:
    bool RunCommands();  // false: the loop ends
    bool Act(const TerminalRequest& request);
    void Send(const char* text);
    void ChangeSpeed(int speed);
    bool Reopen();
    bool ReadAndShow();  // false: the device is gone

    PortHandle m_handle;
    int m_session;
    int m_speed = kJobOpenSpeed;  // the line's speed: the job opened the port at this one
    TerminalRequest m_request;
    CTerminalDisplay m_display;
};

void CTerminalLoop::Run() {
    while (!g_jobCancel.load() && RunCommands() && ReadAndShow()) {
    }
    ClosePort(m_handle);
}

bool CTerminalLoop::RunCommands() {
    while (TakeTerminalCommand(m_session, m_request)) {
        if (!Act(m_request)) return false;
    }
    // A Stop that found the queue full still ends the session once its commands ran.
    return !IsTerminalSessionOver(m_session) && !IsPortLost(m_handle);
}

bool CTerminalLoop::Act(const TerminalRequest& request) {
    switch (request.command) {
        case TermStop:
            return false;
        case TermSend:
            Send(request.text);
            return true;
        case TermSpeed9600:
            ChangeSpeed(9600);
            return true;
        case TermSpeed19200:
            ChangeSpeed(19200);
            return true;
        case TermSpeed57600:
            ChangeSpeed(57600);
            return true;
        case TermSpeed115200:
            ChangeSpeed(115200);
            return true;
        case TermSpeed4800:
            ChangeSpeed(4800);
            return true;
        case TermReopen:
            return Reopen();
        default:
            return true;  // not a command the loop knows
    }
}

void CTerminalLoop::Send(const char* text) {
    std::memset(g_sendBuffer, 0, sizeof g_sendBuffer);
    std::memcpy(g_sendBuffer, text, strnlen(text, kSendTextBytes));
    int n = g_sendBuffer[0] == '@' ? ParseHexCommand(g_sendBuffer)
                                   : static_cast<int>(std::strlen(g_sendBuffer));
    g_sendBuffer[n] = '\r';
    g_sendBuffer[n + 1] = '\n';
    g_sendBuffer[n + 2] = '\0';
    WritePortText(m_handle, g_sendBuffer, n + 2);
    ++g_sendsWritten;
}

void CTerminalLoop::ChangeSpeed(int speed) {
    // A refused speed has been shown; the terminal goes on at the speed it had, and a
    // reopen asks for that one, not for the refused one.
    if (ChangeLineSpeed(m_handle, speed).Ok()) m_speed = speed;
    g_terminalBaud = m_speed;
}

bool CTerminalLoop::Reopen() {
    ClosePort(m_handle);
    // A failed open has shown its own message; the job ends without another.
    m_speed = g_terminalBaud.load();
    m_handle = OpenPort(g_portName.Get().c_str(), m_speed);
    return m_handle != kInvalidPort;
}

bool CTerminalLoop::ReadAndShow() {
    ReportCommErrors(m_handle);
    uint8_t byte = 0;
    int got = ReadPortRaw(m_handle, &byte, 1, kTerminalPollMs);
    if (got < 0 || IsPortLost(m_handle)) return false;
    if (got > 0) m_display.AddByte(byte, g_hexDisplay.load() != 0, g_pauseDisplay.load() != 0);
    return true;
}

}  // namespace

int RunTerminal(PortHandle handle) {
    int session = TakeThreadTerminalClaim();
    if (session == 0) {
        // Started without WaitForTerminalIdle: claim now, or leave the port alone.
        if (!WaitForTerminalIdle()) {
            ClosePort(handle);
            return 0;
        }
        session = TakeThreadTerminalClaim();
    }
    ++g_runningLoops;
    {
        CTerminalLoop loop(handle, session);
        loop.Run();
    }
    --g_runningLoops;
    ReleaseTerminalSession(session);
    return 0;
}

long TerminalSendsWritten() {
    return g_sendsWritten.load();
}

int RunningTerminalLoops() {
    return g_runningLoops.load();
}

}  // namespace zelvar
