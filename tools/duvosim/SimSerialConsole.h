#pragma once
// An instrument's RS232 console on a pseudo-terminal: what the workstation's serial terminal
// opens in demos. It echoes what is typed and answers Enter with the console prompt.
//
//   SimSerialConsole console("DUVO 96");
//   console.start("/tmp/duvo-serial");   // a link to the terminal's path
//   ... open console.path() at 115200 8N1 ...

#include <atomic>
#include <string>
#include <thread>

namespace duvosim {

class SimSerialConsole {
public:
    explicit SimSerialConsole(std::string type = "DUVO 96");
    ~SimSerialConsole();
    SimSerialConsole(const SimSerialConsole &) = delete;
    SimSerialConsole &operator=(const SimSerialConsole &) = delete;

    // Opens the pseudo-terminal and starts answering; linkPath, when not empty, becomes a
    // symbolic link to the terminal's path. False with the reason on failure.
    bool start(const std::string &linkPath = {}, std::string *error = nullptr);
    void stop();
    // The terminal's path (/dev/pts/N).
    const std::string &path() const { return FPath; }

private:
    void run();

    std::string FType;
    std::string FPath;
    std::string FLink;
    int FMaster = -1;
    int FSlave = -1;  // held open so the console outlives every client
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

} // namespace duvosim
