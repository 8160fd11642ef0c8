#include "duvosim/SimSerialConsole.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace duvosim {

SimSerialConsole::SimSerialConsole(std::string type) : FType(std::move(type)) {}

SimSerialConsole::~SimSerialConsole()
{
    stop();
}

bool SimSerialConsole::start(const std::string &linkPath, std::string *error)
{
    auto fail = [&](const char *what) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        stop();
        return false;
    };
    FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FMaster < 0)
        return fail("posix_openpt");
    if (::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0)
        return fail("unlockpt");
    const char *name = ::ptsname(FMaster);
    if (!name)
        return fail("ptsname");
    FPath = name;
    FSlave = ::open(FPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FSlave < 0)
        return fail("open");
    termios t{};
    if (::tcgetattr(FSlave, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(FSlave, TCSANOW, &t);
    }
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
        if (::symlink(FPath.c_str(), linkPath.c_str()) != 0)
            return fail("symlink");
        FLink = linkPath;
    }
    FStop = false;
    FThread = std::thread([this] { run(); });
    return true;
}

void SimSerialConsole::stop()
{
    FStop = true;
    if (FThread.joinable())
        FThread.join();
    if (!FLink.empty())
        ::unlink(FLink.c_str());
    FLink.clear();
    if (FSlave >= 0)
        ::close(FSlave);
    if (FMaster >= 0)
        ::close(FMaster);
    FSlave = FMaster = -1;
}

void SimSerialConsole::run()
{
    const std::string prompt = "\r\n" + FType + " console ready\r\nDUVO> ";
    char buffer[512];
    while (!FStop) {
        pollfd p{FMaster, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
        if (n <= 0) {
            ::usleep(100 * 1000);
            continue;
        }
        std::string out;
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == '\r')
                out += prompt;
            else if (buffer[i] == '\b' || buffer[i] == 0x7f)
                out += "\b \b";
            else
                out += buffer[i];
        }
        ssize_t off = 0;
        while (off < static_cast<ssize_t>(out.size()) && !FStop) {
            const ssize_t w = ::write(FMaster, out.data() + off, out.size() - static_cast<size_t>(off));
            if (w <= 0)
                break;
            off += w;
        }
    }
}

} // namespace duvosim
