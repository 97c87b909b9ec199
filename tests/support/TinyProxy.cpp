#include "TinyProxy.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>

TinyProxy::~TinyProxy()
{
    stop();
}

QString TinyProxy::executable()
{
    for (const char *path : { "/usr/bin/tinyproxy", "/usr/sbin/tinyproxy" }) {
        const QString candidate = QString::fromLatin1(path);
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    }
    return {};
}

bool TinyProxy::start()
{
    if (executable().isEmpty() || !m_dir.isValid())
        return false;
    // A free port: let the system pick one, then hand it over.
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return false;
        m_port = probe.serverPort();
    }
    const QString config = m_dir.filePath(QStringLiteral("tinyproxy.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("Port " + QByteArray::number(m_port)
        + "\n"
          "Listen 127.0.0.1\n"
          "Allow 127.0.0.1\n"
          "Timeout 60\n"
          "MaxClients 20\n"
          "LogLevel Info\n");
    file.close();

    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(executable(), { QStringLiteral("-d"), QStringLiteral("-c"), config });
    if (!m_process.waitForStarted(5000))
        return false;
    // Ready once it accepts a connection.
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (socket.waitForConnected(200))
            return true;
        m_process.waitForReadyRead(50);
    }
    return false;
}

void TinyProxy::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString TinyProxy::address() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(m_port);
}

QString TinyProxy::log()
{
    return QString::fromLocal8Bit(m_process.readAll());
}
