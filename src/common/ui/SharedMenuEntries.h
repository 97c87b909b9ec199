#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QAction;
class QMenu;
class Shell;
struct AppValues;

// The menu entries the search and the download windows share: "设置", "关于",
// the two browser-cache entries and the maker's pages. Each window makes its
// own from this one recipe. The maker's pages open in the web browser; the
// other entries emit a request that the program answers.
class SharedMenuEntries : public QObject
{
    Q_OBJECT
public:
    SharedMenuEntries(const AppValues &values, Shell &shell, QObject *parent);

    // "设置".
    QAction *addOptions(QMenu *menu);
    // "关于" or "关于(&A)": the windows caption it differently.
    QAction *addAbout(QMenu *menu, const QString &caption);
    // "查看IE浏览器缓存" and "清空IE浏览器缓存".
    QAction *addViewCache(QMenu *menu);
    QAction *addClearCache(QMenu *menu);

    // Which of the maker's pages a window lists.
    enum class MakerPages {
        SiteAndNewest, // "软件网站", "最新版本"
        WithGuides, // those and "使用教程", "意见建议"
    };
    // A separator and the pages, shown only while the maker's site is set.
    QList<QAction *> addMakerPages(QMenu *menu, MakerPages pages);

Q_SIGNALS:
    void optionsRequested();
    void aboutRequested();
    void cacheViewRequested();
    void cacheClearRequested();

private:
    QAction *add(QMenu *menu, const QString &caption);

    const AppValues &m_values;
    Shell &m_shell;
};
