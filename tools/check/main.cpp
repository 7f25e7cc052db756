// tessera-check [--surface SURFACE] [--json] FILE...
// Reads every movie the way Tessera does and judges them together against the export rules.
// Exit status: 0 when no file has a problem, 1 when some file has one, 2 for a usage error or a
// file that cannot be opened.

#include "app/BuildInfo.h"
#include "core/naming/SurfaceMatcher.h"
#include "core/precheck/PreCheck.h"
#include "core/precheck/ReelCompleteness.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

using namespace tessera;

namespace {

constexpr int exitOk = 0;
constexpr int exitProblems = 1;
constexpr int exitUsage = 2;

const char usage[] = "Usage: tessera-check [--surface SURFACE] [--json] FILE...";
const char help[] =
    "Usage: tessera-check [--surface SURFACE] [--json] FILE...\n"
    "Checks exported reel movies against the show's export rules, the way Tessera does before\n"
    "it copies them. All files are judged together, so their running times are compared.\n"
    "\n"
    "  --surface SURFACE  judge every file as SURFACE (awall, bwall, cwall, dwall, floor,\n"
    "                     surtitles) instead of taking each file's surface from its name\n"
    "  --json             print one JSON array instead of text\n"
    "  -h, --help         show this help\n"
    "  -v, --version      show the version\n"
    "\n"
    "Exit status: 0 when no file has a problem, 1 when some file has one, 2 for a usage error\n"
    "or a file that cannot be opened.\n";

QJsonValue readingJson(const PreCheck::Reading &reading)
{
    switch (reading.kind) {
    case PreCheck::Reading::Kind::movie: {
        const MediaInfo &info = reading.info;
        return QJsonObject{
            {QStringLiteral("kind"), QStringLiteral("movie")},
            {QStringLiteral("width"), info.width},
            {QStringLiteral("height"), info.height},
            {QStringLiteral("codec"), info.codec},
            {QStringLiteral("fps"), info.fps},
            {QStringLiteral("videoTracks"), info.videoTracks},
            {QStringLiteral("otherTracks"), QJsonArray::fromStringList(info.otherTracks)},
            {QStringLiteral("duration"), reading.duration},
        };
    }
    case PreCheck::Reading::Kind::unreadable:
        return QJsonObject{{QStringLiteral("kind"), QStringLiteral("unreadable")},
                           {QStringLiteral("detail"), reading.detail}};
    case PreCheck::Reading::Kind::unfinished:
        return QJsonObject{{QStringLiteral("kind"), QStringLiteral("unfinished")}};
    case PreCheck::Reading::Kind::damaged:
        return QJsonObject{{QStringLiteral("kind"), QStringLiteral("damaged")}};
    case PreCheck::Reading::Kind::notAMovie:
        return QJsonObject{{QStringLiteral("kind"), QStringLiteral("notAMovie")}};
    }
    return QJsonValue();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    const QCommandLineOption surfaceOption(
        QStringLiteral("surface"),
        QStringLiteral("Judge every file as SURFACE (awall, bwall, cwall, dwall, floor, "
                       "surtitles) instead of taking the surface from its name."),
        QStringLiteral("SURFACE"));
    const QCommandLineOption jsonOption(QStringLiteral("json"),
                                        QStringLiteral("Print one JSON array instead of text."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Show the version."));
    parser.addOption(surfaceOption);
    parser.addOption(jsonOption);
    parser.addOption(helpOption);
    parser.addOption(versionOption);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Movies to check."),
                                 QStringLiteral("FILE..."));

    if (!parser.parse(app.arguments())) {
        err << "tessera-check: " << parser.errorText() << " " << usage << "\n";
        return exitUsage;
    }
    if (parser.isSet(helpOption)) {
        out << help;
        return exitOk;
    }
    if (parser.isSet(versionOption)) {
        out << "tessera-check " << BuildInfo::version() << "\n";
        return exitOk;
    }
    const QStringList paths = parser.positionalArguments();
    if (paths.isEmpty()) {
        err << "tessera-check: no files given. " << usage << "\n";
        return exitUsage;
    }
    std::optional<Surface> forced;
    if (parser.isSet(surfaceOption)) {
        const QString raw = parser.value(surfaceOption);
        forced = surfaceFromRawValue(raw);
        if (!forced) {
            err << "tessera-check: unknown surface \"" << raw
                << "\" (use awall, bwall, cwall, dwall, floor or surtitles)\n";
            return exitUsage;
        }
    }

    // A file that cannot be opened at all would otherwise read as an unfinished movie; for a
    // script that is a mistake in the command, not a verdict on the file.
    bool allOpen = true;
    for (const QString &path : paths) {
        FileSource source(path);
        if (!source.isOpen()) {
            err << "tessera-check: " << path << " couldn't be opened: " << source.openError()
                << "\n";
            allOpen = false;
        }
    }
    if (!allOpen)
        return exitUsage;

    QList<PreCheck::File> files;
    for (const QString &path : paths) {
        const QString name = QFileInfo(path).fileName();
        files.append(PreCheck::File{name, forced ? forced : SurfaceMatcher::surface(name),
                                    PreCheck::read(path)});
    }
    const QList<QStringList> problems = PreCheck::problems(files, ExportRules::fullSizes());
    bool anyProblem = false;
    for (const QStringList &list : problems)
        anyProblem = anyProblem || !list.isEmpty();

    if (parser.isSet(jsonOption)) {
        QJsonArray array;
        for (qsizetype i = 0; i < files.size(); ++i) {
            const PreCheck::File &file = files[i];
            array.append(QJsonObject{
                {QStringLiteral("name"), file.name},
                {QStringLiteral("surface"),
                 file.surface ? QJsonValue(rawValue(*file.surface)) : QJsonValue()},
                {QStringLiteral("reading"), readingJson(*file.reading)},
                {QStringLiteral("problems"), QJsonArray::fromStringList(problems[i])},
            });
        }
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
    } else {
        QList<Surface> surfaces;
        for (qsizetype i = 0; i < files.size(); ++i) {
            const PreCheck::File &file = files[i];
            out << file.name << ": "
                << (file.surface ? label(*file.surface) : QStringLiteral("no surface")) << "\n";
            for (const QString &problem : problems[i])
                out << "  " << problem << "\n";
            if (problems[i].isEmpty())
                out << "  ok\n";
            if (file.surface)
                surfaces.append(*file.surface);
        }
        if (const std::optional<QString> note =
                ReelCompleteness::warning(int(files.size()), surfaces)) {
            out << *note << "\n";
        }
    }
    return anyProblem ? exitProblems : exitOk;
}
