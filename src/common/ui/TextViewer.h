#pragma once

#include <QMainWindow>

class QPlainTextEdit;

// A read-only window showing one text file, the program's own stand-in for
// a plain-text editor. It deletes itself when closed.
class TextViewer : public QMainWindow
{
    Q_OBJECT
public:
    // A parent keeps the viewer above it but it stays a window of its own.
    explicit TextViewer(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::Window);

    // Loads the file; false, with the system's description in *error, when
    // it cannot be read (the window then shows nothing).
    bool open(const QString &path, QString *error = nullptr);

    QString path() const { return m_path; }
    QPlainTextEdit *editor() const { return m_editor; }

private:
    QPlainTextEdit *m_editor;
    QString m_path;
};
