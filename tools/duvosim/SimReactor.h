#pragma once
// The simulator's event loop: one thread that polls the sockets of every simulated service
// (command servers, network-module sockets, ...) and runs timers. Services register their
// sockets with watch() and do all their work in the callbacks, on this thread; other threads
// hand work over with post() or invoke().

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace duvosim {

class SimReactor {
public:
    using FdHandler = std::function<void(short revents)>;
    using Task = std::function<void()>;

    SimReactor();
    ~SimReactor();  // stops the thread
    SimReactor(const SimReactor &) = delete;
    SimReactor &operator=(const SimReactor &) = delete;

    void start();
    void stop();  // runs no more callbacks after it returns
    bool running() const { return FThread.joinable(); }
    bool onReactorThread() const { return std::this_thread::get_id() == FThreadId; }

    // On the reactor thread (or before start): watch fd for poll events; the handler runs
    // with the revents. The reactor does not own or close fd.
    void watch(int fd, short events, FdHandler handler);
    void setEvents(int fd, short events);
    void unwatch(int fd);
    // On the reactor thread (or before start): runs task once after ms; returns its id.
    uint64_t after(int ms, Task task);
    void cancel(uint64_t timerId);

    // Any thread: runs task on the reactor thread soon.
    void post(Task task);
    // Any thread: runs task on the reactor thread and waits for it (runs it directly when
    // called on the reactor thread or when the reactor is not running).
    void invoke(const Task &task);

private:
    void run();
    void wake();
    struct Watch {
        short events;
        FdHandler handler;
        uint64_t serial;
    };
    struct Timer {
        std::chrono::steady_clock::time_point due;
        Task task;
    };
    std::map<int, Watch> FWatches;
    std::map<uint64_t, Timer> FTimers;
    uint64_t FNextTimer = 1;
    uint64_t FNextSerial = 1;

    std::mutex FPostMutex;
    std::vector<Task> FPosted;
    int FWakeFd = -1;  // eventfd
    bool FStopping = false;
    std::thread FThread;
    std::thread::id FThreadId;
};

} // namespace duvosim
