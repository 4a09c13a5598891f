#include "store/CredentialStore.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <qt6keychain/keychain.h>

#include <future>
#include <memory>
#include <mutex>

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

// Starts a job on the keychain thread and waits for it without running an event loop here.
// `configure` runs on the keychain thread and returns the job, ready to start.
template <typename Configure>
std::optional<JobOutcome> runJob(Configure configure, std::chrono::milliseconds timeout)
{
    if (KeychainThread::isCurrentThread())
        return std::nullopt; // would wait for itself

    // Shared with the job's handler, which may outlive this call when it times out.
    auto promise = std::make_shared<std::promise<JobOutcome>>();
    std::future<JobOutcome> future = promise->get_future();
    QMetaObject::invokeMethod(
        KeychainThread::context(),
        [configure = std::move(configure), promise]() {
            QKeychain::Job* job = configure();
            job->setAutoDelete(false);
            // A keychain that is missing must never become a plain-text file in the config folder.
            job->setInsecureFallback(false);
            QObject::connect(job, &QKeychain::Job::finished, job, [promise](QKeychain::Job* finished) {
                JobOutcome outcome;
                outcome.error = finished->error();
                if (outcome.error != QKeychain::NoError)
                    outcome.failure = errorFromJob(*finished);
                else if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished))
                    outcome.text = read->textData();
                promise->set_value(std::move(outcome));
                finished->deleteLater();
            });
            job->start();
        },
        Qt::QueuedConnection);

    if (future.wait_for(timeout) != std::future_status::ready)
        return std::nullopt;
    return future.get();
}

} // namespace

std::optional<CredentialStoreError> CredentialStore::updateData(const QVariantMap& data,
                                                                const QString& userAccount,
                                                                const QString& service,
                                                                std::chrono::milliseconds timeout)
{
    const QString json = QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(data)).toJson(QJsonDocument::Compact));
    const std::optional<JobOutcome> outcome = runJob(
        [json, userAccount, service]() {
            auto* job = new QKeychain::WritePasswordJob(service);
            job->setKey(userAccount);
            job->setTextData(json);
            return job;
        },
        timeout);
    if (!outcome)
        return CredentialStoreError{CredentialStoreError::Code::TimedOut, QStringLiteral("The keychain did not answer.")};
    if (outcome->error != QKeychain::NoError)
        return outcome->failure;
    return std::nullopt;
}

std::optional<QVariantMap> CredentialStore::loadData(const QString& userAccount,
                                                     const QString& service,
                                                     std::chrono::milliseconds timeout)
{
    const std::optional<JobOutcome> outcome = runJob(
        [userAccount, service]() {
            auto* job = new QKeychain::ReadPasswordJob(service);
            job->setKey(userAccount);
            return job;
        },
        timeout);
    if (!outcome || outcome->error != QKeychain::NoError)
        return std::nullopt;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(outcome->text.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object().toVariantMap();
}

} // namespace airlark
