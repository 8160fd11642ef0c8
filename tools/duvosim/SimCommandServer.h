#pragma once
// The XML command servers of a lab's instruments: one TCP listener per instrument on its
// address, port 62751, any number of concurrent connections. A connection carries one
// request (it ends when its root element closes; no terminator), answered from the
// instrument's state and closed in order, unless a fault of the instrument says otherwise.
// Runs entirely on the lab's reactor thread.

#include "duvosim/SimLab.h"

#include <map>
#include <string>

namespace duvosim {

class SimCommandServer : public SimService {
public:
    bool start(SimLab &lab, std::string &error) override;
    void stop() override;
    void instrumentAdded(SimInstrument &instrument) override;

    // Opens or closes instrument k's listener to match its refusing/power/reboot state.
    void syncListener(int k);
    void reboot(int k, int ms);

    // True when the text holds a whole request: its root element has closed.
    static bool requestComplete(const std::string &text);

private:
    struct Connection {
        int fd = -1;
        int instrument = -1;
        uint64_t id = 0;
        std::string in;
        bool answered = false;
        bool peerClosed = false;
        std::string out;
        size_t sent = 0;
        enum class After { Close, Reset, Silence } after = After::Close;
        uint64_t timer = 0;
    };
    struct Listener {
        int fd = -1;
        bool rebooting = false;
        uint64_t rebootTimer = 0;
    };

    bool openListener(int k, std::string &error);
    void closeListener(int k);
    void onAccept(int k);
    void onReadable(uint64_t id);
    void onWritable(uint64_t id);
    void answer(Connection &c);
    void beginSend(Connection &c, std::string bytes, Connection::After after);
    void finish(uint64_t id);
    void closeConnection(uint64_t id, bool reset);
    void applyPowerRequest(int k);

    SimLab *FLab = nullptr;
    std::map<int, Listener> FListeners;
    std::map<uint64_t, Connection> FConnections;
    uint64_t FNextId = 1;
    bool FStarted = false;
};

} // namespace duvosim
