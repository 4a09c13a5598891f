#include "platform/RuntimeLock.h"

#include "platform/ApplicationIdentity.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace airlark {
namespace {

constexpr std::chrono::milliseconds PollInterval{20};

QString lockPath(const QString& name)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                           QLatin1Char('/') + applicationIdentifier() + QStringLiteral("-locks");
    // Private like the runtime folder itself: another user must not hold our locks.
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return folder + QLatin1Char('/') + name + QStringLiteral(".lock");
}

int openLockFile(const QString& name)
{
    const QByteArray path = QFile::encodeName(lockPath(name));
    int fd = -1;
    do {
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        qWarning("The lock file %s cannot be opened (%s); going on without it", path.constData(),
                 ::strerror(errno));
    return fd;
}

bool tryLock(int fd)
{
    int result = -1;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

} // namespace

std::optional<RuntimeLock> RuntimeLock::acquire(const QString& name, std::chrono::milliseconds patience,
                                                const std::function<bool()>& giveUp)
{
    const int fd = openLockFile(name);
    if (fd < 0)
        return RuntimeLock(-1);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!tryLock(fd)) {
        if (std::chrono::steady_clock::now() >= deadline || (giveUp && giveUp())) {
            ::close(fd);
            return std::nullopt;
        }
        std::this_thread::sleep_for(PollInterval);
    }
    return RuntimeLock(fd);
}

bool RuntimeLock::isHeldElsewhere(const QString& name)
{
    return !acquire(name, std::chrono::milliseconds(0)).has_value();
}

RuntimeLock& RuntimeLock::operator=(RuntimeLock&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

RuntimeLock::~RuntimeLock()
{
    // Closing the only descriptor of the open file lets go of its lock.
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace airlark
