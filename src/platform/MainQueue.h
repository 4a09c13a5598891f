#pragma once

#include <QObject>

#include <chrono>
#include <functional>

class QTimer;

namespace airlark {

// Hand-offs between the Qt main thread and other threads. Every function here needs a
// QCoreApplication; work queued before its event loop runs waits for it.
namespace MainQueue {

// Runs `work` later on the main thread. Work submitted from one thread runs in submission order.
void async(std::function<void()> work);

// Runs `work` on the main thread without waiting for it: always later, never inline, so that
// the caller's stack unwinds first even when it is already on the main thread.
void performOnMainThread(std::function<void()> work);

// Runs `work` on a new background thread of its own, which ends when the work returns.
void runInBackground(std::function<void()> work);

bool isMainThread();

} // namespace MainQueue

// A repeating timer on the main thread's loop: first fires one interval after start(),
// then every interval until invalidate() or destruction. Create and use it on the main thread.
class RepeatingTimer : public QObject
{
    Q_OBJECT
public:
    RepeatingTimer(std::chrono::milliseconds interval, std::function<void()> tick, QObject* parent = nullptr);
    ~RepeatingTimer() override;

    void start();
    void invalidate();
    bool isValid() const;

private:
    QTimer* timer_;
    std::function<void()> tick_;
};

} // namespace airlark
