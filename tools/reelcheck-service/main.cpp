// tessera-reelcheck-service: a local stand-in of the reel check service, for trials and tests.

#include "tools/reelcheck-service/ReelCheckService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>

#include <cstdio>

using namespace tessera;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tessera-reelcheck-service"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A local stand-in of the reel check service. State lives in memory."));
    parser.addHelpOption();
    const QCommandLineOption listenOption(
        QStringLiteral("listen"),
        QStringLiteral("Address and port to listen on (port 0: any free)."),
        QStringLiteral("host:port"), QStringLiteral("127.0.0.1:8790"));
    const QCommandLineOption dataOption(
        QStringLiteral("data"),
        QStringLiteral("JSON file of reels and Slack users (default: the sample data, %1).")
            .arg(QStringLiteral(TESSERA_SAMPLE_DATA)),
        QStringLiteral("file"), QStringLiteral(TESSERA_SAMPLE_DATA));
    const QCommandLineOption keyOption(QStringLiteral("key"),
                                       QStringLiteral("Access key that requests must carry."),
                                       QStringLiteral("key"));
    const QCommandLineOption dropOption(
        QStringLiteral("drop"),
        QStringLiteral("The drop folder that holds the day folders (Halcyon_Drop/Reels)."),
        QStringLiteral("folder"));
    const QCommandLineOption stateOption(
        QStringLiteral("state"),
        QStringLiteral("File that keeps the submissions across restarts (default: memory only)."),
        QStringLiteral("file"));
    parser.addOptions({listenOption, dataOption, keyOption, dropOption, stateOption});
    parser.process(app);

    const QString listen = parser.value(listenOption);
    const qsizetype colon = listen.lastIndexOf(u':');
    bool portOK = false;
    const uint port = colon > 0 ? listen.mid(colon + 1).toUInt(&portOK) : 0;
    QString host = listen.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']')) // [::1]:8790
        host = host.mid(1, host.size() - 2);
    const QHostAddress address(host);
    if (colon <= 0 || !portOK || port > 65535 || address.isNull()) {
        err << "--listen wants an address and a port, like 127.0.0.1:8790; got " << listen << ".\n";
        return 2;
    }

    auto data = ServiceData::read(parser.value(dataOption));
    if (const QString *problem = std::get_if<QString>(&data)) {
        err << *problem << '\n';
        return 2;
    }

    ReelCheckService::Options options;
    options.data = std::get<ServiceData>(std::move(data));
    if (parser.isSet(keyOption))
        options.accessKey = parser.value(keyOption);
    if (parser.isSet(dropOption)) {
        options.dropFolder = QFileInfo(parser.value(dropOption)).absoluteFilePath();
        if (!QFileInfo(options.dropFolder).isDir())
            err << "The drop folder " << options.dropFolder
                << " doesn't exist yet; submissions wait until it does.\n";
    } else {
        err << "No --drop folder: submissions wait for their files forever.\n";
    }
    err.flush();

    if (parser.isSet(stateOption))
        options.stateFile = QFileInfo(parser.value(stateOption)).absoluteFilePath();

    ReelCheckService service(std::move(options), out);
    if (const auto problem = service.loadState()) {
        err << *problem << '\n';
        return 2;
    }
    auto *server = new QTcpServer(&service);
    if (!server->listen(address, static_cast<quint16>(port))) {
        err << "Can't listen on " << listen << ": " << server->errorString() << ".\n";
        return 1;
    }
    service.bind(server);
    const QString shown = address.protocol() == QAbstractSocket::IPv6Protocol
                              ? u'[' + address.toString() + u']'
                              : address.toString();
    out << "Listening on http://" << shown << ':' << server->serverPort() << Qt::endl;
    return app.exec();
}
