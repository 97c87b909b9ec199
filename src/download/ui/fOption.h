#pragma once

#include "common/AppServices.h"
#include "download/OptionsForm.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

// The options dialog "设置": transfer method, proxy, size limit and when the
// save folder is asked. Created for each opening from the shared values.
class fOption : public QDialog
{
    Q_OBJECT
public:
    explicit fOption(const AppServices &services, QWidget *parent = nullptr);

    OptionsForm form() const;
    // "确定": stores the values, says so with confirmed(), closes; an unusable
    // proxy keeps the dialog open and stores nothing.
    void confirm();

Q_SIGNALS:
    // The values are stored; `chosenMethod` is 1 or 2, or 0 when neither
    // method was chosen. An open download window takes them at once.
    void confirmed(int chosenMethod);

private:
    AppServices m_services;
    QCheckBox *m_check1;
    QLineEdit *m_text6;
    QLineEdit *m_text8;
    QRadioButton *m_option1;
    QRadioButton *m_option2;
    QCheckBox *m_check2;
    QLineEdit *m_text1;
};
