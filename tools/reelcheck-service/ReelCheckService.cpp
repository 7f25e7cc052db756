#include "tools/reelcheck-service/ReelCheckService.h"

#include "core/naming/Naming.h"
#include "core/precheck/PreCheck.h"
#include "core/reelcheck/HelpReport.h"
#include "core/reelcheck/StrictJSON.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTcpSocket>

namespace tessera {

namespace {

using Answer = ReelCheckService::Answer;

Answer error(int status, const QString &message)
{
    return {status, Wire::writeErrorReply(message)};
}

// A bare file name: nothing that could reach outside the day folder.
bool isBareName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(u'\\') && !name.contains(QChar(0));
}

QString waitingText()
{
    return QStringLiteral("Waiting for files");
}

} // namespace

std::variant<ServiceData, QString> ServiceData::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Can't open the data file %1: %2.").arg(path, file.errorString());
    const auto object = StrictJSON::object(file.readAll());
    if (!object)
        return QStringLiteral("The data file %1 isn't a JSON object.").arg(path);
    StrictJSON::ObjectReader reader(*object);
    const QJsonArray reels = reader.requiredArray(QLatin1StringView("reels"));
    const QJsonArray users = reader.requiredArray(QLatin1StringView("slack_users"));
    if (!reader.ok())
        return QStringLiteral("The data file %1 needs the arrays \"reels\" and \"slack_users\".")
            .arg(path);
    const auto readReels = StrictJSON::listOf(reels, &Wire::reelFromObject);
    if (!readReels)
        return QStringLiteral("Every reel in %1 needs a string \"id\" and \"name\".").arg(path);
    const auto readUsers = StrictJSON::listOf(users, &Wire::slackUserFromObject);
    if (!readUsers)
        return QStringLiteral("Every Slack user in %1 needs a string \"id\".").arg(path);
    ServiceData data{*readReels, *readUsers};
    return data;
}

ReelCheckService::ReelCheckService(Options options, QTextStream &out)
    : m_options(std::move(options))
    , m_out(out)
{}

bool ReelCheckService::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    QElapsedTimer clock;
    clock.start();
    const QByteArray method = QVariant::fromValue(request.method()).toString().toUpper().toLatin1();
    const QString path = request.url().path(QUrl::FullyEncoded);
    const Answer reply = answer(method, path, request.value("X-Tessera-Key"), request.body());
    makeResponder(request, socket)
        .write(reply.body, "application/json",
               static_cast<QHttpServerResponder::StatusCode>(reply.status));
    // One line per request. Bodies and headers stay out: they carry keys.
    m_out << QDateTime::currentDateTimeUtc().toString(Qt::ISODate) << ' ' << method << ' ' << path
          << ' ' << reply.status << ' ' << clock.elapsed() << " ms" << Qt::endl;
    return true;
}

void ReelCheckService::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}

Answer ReelCheckService::answer(const QByteArray &method, const QString &encodedPath,
                                const QByteArray &keyHeader, const QByteArray &body)
{
    if (m_options.accessKey && keyHeader != m_options.accessKey->toUtf8())
        return error(401, QStringLiteral("This copy of Tessera has no valid access key."));

    const QStringList segments = encodedPath.split(u'/', Qt::SkipEmptyParts);
    const auto is = [&](const char *want, std::initializer_list<const char *> path) {
        if (method != want || segments.size() != qsizetype(path.size()))
            return false;
        qsizetype i = 0;
        for (const char *segment : path)
            if (segments.at(i++) != QLatin1StringView(segment))
                return false;
        return true;
    };

    if (is("GET", {"api", "health"}))
        return health();
    if (is("GET", {"api", "reels"}))
        return {200, Wire::writeReelList(m_options.data.reels)};
    if (is("GET", {"api", "slack-users"}))
        return {200, Wire::writeSlackUsers(m_options.data.slackUsers)};
    if (is("POST", {"api", "submissions"}))
        return submit(body);
    if (is("GET", {"api", "submissions"}))
        return listSubmissions();
    if (method == "GET" && segments.size() == 3 && segments.at(0) == u"api" &&
        segments.at(1) == u"submissions")
        return status(QUrl::fromPercentEncoding(segments.at(2).toLatin1()));
    if (is("POST", {"api", "help"}))
        return help(body);
    return error(
        404,
        QStringLiteral("There is no %1 %2 here.").arg(QString::fromLatin1(method), encodedPath));
}

