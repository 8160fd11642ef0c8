#include "duvosim/SimReactor.h"

#include <cerrno>
#include <future>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace duvosim {

SimReactor::SimReactor() { FWakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

SimReactor::~SimReactor()
{
    stop();
    if (FWakeFd >= 0)
        ::close(FWakeFd);
}

void SimReactor::start()
{
    if (FThread.joinable())
        return;
    {
        std::lock_guard l(FPostMutex);
        FStopping = false;
    }
    FThread = std::thread([this] { run(); });
    FThreadId = FThread.get_id();
}

void SimReactor::stop()
{
    if (!FThread.joinable())
        return;
    {
        std::lock_guard l(FPostMutex);
        FStopping = true;
    }
    wake();
    FThread.join();
    FThreadId = {};
}

void SimReactor::wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(FWakeFd, &one, sizeof one);
}

void SimReactor::watch(int fd, short events, FdHandler handler)
{
    FWatches[fd] = Watch{events, std::move(handler), FNextSerial++};
}

void SimReactor::setEvents(int fd, short events)
{
    auto it = FWatches.find(fd);
    if (it != FWatches.end())
        it->second.events = events;
}

void SimReactor::unwatch(int fd) { FWatches.erase(fd); }

uint64_t SimReactor::after(int ms, Task task)
{
    const uint64_t id = FNextTimer++;
    FTimers[id] = Timer{std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ms, 0)),
                        std::move(task)};
    return id;
}

void SimReactor::cancel(uint64_t timerId) { FTimers.erase(timerId); }

void SimReactor::post(Task task)
{
    {
        std::lock_guard l(FPostMutex);
        FPosted.push_back(std::move(task));
    }
    wake();
}

void SimReactor::invoke(const Task &task)
{
    if (!FThread.joinable() || onReactorThread()) {
        task();
        return;
    }
    std::promise<void> done;
    auto future = done.get_future();
    post([&task, &done] {
        task();
        done.set_value();
    });
    future.wait();
}

void SimReactor::run()
{
    std::vector<pollfd> fds;
    std::vector<uint64_t> serials;
    for (;;) {
        std::vector<Task> posted;
        {
            std::lock_guard l(FPostMutex);
            posted.swap(FPosted);
            if (FStopping && posted.empty())
                return;
        }
        for (Task &t : posted)
            t();

        // Due timers, in due order.
        const auto now = std::chrono::steady_clock::now();
        for (;;) {
            auto due = FTimers.end();
            for (auto it = FTimers.begin(); it != FTimers.end(); ++it)
                if (it->second.due <= now && (due == FTimers.end() || it->second.due < due->second.due))
                    due = it;
            if (due == FTimers.end())
                break;
            Task t = std::move(due->second.task);
            FTimers.erase(due);
            t();
        }

        int timeoutMs = 1000;
        for (const auto &[id, timer] : FTimers) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                timer.due - std::chrono::steady_clock::now()).count() + 1;
            timeoutMs = std::min<int>(timeoutMs, static_cast<int>(std::max<long long>(left, 0)));
        }

        fds.clear();
        serials.clear();
        fds.push_back({FWakeFd, POLLIN, 0});
        serials.push_back(0);
        for (const auto &[fd, w] : FWatches) {
            fds.push_back({fd, w.events, 0});
            serials.push_back(w.serial);
        }
        const int n = ::poll(fds.data(), fds.size(), timeoutMs);
        if (n < 0 && errno != EINTR)
            continue;
        if (fds[0].revents) {
            uint64_t v;
            [[maybe_unused]] ssize_t r = ::read(FWakeFd, &v, sizeof v);
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            // A handler may have removed or replaced this watch meanwhile.
            auto it = FWatches.find(fds[i].fd);
            if (it == FWatches.end() || it->second.serial != serials[i])
                continue;
            FdHandler h = it->second.handler;
            h(fds[i].revents);
        }
    }
}

} // namespace duvosim
