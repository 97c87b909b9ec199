#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real tinyproxy on 127.0.0.1, run in the foreground with its own config
// file for as long as this object lives.
class TinyProxy
{
public:
    TinyProxy() = default;
    ~TinyProxy();
    TinyProxy(const TinyProxy &) = delete;
    TinyProxy &operator=(const TinyProxy &) = delete;

    // The installed program, or empty when tinyproxy is not installed.
    static QString executable();

    // Starts it on a free port and waits until it accepts connections.
    bool start();
    void stop();
    quint16 port() const { return m_port; }
    // "127.0.0.1:port"
    QString address() const;
    QString log();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};
