#include "store/CredentialStore.h"

#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <future>
#include <memory>
#include <mutex>
#include <qt6keychain/keychain.h>

namespace airlark {

namespace {

// The one thread on which QtKeychain runs. QtKeychain's jobs finish asynchronously through the
// event loop of the thread that starts them (D-Bus replies, libsecret callbacks on that thread's
// GLib context); giving them a thread of their own lets our callers wait synchronously without
// spinning the main loop under their feet.
class KeychainThread
{
public:
    static QObject* context()
    {
        std::lock_guard lock(mutex());
        if (!current()) {
            current() = new KeychainThread;
            // Stopped while the application object goes away, before static destruction.
            if (QCoreApplication::instance())
                qAddPostRoutine(&KeychainThread::stop);
        }
        return current()->context_;
    }

    static bool isCurrentThread()
    {
        std::lock_guard lock(mutex());
        return current() && QThread::currentThread() == &current()->thread_;
    }

private:
    KeychainThread()
    {
        thread_.setObjectName(QStringLiteral("Airlark keychain"));
        context_ = new QObject;
        context_->moveToThread(&thread_);
        QObject::connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
        thread_.start();
    }

    static void stop()
    {
        KeychainThread* worker = nullptr;
        {
            std::lock_guard lock(mutex());
            worker = std::exchange(current(), nullptr);
        }
        if (!worker)
            return;
        worker->thread_.quit();
        // A job stuck on an unanswered prompt must not hold the application's exit hostage; the
        // thread is then left to end with the process.
        if (worker->thread_.wait(5000))
            delete worker;
    }

    static std::mutex& mutex()
    {
        static std::mutex instance;
        return instance;
    }
    static KeychainThread*& current()
    {
        static KeychainThread* instance = nullptr;
        return instance;
    }

    QThread thread_;
    QObject* context_ = nullptr;
};

CredentialStoreError errorFromJob(const QKeychain::Job& job)
{
    using Code = CredentialStoreError::Code;
    Code code = Code::Other;
    switch (job.error()) {
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        code = Code::NoBackendAvailable;
        break;
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        code = Code::AccessDenied;
        break;
    case QKeychain::EntryNotFound:
        code = Code::NotFound;
        break;
    default:
        break;
    }
    return CredentialStoreError{code, job.errorString()};
}

struct JobOutcome
{
    QKeychain::Error error = QKeychain::NoError;
    CredentialStoreError failure;
    QString text; // the item's text, for reads
};

using JobConfiguration = std::function<QKeychain::Job*()>;

// Starts a job on the keychain thread; `finished` gets its outcome there. `configure` runs on the
// keychain thread too and returns the job, ready to start.
void startJob(JobConfiguration configure, std::function<void(JobOutcome)> finished)
{
    QMetaObject::invokeMethod(
        KeychainThread::context(),
        [configure = std::move(configure), finished = std::move(finished)]() {
            QKeychain::Job* job = configure();
            job->setAutoDelete(false);
            // A keychain that is missing must never become a plain-text file in the config folder.
            job->setInsecureFallback(false);
            QObject::connect(job, &QKeychain::Job::finished, job, [finished](QKeychain::Job* done) {
                JobOutcome outcome;
                outcome.error = done->error();
                if (outcome.error != QKeychain::NoError)
                    outcome.failure = errorFromJob(*done);
                else if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done))
                    outcome.text = read->textData();
                finished(std::move(outcome));
                done->deleteLater();
            });
            job->start();
        },
        Qt::QueuedConnection);
}

// Runs a job and waits for it without running an event loop here; nothing after `timeout`.
std::optional<JobOutcome> runJob(JobConfiguration configure, std::chrono::milliseconds timeout)
{
    if (KeychainThread::isCurrentThread())
        return std::nullopt; // would wait for itself
    // Shared with the job's handler, which may outlive this call when it times out.
    auto promise = std::make_shared<std::promise<JobOutcome>>();
    std::future<JobOutcome> future = promise->get_future();
    startJob(std::move(configure), [promise](JobOutcome outcome) { promise->set_value(std::move(outcome)); });
    if (future.wait_for(timeout) != std::future_status::ready)
        return std::nullopt;
    return future.get();
}

