#include "TestEnvironment.h"
#include "common/SettingsStore.h"
#include "common/ui/WindowPlacement.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <memory>

namespace {

const QString Section = QStringLiteral("fFileDownload");

std::unique_ptr<QWidget> makeWindow()
{
    auto window = std::make_unique<QWidget>();
    window->setObjectName(Section);
    return window;
}

void store(const QString &key, const QString &value)
{
    WriteSetting(Section, key, value);
}

QString stored(const QString &key)
{
    return ReadSetting(Section, key, QStringLiteral("(missing)"));
}

} // namespace

class TestWindowPlacement : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();

    void resolutionIsPrimaryScreenInPixels();
    void firstRunOrOtherResolutionMaximises_data();
    void firstRunOrOtherResolutionMaximises();
    void normalWindowRoundTrips();
    void maximisedCloseKeepsEarlierPlacement();
    void restoreBounds_data();
    void restoreBounds();
    void restoreLeavesMaximisedState();
    void firstRunFullHeight_data();
    void firstRunFullHeight();
    void shownWindowsKeepWithinTheScreen();

private:
    QTemporaryDir m_settingsDir;
};

void TestWindowPlacement::initTestCase()
{
    useTestLocations();
    QVERIFY(m_settingsDir.isValid());
    // A settings file of this process alone: other tests may run at the same time.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
}

void TestWindowPlacement::init()
{
    QFile::remove(QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
        QStringLiteral("Quillmoor"))
                      .fileName());
}

void TestWindowPlacement::resolutionIsPrimaryScreenInPixels()
{
    const QSize size = QGuiApplication::primaryScreen()->size();
    QVERIFY(!size.isEmpty());
    QCOMPARE(ScreenResolutionText(),
        QString::number(size.width()) + u'*' + QString::number(size.height()));
}

void TestWindowPlacement::firstRunOrOtherResolutionMaximises_data()
{
    QTest::addColumn<QString>("resolution"); // empty: nothing stored
    QTest::newRow("first run") << QString();
    QTest::newRow("closed maximised") << QStringLiteral("0*0");
    QTest::newRow("other resolution") << QStringLiteral("1*1");
    QTest::newRow("resolution with a space") << ScreenResolutionText() + u' ';
}

void TestWindowPlacement::firstRunOrOtherResolutionMaximises()
{
    QFETCH(QString, resolution);
    if (!resolution.isEmpty())
        store(Settings::Placement::Resolution, resolution);
    store(Settings::Placement::Width, QStringLiteral("6000"));

    const auto window = makeWindow();
    window->resize(123, 45);
    RestoreWindowPlacement(window.get());
    QVERIFY(window->isMaximized());
    QCOMPARE(window->size(), QSize(123, 45));
}

void TestWindowPlacement::normalWindowRoundTrips()
{
    const auto first = makeWindow();
    first->move(30, 40);
    first->resize(500, 300);
    first->show();
    QVERIFY(QTest::qWaitForWindowExposed(first.get()));
    const QRect placed = first->geometry();
    const QPoint framePos = first->pos();
    SaveWindowPlacement(first.get());

    QCOMPARE(stored(Settings::Placement::Resolution), ScreenResolutionText());
    QCOMPARE(stored(Settings::Placement::Top), QString::number(framePos.y() * 15));
    QCOMPARE(stored(Settings::Placement::Left), QString::number(framePos.x() * 15));
    QCOMPARE(stored(Settings::Placement::Width), QStringLiteral("7500"));
    QCOMPARE(stored(Settings::Placement::Height), QStringLiteral("4500"));

    const auto second = makeWindow();
    RestoreWindowPlacement(second.get());
    second->show();
    QVERIFY(QTest::qWaitForWindowExposed(second.get()));
    QVERIFY(!second->isMaximized());
    QCOMPARE(second->geometry(), placed);
}

void TestWindowPlacement::maximisedCloseKeepsEarlierPlacement()
{
    store(Settings::Placement::Resolution, ScreenResolutionText());
    store(Settings::Placement::Top, QStringLiteral("150"));
    store(Settings::Placement::Width, QStringLiteral("9000"));

    const auto window = makeWindow();
    window->showMaximized();
    SaveWindowPlacement(window.get());
    QCOMPARE(stored(Settings::Placement::Resolution), QStringLiteral("0*0"));
    QCOMPARE(stored(Settings::Placement::Top), QStringLiteral("150"));
    QCOMPARE(stored(Settings::Placement::Width), QStringLiteral("9000"));
    QCOMPARE(stored(Settings::Placement::Left), QStringLiteral("(missing)"));

    const auto reopened = makeWindow();
    RestoreWindowPlacement(reopened.get());
    QVERIFY(reopened->isMaximized());
}