namespace {

QJsonObject objectOf(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

QByteArray bytesOf(const QJsonValue &value)
{
    return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
}

} // namespace

std::optional<QString> ReelCheckService::loadState()
{
    const QString &path = m_options.stateFile;
    if (path.isEmpty() || !QFileInfo::exists(path))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Can't read the state file %1: %2.").arg(path, file.errorString());
    const auto top = StrictJSON::object(file.readAll());
    const QJsonValue list = top ? top->value(QLatin1StringView("submissions")) : QJsonValue();
    if (!list.isArray())
        return QStringLiteral("The state file %1 isn't a JSON object with a \"submissions\" "
                              "array; move it away to start afresh.")
            .arg(path);
    QList<QString> order;
    QHash<QString, Submission> submissions;
    QHash<QString, QString> idByKey;
    for (const QJsonValue &entry : list.toArray()) {
        const QJsonObject object = entry.toObject();
        const auto request = Wire::readSubmissionRequest(bytesOf(object.value(u"request")));
        const auto created = Wire::readSubmissionCreated(bytesOf(object.value(u"created")));
        const auto status = Wire::readSubmissionStatus(bytesOf(object.value(u"status")));
        if (!request || !created || !status || submissions.contains(created->id))
            return QStringLiteral("The state file %1 holds a submission that can't be read; move "
                                  "it away to start afresh.")
                .arg(path);
        order.append(created->id);
        idByKey.insert(request->key, created->id);
        submissions.insert(created->id, {*request, *created, *status});
    }
    m_order = order;
    m_submissions = submissions;
    m_idByKey = idByKey;
    return std::nullopt;
}

void ReelCheckService::saveState() const
{
    if (m_options.stateFile.isEmpty())
        return;
    QJsonArray list;
    for (const QString &id : m_order) {
        const Submission &s = m_submissions[id];
        list.append(QJsonObject{{QLatin1StringView("request"), objectOf(Wire::write(s.request))},
                                {QLatin1StringView("created"), objectOf(Wire::write(s.created))},
                                {QLatin1StringView("status"), objectOf(Wire::write(s.status))}});
    }
    QSaveFile file(m_options.stateFile);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(StrictJSON::bytes({{QLatin1StringView("submissions"), list}})) < 0 ||
        !file.commit())
        m_out << "Can't write the state file " << m_options.stateFile << ": " << file.errorString()
              << Qt::endl;
}

Answer ReelCheckService::health() const
{
    Health health;
    health.nasOK = !m_options.dropFolder.isEmpty() && QFileInfo(m_options.dropFolder).isDir();
    health.airtableOK = true;
    health.version = QStringLiteral("local stand-in");
    return {200, Wire::write(health)};
}

Answer ReelCheckService::submit(const QByteArray &body)
{
    const auto request = Wire::readSubmissionRequest(body);
    if (!request)
        return error(400, QStringLiteral("The submission isn't a JSON object with reel_id, "
                                         "version, new_edl, note, editor, files and key."));
    if (request->key.trimmed().isEmpty())
        return error(400, QStringLiteral("The submission has no key."));
    // A key seen before gives back that submission and never makes a second one.
    if (const auto seen = m_idByKey.constFind(request->key); seen != m_idByKey.constEnd())
        return {200, Wire::write(m_submissions.value(*seen).created)};

    const auto reel = std::find_if(m_options.data.reels.begin(), m_options.data.reels.end(),
                                   [&](const Reel &r) { return r.id == request->reelID; });
    if (reel == m_options.data.reels.end())
        return error(400, QStringLiteral("There is no reel with the id %1.").arg(request->reelID));
    if (!Naming::isValidStamp(request->version))
        return error(400, QStringLiteral("The version %1 isn't ten digits.").arg(request->version));
    if (request->editor.trimmed().isEmpty())
        return error(400, QStringLiteral("The submission doesn't say who sends it."));
    if (request->files.isEmpty())
        return error(400, QStringLiteral("The submission names no movies."));
    for (const QString &file : request->files)
        if (!isBareName(file) || !file.endsWith(QStringLiteral(".mov")))
            return error(400, QStringLiteral("%1 isn't the name of a movie file.").arg(file));
    if (request->edl && (!isBareName(*request->edl) || !request->edl->endsWith(u".edl")))
        return error(400, QStringLiteral("%1 isn't the name of an EDL file.").arg(*request->edl));

    const qint64 number = m_order.size() + 1;
    Submission submission;
    submission.request = *request;
    submission.created = {QStringLiteral("sub%1").arg(number, 5, 10, QLatin1Char('0')), number};
    submission.status.id = submission.created.id;
    submission.status.number = number;
    submission.status.status = waitingText();
    submission.status.waitingForFiles = true;
    m_order.append(submission.created.id);
    m_idByKey.insert(request->key, submission.created.id);
    m_submissions.insert(submission.created.id, submission);
    saveState();
    return {201, Wire::write(submission.created)};
}

