#pragma once

#include <QDialog>

// The about box: program name and version, the versions of Qt, libcurl and
// the browser engine, and the licences the program is built on.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    // The lines shown, one component a line.
    static QString versionLines();
};
