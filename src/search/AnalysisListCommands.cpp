#include "search/AnalysisListCommands.h"

#include "common/TextMode.h"
#include "platform/UserDialogs.h"
#include "search/AnalysisList.h"

#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStringEncoder>

#include <functional>

namespace {

bool refuseWhileRunning(UserDialogs &dialogs, bool analysisIdle)
{
    if (analysisIdle)
        return false;
    dialogs.message(QStringLiteral("正在分析，不能清除！"), UserDialogs::Style::Error);
    return true;
}

bool clearRows(AnalysisList &list, const std::function<bool(const AnalysisItem &)> &match)
{
    if (list.isEmpty())
        return false;
    list.removeIf(match);
    list.refreshCounter();
    return true;
}

} // namespace

bool ClearSelectedRows(AnalysisList &list, UserDialogs &dialogs, bool analysisIdle)
{
    if (refuseWhileRunning(dialogs, analysisIdle))
        return false;
    return clearRows(list, [](const AnalysisItem &item) { return item.Selected; });
}

bool ClearSucceededRows(AnalysisList &list, UserDialogs &dialogs, bool analysisIdle)
{
    if (refuseWhileRunning(dialogs, analysisIdle))
        return false;
    return clearRows(
        list, [](const AnalysisItem &item) { return item.Status == AnalysisStatus::Succeeded; });
}

bool ClearRowsWithTitleText(
    AnalysisList &list, UserDialogs &dialogs, bool analysisIdle, bool containing)
{
    if (refuseWhileRunning(dialogs, analysisIdle))
        return false;
    bool ok = false;
    const QString text
        = dialogs.inputText(QStringLiteral("请输入指定字符："), QString(), QString(), &ok);
    if (!ok || text.isEmpty())
        return false;
    return clearRows(list, [&text, containing](const AnalysisItem &item) {
        return textContains(item.Title, text) == containing;
    });
}

bool ClearAllRows(AnalysisList &list, UserDialogs &dialogs, bool analysisIdle)
{
    if (refuseWhileRunning(dialogs, analysisIdle))
        return false;
    if (dialogs.message(QStringLiteral("您确定要清空辛辛苦苦搜索的列表数据吗？"),
            UserDialogs::Style::QuestionYesNo)
        != UserDialogs::Answer::Yes)
        return false;
    list.clear();
    list.refreshCounter();
    return true;
}

QString AnalysisExportText(const AnalysisList &list)
{
    QString text;
    for (int row = 0; row < list.size(); ++row) {
        const AnalysisItem &item = list.at(row);
        text += item.Title + u"-【" + item.Type + u'】' + item.Status + u"\r\n";
    }
    return text;
}

QString KilobyteText(qint64 bytes)
{
    QLocale english(QLocale::English, QLocale::UnitedStates);
    english.setNumberOptions(QLocale::DefaultNumberOptions);
    return english.toString(double(bytes) / 1024.0, 'f', 1);
}

bool ExportAnalysisList(const AnalysisList &list, UserDialogs &dialogs)
{
    if (list.isEmpty())
        return false;
    QString path = dialogs.saveFileName(QStringLiteral("*.txt|*.txt"), QString());
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".txt"); // the default extension
    QStringEncoder encode(QStringConverter::System);
    const QByteArray bytes = encode.encode(AnalysisExportText(list));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return false;
    dialogs.message(QStringLiteral("保存文件完毕：") + KilobyteText(QFileInfo(path).size())
            + QStringLiteral("KB"),
        UserDialogs::Style::Information);
    return true;
}
