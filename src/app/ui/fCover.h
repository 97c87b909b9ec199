#pragma once

#include "common/AppServices.h"
#include "common/AppVersion.h"

#include <QTimer>
#include <QWidget>

class ClickableLabel;
class QLabel;
class QPushButton;
class VersionCheck;

// The start-up window: title, version, an introduction to the publisher, the
// fair-use notice, the newer-version notice, the button to the search window
// and the exit button. Closing it ends the program.
class fCover : public QWidget
{
    Q_OBJECT
public:
    explicit fCover(const AppServices &services, QWidget *parent = nullptr);
    ~fCover() override;

    // The running version the check compares with (tests set another).
    void setRunningVersion(const AppVersion &version);
    // The opening steps; the version check follows 100 ms later.
    void open();

    QTimer &Timer1() { return m_timer1; }

Q_SIGNALS:
    // The version check has ended (notice shown, failure shown, or nothing).
    void versionCheckEnded();
    // "资料检索下载": this window hides and asks for the search window.
    void searchWindowRequested();
    // The window closed (its close box or "退出软件"): the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void CheckNewerVersion();
    void ShowNewerVersion(const QString &notice);

    AppServices m_services;
    AppVersion m_version;
    QTimer m_timer1;
    VersionCheck *m_check = nullptr;
    QLabel *m_label1;
    QLabel *m_label2;
    ClickableLabel *m_label3;
    QLabel *m_label4;
    QLabel *m_label5;
    QPushButton *m_command1;
    QPushButton *m_command3;
};
