#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal on the thread's event loop. The
// handler only writes one byte to a socket pair; the loop reads it, so the
// work done for a signal runs outside the handler. SIGPIPE is ignored while
// an instance lives, so writing to a closed pipe is an error to report rather
// than a silent death. One instance at a time; on systems without POSIX
// signals it never fires.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // The first signal caught, 0 when none was.
    int caught() const;
    // The exit status a shell gives a process ended by the signal: 128 + its
    // number (130 for SIGINT, 143 for SIGTERM); 0 when none was caught.
    int exitStatus() const;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
};
