#pragma once

#include "common/AppVersion.h"

#include <QTimer>
#include <QWidget>

class AppWindows;
class QHBoxLayout;
class QLabel;
class QPushButton;
class VersionCheck;

// The start-up window: title, version, an introduction to the publisher, the
// fair-use notice, the newer-version notice and the exit button. Closing it
// ends the program.
class fCover : public QWidget
{
    Q_OBJECT
public:
    explicit fCover(AppWindows &windows, QWidget *parent = nullptr);
    ~fCover() override;

    // The running version the check compares with (tests set another).
    void setRunningVersion(const AppVersion &version);
    // The opening steps; the version check follows 100 ms later.
    void open();

    // The row of buttons; the search window adds its own button here.
    QHBoxLayout *buttonRow() const { return m_buttons; }
    QTimer &Timer1() { return m_timer1; }

Q_SIGNALS:
    // The version check has ended (notice shown, failure shown, or nothing).
    void versionCheckEnded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CheckNewerVersion();
    void ShowNewerVersion(const QString &notice);

    AppWindows &m_windows;
    AppVersion m_version;
    QTimer m_timer1;
    VersionCheck *m_check = nullptr;
    QLabel *m_label1;
    QLabel *m_label2;
    QLabel *m_label3;
    QLabel *m_label4;
    QLabel *m_label5;
    QHBoxLayout *m_buttons;
    QPushButton *m_command3;
};
