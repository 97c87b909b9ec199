#include "platform/curl/LibcurlSafeDialogs.h"

#include "platform/curl/CurlDriver.h"

#include <QTimer>

UserDialogs::Answer LibcurlSafeDialogs::message(
    const QString &text, Style style, const QString &title)
{
    const bool question = style == Style::QuestionYesNo || style == Style::YesNo;
    if (question || !CurlDriver::instance().insideLibcurl())
        return m_dialogs.message(text, style, title);
    QTimer::singleShot(
        0, this, [this, text, style, title] { m_dialogs.message(text, style, title); });
    return Answer::Ok;
}
