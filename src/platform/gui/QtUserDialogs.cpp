#include "platform/gui/QtUserDialogs.h"

#include "platform/gui/DialogOwner.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

// Without a fixed parent a dialog belongs to the window the user works in,
// or to a visible window of the program when none has the focus.
QWidget *QtUserDialogs::owner() const
{
    return m_parent ? m_parent.data() : DialogOwner();
}

QString QtUserDialogs::caption(const QString &title) const
{
    if (!title.isEmpty())
        return title;
    return QStringLiteral("Quillmoor");
}

UserDialogs::Answer QtUserDialogs::message(const QString &text, Style style, const QString &title)
{
    switch (style) {
    case Style::Error:
        QMessageBox::critical(owner(), caption(title), text);
        return Answer::Ok;
    case Style::Information:
        QMessageBox::information(owner(), caption(title), text);
        return Answer::Ok;
    case Style::QuestionYesNo:
        return QMessageBox::question(
                   owner(), caption(title), text, QMessageBox::Yes | QMessageBox::No)
                == QMessageBox::Yes
            ? Answer::Yes
            : Answer::No;
    case Style::YesNo: {
        QMessageBox box(
            QMessageBox::NoIcon, caption(title), text, QMessageBox::Yes | QMessageBox::No, owner());
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    }
    return Answer::No;
}

QString QtUserDialogs::qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList lines;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        lines << parts.at(i) + QStringLiteral(" (") + parts.at(i + 1) + QLatin1Char(')');
    return lines.join(QStringLiteral(";;"));
}

QString QtUserDialogs::openFileName(const QString &filter, const QString &title)
{
    return QFileDialog::getOpenFileName(owner(), caption(title), QString(), qtFilter(filter));
}

QString QtUserDialogs::saveFileName(
    const QString &filter, const QString &suggestedName, const QString &title)
{
    return QFileDialog::getSaveFileName(owner(), caption(title), suggestedName, qtFilter(filter));
}

QString QtUserDialogs::inputText(
    const QString &prompt, const QString &title, const QString &defaultText, bool *ok)
{
    return QInputDialog::getText(
        owner(), caption(title), prompt, QLineEdit::Normal, defaultText, ok);
}

QString QtUserDialogs::existingFolder(const QString &startFolder, const QString &title)
{
    return QFileDialog::getExistingDirectory(owner(), caption(title), startFolder);
}
