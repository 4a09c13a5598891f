#pragma once

#include <QObject>

class QSocketNotifier;

namespace airlark::cli {

// Turns Ctrl+C (SIGINT) into a signal on the main thread. The handler only writes a byte to a
// pipe, the one thing a signal handler may safely do; the main loop reads it and the command then
// takes its normal cancel path. The handler stays for one Ctrl+C only: a second one ends the
// process at once. One instance at a time.
class InterruptSignal : public QObject
{
    Q_OBJECT
public:
    InterruptSignal();
    ~InterruptSignal() override;

signals:
    void interrupted();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace airlark::cli
