#pragma once

#include "common/AppServices.h"
#include "download/SaveFolderChoice.h"

#include <QDialog>

class QComboBox;
class QRadioButton;

// The save-folder dialog "选择下载保存路径": the folder for new download items,
// with the history of chosen folders, and how they are named.
class fSeleFileSavePath : public QDialog
{
    Q_OBJECT
public:
    explicit fSeleFileSavePath(const AppServices &services, QWidget *parent = nullptr);

    // "...": the folder picker, started at the parent of the box's folder.
    void browse();
    // "确定": closes when the folder could be made.
    void confirm();
    // "取消".
    void cancel();

private:
    AppServices m_services;
    SaveFolderForm m_form;
    QComboBox *m_combo1;
    QRadioButton *m_option1;
    QRadioButton *m_option2;
};
