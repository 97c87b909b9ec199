#pragma once

#include <QString>

// Requests to the desktop around the program: open a document with its
// program, show a file in its folder, open an address in the web browser,
// show a text file in the built-in viewer, put text on the clipboard. The
// core asks through this interface, so it never starts a program itself and
// tests see what was asked.
class Shell
{
public:
    virtual ~Shell() = default;

    // Opens the file with the program the desktop associates with it. False
    // when the desktop refused the request.
    virtual bool openDocument(const QString &path) = 0;
    // Opens the file's folder in the file manager with the file selected (or
    // just the folder where the file manager cannot select). False when
    // nothing could be opened.
    virtual bool showFileInFolder(const QString &path) = 0;
    // Opens a folder in the file manager. False when refused.
    virtual bool openFolder(const QString &folder) = 0;
    // Opens an address (http, https, file) in the web browser. False when
    // refused.
    virtual bool openUrl(const QString &address) = 0;
    // Shows a text file read-only in the program's own text viewer.
    virtual void openTextViewer(const QString &path) = 0;
    // Replaces the clipboard's content by the text.
    virtual void copyToClipboard(const QString &text) = 0;
};
