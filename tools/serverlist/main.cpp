// Writes the per-user server list the client reads at start-up.
//
//   lumora-serverlist --quote HOST:PORT[,HOST:PORT...] --trade HOST:PORT[,...]
//                     [--provider NAME] [--out FILE]
//
// Without --out the file is "Config/ServerInfo.plist" in the per-user folder
// (LUMORA_HOME when set).
#include "platform/UserFolder.h"
#include "session/ServerListFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes the client's server list."));
    parser.addHelpOption();
    parser.addOption({ "quote", "Quote servers, HOST:PORT separated by commas.", "list" });
    parser.addOption({ "trade", "Trade servers, HOST:PORT separated by commas.", "list" });
    parser.addOption(
        { "provider", "The provider's name shown in the list.", "name", QStringLiteral("券商") });
    parser.addOption({ "out", "The file to write (default: the per-user server list).", "file" });
    parser.process(app);

    const auto quote = serverlistfile::parse(parser.value("quote"));
    const auto trade = serverlistfile::parse(parser.value("trade"));
    if (!quote || !trade) {
        std::fprintf(stderr,
            "usage: lumora-serverlist --quote HOST:PORT[,...] --trade HOST:PORT[,...] [--provider NAME] "
            "[--out FILE]\n");
        return 2;
    }
    const QString path = parser.value("out");
    if (!serverlistfile::write(*quote, *trade, parser.value("provider"), path)) {
        std::fprintf(stderr, "cannot write the server list\n");
        return 1;
    }
    std::printf(
        "%s\n", qPrintable(path.isEmpty() ? platform::UserFolder::configFilePath("ServerInfo.plist") : path));
    return 0;
}
