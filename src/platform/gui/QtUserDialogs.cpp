#include "platform/gui/QtUserDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

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
        QMessageBox::critical(m_parent, caption(title), text);
        return Answer::Ok;
    case Style::Information:
        QMessageBox::information(m_parent, caption(title), text);
        return Answer::Ok;
    case Style::QuestionYesNo:
        return QMessageBox::question(
                   m_parent, caption(title), text, QMessageBox::Yes | QMessageBox::No)
                == QMessageBox::Yes
            ? Answer::Yes
            : Answer::No;
    case Style::YesNo: {
        QMessageBox box(QMessageBox::NoIcon, caption(title), text,
            QMessageBox::Yes | QMessageBox::No, m_parent);
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
    return QFileDialog::getOpenFileName(m_parent, caption(title), QString(), qtFilter(filter));
}

QString QtUserDialogs::saveFileName(
    const QString &filter, const QString &suggestedName, const QString &title)
{
    return QFileDialog::getSaveFileName(m_parent, caption(title), suggestedName, qtFilter(filter));
}

QString QtUserDialogs::inputText(
    const QString &prompt, const QString &title, const QString &defaultText, bool *ok)
{
    return QInputDialog::getText(
        m_parent, caption(title), prompt, QLineEdit::Normal, defaultText, ok);
}
