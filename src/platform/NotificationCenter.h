#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace airlark {

// A named, process-wide broadcast. Posting calls every observer registered for the name,
// synchronously and on the posting thread, before post() returns.
//
// Observers are identified by an address (usually `this`). removeObserver() ends all of that
// observer's registrations and, if another thread is inside one of its handlers, waits for
// that call to finish: an observer that removes itself in its destructor is never called
// afterwards. A handler may post, add or remove observers (itself included) without deadlock.
class NotificationCenter
{
public:
    struct Notification
    {
        QString name;
        const void* object = nullptr; // the sender, or nullptr for posts without an object
    };
    using Handler = std::function<void(const Notification&)>;

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    static NotificationCenter& defaultCenter();

    // Registers `handler` for every post of `name`, whoever the sender.
    void addObserver(const void* observer, const QString& name, Handler handler);
    void removeObserver(const void* observer);
    void post(const QString& name, const void* object = nullptr);

private:
    struct Registration
    {
        const void* observer = nullptr;
        QString name;
        Handler handler;
        std::recursive_mutex callMutex; // held while the handler runs
        bool removed = false;           // guarded by callMutex
    };

    std::mutex mutex_;
    std::vector<std::shared_ptr<Registration>> registrations_;
};

// Removes its observer from the default centre when it goes out of scope.
class ScopedObservation
{
public:
    ScopedObservation() = default;
    explicit ScopedObservation(const void* observer) : observer_(observer) {}
    ~ScopedObservation();
    ScopedObservation(const ScopedObservation&) = delete;
    ScopedObservation& operator=(const ScopedObservation&) = delete;

    void observe(const void* observer, const QString& name, NotificationCenter::Handler handler);

private:
    const void* observer_ = nullptr;
};

} // namespace airlark
