#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <thread>

namespace airlark {

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
    std::thread(std::move(work)).detach();
}

bool isMainThread()
{
    const auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace MainQueue

RepeatingTimer::RepeatingTimer(std::chrono::milliseconds interval, std::function<void()> tick, QObject* parent)
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
