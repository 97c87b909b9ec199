#pragma once

#include <QDialog>

class QPlainTextEdit;
class UserDialogs;

// "添加下载地址": a box for addresses, one a line. The dialog only takes the
// text; the window adds the rows once it has closed.
class AddAddressesDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AddAddressesDialog(UserDialogs &dialogs, QWidget *parent = nullptr);

    QPlainTextEdit *textEdit() const { return m_text; }
    QString text() const;

private:
    void confirm();

    UserDialogs &m_dialogs;
    QPlainTextEdit *m_text;
};
