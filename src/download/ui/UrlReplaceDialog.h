#pragma once

#include <QDialog>

class DownloadListCommands;
class QLineEdit;

// "网址批量替换": replaces a text in every row's address. The replacing is the
// list commands'; this dialog only takes the two texts.
class UrlReplaceDialog : public QDialog
{
    Q_OBJECT
public:
    explicit UrlReplaceDialog(DownloadListCommands &commands, QWidget *parent = nullptr);

    QLineEdit *findEdit() const { return m_find; }
    QLineEdit *replacementEdit() const { return m_replacement; }

private:
    void replace();

    DownloadListCommands &m_commands;
    QLineEdit *m_find;
    QLineEdit *m_replacement;
};