Answer ReelCheckService::status(const QString &id)
{
    const auto found = m_submissions.find(id);
    if (found == m_submissions.end())
        return error(404, QStringLiteral("There is no submission with the id %1.").arg(id));
    check(*found);
    return {200, Wire::write(found->status)};
}

Answer ReelCheckService::listSubmissions() const
{
    QJsonArray items;
    for (const QString &id : m_order) {
        const Submission &s = m_submissions[id];
        items.append(QJsonObject{{QLatin1StringView("id"), s.created.id},
                                 {QLatin1StringView("number"), *s.created.number},
                                 {QLatin1StringView("reel_id"), s.request.reelID},
                                 {QLatin1StringView("version"), s.request.version},
                                 {QLatin1StringView("editor"), s.request.editor},
                                 {QLatin1StringView("status"), s.status.status}});
    }
    return {200, StrictJSON::bytes({{QLatin1StringView("submissions"), items}})};
}

Answer ReelCheckService::help(const QByteArray &body)
{
    const auto request = Wire::readHelpRequest(body);
    if (!request)
        return error(400, QStringLiteral("The help request isn't a JSON object with editor, "
                                         "message and context."));
    if (!HelpReport::isValid(request->message))
        return error(400, QStringLiteral("The message must have 1 to 1000 characters."));
    m_out << "---- help request\n"
          << HelpReport::summary(*request) << "\n---- end of help request" << Qt::endl;
    return {200, Wire::writeHelpAccepted(true)};
}

void ReelCheckService::check(Submission &submission)
{
    if (submission.status.isFinal() || m_options.dropFolder.isEmpty())
        return;
    const SubmissionRequest &request = submission.request;
    const QDir day(QDir(m_options.dropFolder).filePath(Naming::dayFolder(request.version)));
    QStringList expected = request.files;
    if (request.edl)
        expected.append(*request.edl);
    for (const QString &name : expected) {
        if (!QFileInfo(day.filePath(name)).isFile())
            return; // still waiting
    }

    const QString reelName = [&] {
        for (const Reel &reel : m_options.data.reels)
            if (reel.id == request.reelID)
                return reel.name;
        return QString();
    }();
    QStringList problems;
    QList<PreCheck::File> files;
    for (const QString &name : request.files) {
        PreCheck::File file{name, std::nullopt, PreCheck::read(day.filePath(name))};
        if (const auto parsed = Naming::parse(name)) {
            file.surface = parsed->surface;
            if (parsed->reelKey() != reelName)
                problems.append(QStringLiteral("%1: Belongs to %2, not to the submitted reel %3.")
                                    .arg(name, parsed->reelKey(), reelName));
            if (parsed->version != request.version)
                problems.append(QStringLiteral("%1: Has the version %2, the submission is %3.")
                                    .arg(name, parsed->version, request.version));
        } else {
            problems.append(
                QStringLiteral("%1: Isn't named by the reel naming rules, so its surface is "
                               "unknown.")
                    .arg(name));
        }
        files.append(file);
    }
    const QList<QStringList> found = PreCheck::problems(files, ExportRules::fullSizes());
    for (qsizetype i = 0; i < files.size(); ++i)
        for (const QString &problem : found.at(i))
            problems.append(files.at(i).name + QStringLiteral(": ") + problem);

    SubmissionStatus &status = submission.status;
    status.waitingForFiles = false;
    status.filesChecked = expected;
    status.problems = problems;
    status.checkedAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    status.status =
        (problems.isEmpty() ? SubmissionStatus::readyText : SubmissionStatus::needsFixingText)
            .toString();
    saveState();
}

} // namespace tessera
