#include "download/DownloadList.h"
#include "download/FileTypeDetection.h"
#include "platform/UserDialogs.h"

// Kept apart from the detection so that code using only the detection does not
// pull in the list model.
int CheckAndCorrectFileTypes(
    DownloadList &list, const std::function<bool()> &downloadsActive, UserDialogs &dialogs)
{
    if (downloadsActive && downloadsActive()) {
        dialogs.message(
            QStringLiteral("停止下载以后，才能执行此操作！"), UserDialogs::Style::Information);
        return 0;
    }
    int corrected = 0;
    for (int i = 0; i < list.size(); ++i) {
        DownloadItem row = list.at(i);
        if (!CorrectFileType(row))
            continue;
        ++corrected;
        list.update(i, [&row](DownloadItem &item) {
            item.Type = row.Type;
            item.Name = row.Name;
        });
    }
    dialogs.message(
        QStringLiteral("纠正文件类型：") + QString::number(corrected) + QStringLiteral("个."),
        UserDialogs::Style::Information);
    return corrected;
}
