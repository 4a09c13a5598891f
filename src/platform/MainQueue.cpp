#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace airlark {

namespace {

// Every background thread of the process, with whether its work has returned.
class BackgroundThreads
{
public:
    static BackgroundThreads& shared()
    {
        static BackgroundThreads* const instance = [] {
            auto* threads = new BackgroundThreads; // lives to the end; joined empty by then
            if (QCoreApplication::instance())
                qAddPostRoutine(&MainQueue::joinBackgroundThreads);
            return threads;
        }();
        return *instance;
    }

    void start(std::function<void()> work)
    {
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([work = std::move(work), done]() mutable {
            work();
            work = nullptr; // what the work held goes before the thread counts as done
            done->store(true);
        });
        add(std::move(thread), std::move(done));
    }

    void adopt(std::thread thread)
    {
        // Its work has already ended; only the thread's last steps remain.
        add(std::move(thread), std::make_shared<std::atomic<bool>>(true));
    }

    void joinAll()
    {
        for (;;) {
            std::list<Entry> taken;
            {
                std::lock_guard lock(mutex_);
                for (auto it = entries_.begin(); it != entries_.end();) {
                    if (it->thread.get_id() != std::this_thread::get_id())
                        taken.splice(taken.end(), entries_, it++);
                    else
                        ++it;
                }
            }
            if (taken.empty())
                return;
            for (Entry& entry : taken)
                entry.thread.join();
        }
    }

    int running()
    {
        std::lock_guard lock(mutex_);
        int count = 0;
        for (const Entry& entry : entries_)
            count += entry.done->load() ? 0 : 1;
        return count;
    }

private:
    struct Entry
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void add(std::thread thread, std::shared_ptr<std::atomic<bool>> done)
    {
        std::list<Entry> finished;
        {
            std::lock_guard lock(mutex_);
            // Threads whose work has returned are joined now, so that they never pile up.
            for (auto it = entries_.begin(); it != entries_.end();) {
                if (it->done->load() && it->thread.get_id() != std::this_thread::get_id())
                    finished.splice(finished.end(), entries_, it++);
                else
                    ++it;
            }
            entries_.push_back(Entry{std::move(thread), std::move(done)});
        }
        for (Entry& entry : finished)
            entry.thread.join();
    }

    std::mutex mutex_;
    std::list<Entry> entries_;
};

} // namespace

namespace MainQueue {

void async(std::function<void()> work)
{
    // Queued calls to one receiver are delivered in the order they were posted.
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

void performOnMainThread(std::function<void()> work)
{
    async(std::move(work));
}

void runInBackground(std::function<void()> work)
{
    BackgroundThreads::shared().start(std::move(work));
}

void adoptThread(std::thread thread)
{
    if (thread.joinable())
        BackgroundThreads::shared().adopt(std::move(thread));
}

void joinBackgroundThreads()
{
    BackgroundThreads::shared().joinAll();
}

int runningBackgroundThreads()
{
    return BackgroundThreads::shared().running();
}

bool isMainThread()
{
    const auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace MainQueue

RepeatingTimer::RepeatingTimer(std::chrono::milliseconds interval, std::function<void()> tick,
                               QObject* parent)
    : QObject(parent), timer_(new QTimer(this)), tick_(std::move(tick))
{
    timer_->setInterval(interval);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (tick_)
            tick_();
    });
}

RepeatingTimer::~RepeatingTimer() = default;

void RepeatingTimer::start()
{
    timer_->start();
}

void RepeatingTimer::invalidate()
{
    timer_->stop();
}

bool RepeatingTimer::isValid() const
{
    return timer_->isActive();
}

} // namespace airlark
