#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <mutex>

namespace airlark::test {

// Collects the messages logged (from any thread) while it lives.
class LogCapture
{
public:
    LogCapture()
    {
        std::lock_guard lock(mutex());
        current() = this;
        previous_ = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        std::lock_guard lock(mutex());
        qInstallMessageHandler(previous_);
        current() = nullptr;
    }

    QStringList messages() const
    {
        std::lock_guard lock(mutex());
        return messages_;
    }
    bool contains(const QString& text) const
    {
        return messages().contains(text);
    }
    bool anyContains(const QString& fragment) const
    {
        const QStringList all = messages();
        return std::any_of(all.begin(), all.end(), [&](const QString& m) { return m.contains(fragment); });
    }

private:
    static void handle(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        std::lock_guard lock(mutex());
        if (current())
            current()->messages_.append(message);
    }
    static std::mutex& mutex()
    {
        static std::mutex instance;
        return instance;
    }
    static LogCapture*& current()
    {
        static LogCapture* instance = nullptr;
        return instance;
    }

    QtMessageHandler previous_ = nullptr;
    QStringList messages_;
};

} // namespace airlark::test
