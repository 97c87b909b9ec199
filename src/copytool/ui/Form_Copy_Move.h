#pragma once

#include "copytool/CopyMoveTool.h"

#include <QDialog>

class AppPaths;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class UserDialogs;

// The copy/move window: destination folder with its history, the five
// collision options, start/stop and progress per file. Callers fill
// tool().SourceFiles, set tool().MoveMode and show it modally.
class Form_Copy_Move : public QDialog
{
    Q_OBJECT
public:
    Form_Copy_Move(UserDialogs &dialogs, const AppPaths &paths, QWidget *parent = nullptr);

    CopyMoveTool &tool() { return m_tool; }
    // Sets the move mode and the caption that goes with it.
    void setMoveMode(bool move);
    // Copies files another window hands over, with the caption that counts them.
    void copyHandedOver(const QStringList &files);

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void browse();
    void fillHistory();

    UserDialogs &m_dialogs;
    CopyMoveTool m_tool;
    QComboBox *m_combo1;
    QPushButton *m_command1;
    QPushButton *m_command2;
    QPushButton *m_command3;
    QList<QRadioButton *> m_options;
    QProgressBar *m_progress;
    QLabel *m_label3;
    bool m_closeWhenDone = false;
};
