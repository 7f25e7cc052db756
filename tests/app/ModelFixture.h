#pragma once

// What the model's tests share: real movies made once with ffmpeg, the real stand-in service, a
// local folder standing for the NAS, and a model wired to them with short waits.

#include "app/AppModel.h"
#include "app/Leash.h"
#include "core/naming/Naming.h"
#include "tests/copy/CopyTestSupport.h"
#include "tests/reelcheck/StandIn.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <sys/stat.h>

namespace tessera::testing {

inline constexpr char accessKey[] = "model-test-key-0451";
inline const QString reel1 = QStringLiteral("00_TST_Reel1");

inline bool ffmpeg(const QString &arguments, const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  QStringLiteral("-v error -y -f lavfi -i ").append(arguments).split(u' ') << path);
    return process.waitForFinished(120000) && process.exitCode() == 0;
}

inline QStringList filesBelow(const QString &folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(folder).relativeFilePath(it.next());
    names.sort();
    return names;
}

// Which file a path names and when it was last written: unchanged means never copied again.
struct FileIdentity
{
    ino_t inode = 0;
    qint64 modified = 0;
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

inline FileIdentity identityOf(const QString &path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {info.st_ino, qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// Lets detached copies and their coroutines finish, so that nothing outlives a test.
inline void settle()
{
    QThreadPool::globalInstance()->waitForDone();
    Leash::pool().waitForDone();
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QTest::qWait(10);
    }
}

class ModelFixture
{
public:
    QTemporaryDir movies; // made once: good and wrong-size movies
    std::unique_ptr<QTemporaryDir> work;
    std::unique_ptr<StandIn> standIn;
    QString nas;
    QString drop;
    QString editorFolder;
    QStringList copied; // what the desktop's clipboard was given
    QList<QUrl> opened;
    Timing timing; // the models' waits, short; a test may shorten others before makeModel()

    QString movie(const QString &name) const { return movies.filePath(name); }

    void makeMovies()
    {
        QVERIFY(ffmpeg("color=c=gray:s=7972x3424:r=30 -frames:v 3 -c:v prores_ks -profile:v 1",
                       movie("awall.mov")));
        QVERIFY(ffmpeg("color=c=gray:s=5612x304:r=30 -frames:v 3 -c:v prores_ks -profile:v 4 "
                       "-pix_fmt yuva444p10le",
                       movie("surtitles.mov")));
        QVERIFY(ffmpeg("color=c=gray:s=5600x300:r=30 -frames:v 3 -c:v prores_ks -profile:v 4 "
                       "-pix_fmt yuva444p10le",
                       movie("surtitles-wrong-size.mov")));
    }

    void setUp()
    {
        work = std::make_unique<QTemporaryDir>();
        nas = work->filePath(QStringLiteral("nas"));
        drop = nas + u'/' + Naming::dropPath.toString();
        editorFolder = work->filePath(QStringLiteral("export"));
        QVERIFY(QDir().mkpath(drop) && QDir().mkpath(editorFolder));
        standIn = std::make_unique<StandIn>(drop, QString::fromLatin1(accessKey));
        QVERIFY(standIn->base().isValid());
        copied.clear();
        opened.clear();
        timing = {};
        timing.probeTimeout = std::chrono::milliseconds(500);
        timing.submitPause = std::chrono::milliseconds(50);
        timing.pollInterval = std::chrono::milliseconds(100);
        timing.httpTimeout = 2.0;
    }

    void tearDown()
    {
        settle();
        QVERIFY2(!standIn->output().contains(accessKey), "the key reached the stand-in's log");
        standIn.reset();
    }

    QString settingsFile() const { return work->filePath(QStringLiteral("s.ini")); }

    // The editor's export: a copy of a made movie under a loose name.
    QUrl exported(const QString &made, const QString &name) const
    {
        const QString path = QDir(editorFolder).filePath(name);
        QFile::remove(path);
        QFile::copy(movie(made), path);
        return QUrl::fromLocalFile(path);
    }

    std::unique_ptr<AppModel> makeModel(const QUrl &apiBase, const QString &nasFolder)
    {
        auto settings = std::make_unique<QSettings>(settingsFile(), QSettings::IniFormat);
        settings->setValue(QStringLiteral("apiBase"), apiBase.toString());
        settings->setValue(QStringLiteral("nasURL"), QUrl::fromLocalFile(nasFolder).toString());
        settings->setValue(QStringLiteral("editorName"), QStringLiteral("Kit Orr"));
        AppModel::Options options;
        options.settings = std::move(settings);
        options.timing = timing;
        options.desktop.copyText = [this](const QString &text) { copied << text; };
        options.desktop.openURL = [this](const QUrl &url) { opened << url; };
        options.builtInKey = QString::fromLatin1(accessKey);
        return std::make_unique<AppModel>(std::move(options));
    }

    std::unique_ptr<AppModel> makeModel() { return makeModel(standIn->base(), nas); }

    // Drop, continue, and wait for the reel list and the readings.
    static void toConfirm(AppModel &model, const QList<QUrl> &files)
    {
        model.add(files);
        model.goToConfirm();
        QCOMPARE(model.step(), Step::confirm);
        QTRY_VERIFY(!model.reels()->reels().isEmpty() && !model.intake()->checkingFiles());
        if (!model.reels()->selectedReel())
            model.reels()->pickReel(QStringLiteral("recTST1"));
    }

    QString dayFolder(const AppModel &model) const
    {
        return QDir(drop).filePath(Naming::dayFolder(model.confirmation()->version()));
    }

    QJsonArray submissions() { return standIn->submissions(accessKey); }
};

} // namespace tessera::testing
