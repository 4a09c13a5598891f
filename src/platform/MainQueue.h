#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <thread>

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

// Runs `work` on a new background thread of its own. The thread is never detached: the process
// keeps it and joins it once the work has returned, at the latest in joinBackgroundThreads().
void runInBackground(std::function<void()> work);

// Takes over a thread whose work ends by itself (one that cannot join itself because it let go of
// its last owner from within); it is joined like the threads of runInBackground.
void adoptThread(std::thread thread);

// Joins every background thread, waiting for the ones still working: ask their work to end first.
// Threads started meanwhile are joined too. runAirlark calls it before it returns, and the
// application object's destruction does in any case. Not from a background thread.
void joinBackgroundThreads();

// How many background threads have work that has not returned yet.
int runningBackgroundThreads();

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