// Runs a job and hands its outcome to `completion` on the main thread: once, with nothing when
// `timeout` passed first.
void runJobLater(JobConfiguration configure, std::function<void(std::optional<JobOutcome>)> completion,
                 std::chrono::milliseconds timeout)
{
    Q_ASSERT(MainQueue::isMainThread());
    auto pending = std::make_shared<std::function<void(std::optional<JobOutcome>)>>(std::move(completion));
    auto finish = [pending](std::optional<JobOutcome> outcome) {
        if (auto once = std::exchange(*pending, nullptr))
            once(std::move(outcome));
    };
    QTimer::singleShot(timeout, QCoreApplication::instance(), [finish] { finish(std::nullopt); });
    startJob(std::move(configure), [finish](JobOutcome outcome) {
        MainQueue::async([finish, outcome = std::move(outcome)] { finish(outcome); });
    });
}

JobConfiguration writeJob(const QVariantMap& data, const QString& userAccount, const QString& service)
{
    const QString json =
        QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(data)).toJson(QJsonDocument::Compact));
    return [json, userAccount, service]() {
        auto* job = new QKeychain::WritePasswordJob(service);
        job->setKey(userAccount);
        job->setTextData(json);
        return job;
    };
}

JobConfiguration readJob(const QString& userAccount, const QString& service)
{
    return [userAccount, service]() {
        auto* job = new QKeychain::ReadPasswordJob(service);
        job->setKey(userAccount);
        return job;
    };
}

JobConfiguration deleteJob(const QString& userAccount, const QString& service)
{
    return [userAccount, service]() {
        auto* job = new QKeychain::DeletePasswordJob(service);
        job->setKey(userAccount);
        return job;
    };
}

const CredentialStoreError TimedOutError{CredentialStoreError::Code::TimedOut,
                                         QStringLiteral("The keychain did not answer.")};

std::optional<CredentialStoreError> writeResult(const std::optional<JobOutcome>& outcome)
{
    if (!outcome)
        return TimedOutError;
    if (outcome->error != QKeychain::NoError)
        return outcome->failure;
    return std::nullopt;
}

Result<QVariantMap, CredentialStoreError> readResult(const std::optional<JobOutcome>& outcome)
{
    if (!outcome)
        return TimedOutError;
    if (outcome->error != QKeychain::NoError)
        return outcome->failure;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(outcome->text.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return CredentialStoreError{CredentialStoreError::Code::NotFound,
                                    QStringLiteral("The keyring item holds no dictionary.")};
    return document.object().toVariantMap();
}

} // namespace

std::optional<CredentialStoreError> CredentialStore::updateData(const QVariantMap& data,
                                                                const QString& userAccount,
                                                                const QString& service,
                                                                std::chrono::milliseconds timeout)
{
    return writeResult(runJob(writeJob(data, userAccount, service), timeout));
}

Result<QVariantMap, CredentialStoreError> CredentialStore::readData(const QString& userAccount,
                                                                    const QString& service,
                                                                    std::chrono::milliseconds timeout)
{
    return readResult(runJob(readJob(userAccount, service), timeout));
}

std::optional<CredentialStoreError> CredentialStore::deleteData(const QString& userAccount,
                                                                const QString& service,
                                                                std::chrono::milliseconds timeout)
{
    std::optional<CredentialStoreError> error = writeResult(runJob(deleteJob(userAccount, service), timeout));
    if (error && error->code == CredentialStoreError::Code::NotFound)
        return std::nullopt;
    return error;
}

std::optional<QVariantMap> CredentialStore::loadData(const QString& userAccount, const QString& service,
                                                     std::chrono::milliseconds timeout)
{
    auto data = readData(userAccount, service, timeout);
    return data ? std::optional(std::move(data).value()) : std::nullopt;
}

void CredentialStore::updateDataLater(const QVariantMap& data, const QString& userAccount,
                                      const QString& service, UpdateCompletion completion,
                                      std::chrono::milliseconds timeout)
{
    runJobLater(
        writeJob(data, userAccount, service),
        [completion = std::move(completion)](const std::optional<JobOutcome>& outcome) {
            completion(writeResult(outcome));
        },
        timeout);
}

void CredentialStore::readDataLater(const QString& userAccount, const QString& service,
                                    ReadCompletion completion, std::chrono::milliseconds timeout)
{
    runJobLater(
        readJob(userAccount, service),
        [completion = std::move(completion)](const std::optional<JobOutcome>& outcome) {
            completion(readResult(outcome));
        },
        timeout);
}

} // namespace airlark
