#pragma once

#include "platform/UserDialogs.h"

#include <QPointer>

class QWidget;

// The real dialogs: QMessageBox, QFileDialog and QInputDialog over a parent
// window, the fixed one or else DialogOwner(). Captions are the window's caption, "-", and the
// program title.
class QtUserDialogs final : public UserDialogs
{
public:
    explicit QtUserDialogs(QWidget *parent = nullptr) : m_parent(parent) { }
    void setParent(QWidget *parent) { m_parent = parent; }

    Answer message(const QString &text, Style style, const QString &title = {}) override;
    QString openFileName(const QString &filter, const QString &title = {}) override;
    QString saveFileName(
        const QString &filter, const QString &suggestedName, const QString &title = {}) override;
    QString inputText(
        const QString &prompt, const QString &title, const QString &defaultText, bool *ok) override;
    QString existingFolder(const QString &startFolder, const QString &title) override;

    // "*.txt|*.txt" style filters become Qt's "*.txt (*.txt)" lines.
    static QString qtFilter(const QString &filter);

private:
    QString caption(const QString &title) const;
    QWidget *owner() const;
    QPointer<QWidget> m_parent;
};