void TestWindowPlacement::restoreBounds_data()
{
    // Stored texts for top, left, width, height (empty: missing) and the
    // geometry in pixels that results; an empty one: cut to fit the screen.
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QRect>("expected");
    const QString missing;
    QTest::newRow("negative edges become 0") << QStringList { QStringLiteral("-300"),
        QStringLiteral("-15"), QStringLiteral("6000"), QStringLiteral("4500") }
                                             << QRect(0, 0, 400, 300);
    QTest::newRow("small sizes rise to the minimum") << QStringList { QStringLiteral("300"),
        QStringLiteral("450"), QStringLiteral("2000"), QStringLiteral("100") }
                                                     << QRect(30, 20, 267, 200);
    QTest::newRow("not whole numbers count as missing") << QStringList { QStringLiteral("abc"),
        QStringLiteral("1500.5"), QStringLiteral("6000"), QStringLiteral("3000") }
                                                        << QRect(7, 7, 400, 200);
    QTest::newRow("defaults larger than the screen")
        << QStringList { missing, missing, QStringLiteral("150000"), QStringLiteral("150000") }
        << QRect();
    QTest::newRow("beyond the right and bottom edges") << QStringList { QStringLiteral("30000"),
        QStringLiteral("60000"), QStringLiteral("6000"), QStringLiteral("4500") }
                                                       << QRect();
}

void TestWindowPlacement::restoreBounds()
{
    QFETCH(QStringList, texts);
    QFETCH(QRect, expected);
    using namespace Settings::Placement;
    store(Resolution, ScreenResolutionText());
    const QStringList keys { Top, Left, Width, Height };
    for (int i = 0; i < keys.size(); ++i) {
        if (!texts.at(i).isNull())
            store(keys.at(i), texts.at(i));
    }

    const auto window = makeWindow();
    RestoreWindowPlacement(window.get());
    QVERIFY(!window->isMaximized());
    const QRect placed(window->pos(), window->size());
    if (!expected.isNull()) {
        QCOMPARE(placed, expected);
        return;
    }
    // Moved and cut so that it lies within the free area of the screen.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(area.contains(placed),
        qPrintable(QStringLiteral("%1,%2 %3x%4")
                       .arg(placed.x())
                       .arg(placed.y())
                       .arg(placed.width())
                       .arg(placed.height())));
    QVERIFY(placed.width() >= 267 && placed.height() >= 200);
}

void TestWindowPlacement::firstRunFullHeight_data()
{
    QTest::addColumn<QString>("resolution"); // empty: nothing stored
    QTest::addColumn<bool>("maximised");
    QTest::newRow("first run") << QString() << false;
    QTest::newRow("closed maximised") << QStringLiteral("0*0") << true;
    QTest::newRow("other resolution") << QStringLiteral("1*1") << true;
}

void TestWindowPlacement::firstRunFullHeight()
{
    QFETCH(QString, resolution);
    QFETCH(bool, maximised);
    if (!resolution.isEmpty())
        store(Settings::Placement::Resolution, resolution);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const auto window = makeWindow();
    window->resize(area.width() / 2, 100);
    RestoreWindowPlacement(window.get(), FirstPlacement::FullHeight);
    QCOMPARE(window->isMaximized(), maximised);
    if (maximised)
        return;
    const QRect placed(window->pos(), window->size());
    QVERIFY(area.contains(placed));
    QCOMPARE(placed.top(), area.top());
    // The title bar and frame take a little of the height, nothing more.
    QVERIFY(placed.height() >= area.height() - 80);
    QCOMPARE(placed.width(), area.width() / 2);
    QVERIFY(qAbs(placed.center().x() - area.center().x()) <= 1);
}

void TestWindowPlacement::shownWindowsKeepWithinTheScreen()
{
    ScreenFit fit;
    qApp->installEventFilter(&fit);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget window;
    window.move(area.right() - 50, area.top() + 10);
    window.resize(area.width() * 2, area.height() + 10);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(area.contains(window.frameGeometry()));
    // A window the program never placed keeps the window manager's place.
    QWidget unplaced;
    unplaced.resize(100, 80);
    unplaced.show();
    QCOMPARE(unplaced.size(), QSize(100, 80));
    qApp->removeEventFilter(&fit);
}

void TestWindowPlacement::restoreLeavesMaximisedState()
{
    store(Settings::Placement::Resolution, ScreenResolutionText());
    const auto window = makeWindow();
    window->setWindowState(Qt::WindowMaximized);
    store(Settings::Placement::Width, QStringLiteral("6000"));
    store(Settings::Placement::Height, QStringLiteral("4500"));
    RestoreWindowPlacement(window.get());
    QCOMPARE(window->windowState(), Qt::WindowNoState);
    QCOMPARE(window->size(), QSize(400, 300));
}

QTEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
