#include "ListStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString kFormat = QStringLiteral("quillmoor-list");

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString damaged(const QString &path, const QString &detail)
{
    return QStringLiteral("保存的列表文件已损坏：%1（%2）").arg(path, detail);
}

} // namespace

ListStore::ListStore(StoredList list, const QString &folder)
{
    QString base = folder;
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const bool analysis = list == StoredList::Analysis;
    m_kind = analysis ? QStringLiteral("analysis") : QStringLiteral("download");
    m_path = QDir(base).filePath(
        analysis ? QStringLiteral("analysis-list.json") : QStringLiteral("download-list.json"));
}

bool ListStore::exists() const
{
    const QFileInfo info(m_path);
    return info.exists() || info.isSymLink();
}

std::optional<QList<QJsonObject>> ListStore::load(QString *error) const
{
    if (!exists())
        return QList<QJsonObject>();

    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(
            error, QStringLiteral("无法读取保存的列表：%1（%2）").arg(m_path, file.errorString()));
        return std::nullopt;
    }
    // The size is checked before and while reading: a device or a file that
    // grows must not make the program read without end.
    if (file.size() > kLargestFile) {
        setError(error,
            QStringLiteral("保存的列表文件过大：%1（%2 字节）")
                .arg(m_path, QString::number(file.size())));
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kLargestFile + 1);
    if (bytes.size() > kLargestFile) {
        setError(error,
            QStringLiteral("保存的列表文件过大：%1（超过 %2 字节）")
                .arg(m_path, QString::number(kLargestFile)));
        return std::nullopt;
    }
    if (file.error() != QFileDevice::NoError) {
        setError(
            error, QStringLiteral("无法读取保存的列表：%1（%2）").arg(m_path, file.errorString()));
        return std::nullopt;
    }

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        setError(error,
            damaged(m_path,
                QStringLiteral("%1，位置 %2")
                    .arg(parseError.errorString(), QString::number(parseError.offset))));
        return std::nullopt;
    }
    const QJsonObject top = document.object();
    if (!document.isObject() || top.value(QStringLiteral("format")).toString() != kFormat) {
        setError(error, damaged(m_path, QStringLiteral("不是本程序的列表文件")));
        return std::nullopt;
    }
    const QJsonValue kind = top.value(QStringLiteral("kind"));
    if (kind.toString() != m_kind) {
        setError(error,
            QStringLiteral("保存的列表文件不属于这个列表：%1（kind 为 %2，应为 %3）")
                .arg(m_path, kind.isString() ? kind.toString() : QStringLiteral("空"), m_kind));
        return std::nullopt;
    }
    const QJsonValue version = top.value(QStringLiteral("version"));
    const double number = version.toDouble(-1);
    if (!version.isDouble() || number < 1 || number != double(qint64(number))) {
        setError(error, damaged(m_path, QStringLiteral("没有有效的版本号")));
        return std::nullopt;
    }
    if (number > kFormatVersion) {
        setError(error,
            QStringLiteral("保存的列表文件来自较新的版本：%1（版本 %2，本程序只能读取版本 %3）")
                .arg(m_path, QString::number(qint64(number)), QString::number(kFormatVersion)));
        return std::nullopt;
    }
    const QJsonValue rowsValue = top.value(QStringLiteral("rows"));
    if (!rowsValue.isArray()) {
        setError(error, damaged(m_path, QStringLiteral("没有行")));
        return std::nullopt;
    }
    const QJsonArray array = rowsValue.toArray();
    QList<QJsonObject> rows;
    rows.reserve(array.size());
    for (const QJsonValue &row : array) {
        if (!row.isObject()) {
            setError(
                error, damaged(m_path, QStringLiteral("第 %1 行不是对象").arg(rows.size() + 1)));
            return std::nullopt;
        }
        rows.append(row.toObject());
    }
    return rows;
}

std::optional<qsizetype> ListStore::rowCount(QString *error) const
{
    const std::optional<QList<QJsonObject>> rows = load(error);
    if (!rows)
        return std::nullopt;
    return rows->size();
}

bool ListStore::save(const QList<QJsonObject> &rows, QString *error) const
{
    QJsonArray array;
    for (const QJsonObject &row : rows)
        array.append(row);
    const QJsonObject top {
        { QStringLiteral("format"), kFormat },
        { QStringLiteral("kind"), m_kind },
        { QStringLiteral("version"), kFormatVersion },
        { QStringLiteral("rows"), array },
    };
    const QByteArray bytes = QJsonDocument(top).toJson(QJsonDocument::Compact);
    // A file this store would refuse to read back is not written.
    if (bytes.size() > kLargestFile) {
        setError(error,
            QStringLiteral("列表太大，无法保存：%1（%2 字节，最多 %3 字节）")
                .arg(m_path, QString::number(bytes.size()), QString::number(kLargestFile)));
        return false;
    }
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        setError(
            error, QStringLiteral("无法保存列表：%1（无法创建文件夹 %2）").arg(m_path, folder));
        return false;
    }
    // Written beside the old file and renamed over it, so a failure at any
    // point leaves the earlier list whole.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        setError(error, QStringLiteral("无法保存列表：%1（%2）").arg(m_path, file.errorString()));
        return false;
    }
    return true;
}

bool ListStore::remove(QString *error) const
{
    if (!exists())
        return true;
    QFile file(m_path);
    if (file.remove())
        return true;
    setError(error, QStringLiteral("无法删除保存的列表：%1（%2）").arg(m_path, file.errorString()));
    return false;
}
