#pragma once

#include "download/OptionsForm.h"

#include <QDialog>

class AppWindows;
class QCheckBox;
class QLineEdit;
class QRadioButton;

// The options dialog "设置": transfer method, proxy, size limit and when the
// save folder is asked. Created for each opening from the shared values.
class fOption : public QDialog
{
    Q_OBJECT
public:
    explicit fOption(AppWindows &windows, QWidget *parent = nullptr);

    OptionsForm form() const;
    // "确定": stores the values, updates an open download window, closes;
    // an unusable proxy keeps the dialog open and stores nothing.
    void confirm();

private:
    AppWindows &m_windows;
    QCheckBox *m_check1;
    QLineEdit *m_text6;
    QLineEdit *m_text8;
    QRadioButton *m_option1;
    QRadioButton *m_option2;
    QCheckBox *m_check2;
    QLineEdit *m_text1;
};
