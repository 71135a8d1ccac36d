#include "CommandLine.h"

#include "PathCodec.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace CommandLine {

QString absoluteItemPath(const QByteArray &argument, const QByteArray &cwd)
{
    if (argument.startsWith('/') || cwd.isEmpty())
        return pathFromBytes(argument);
    // Joined, not resolved: ".." and links stay as the user typed them, and
    // the inspection follows a link to its target itself.
    return pathFromBytes(cwd.endsWith('/') ? cwd + argument : cwd + '/' + argument);
}

namespace {

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Shows and changes the access rights of one file or folder."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PATH"),
                                 QCoreApplication::translate("main", "The file or folder to inspect at start."),
                                 QStringLiteral("[PATH]"));
}

} // namespace

void answerInformationRequests(int argc, char **argv, const QString &version)
{
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--")
            break;
        asked = asked || a == "-h" || a == "--help" || a == "-?" || a == "--help-all" || a == "-v"
                || a == "--version";
    }
    if (!asked)
        return;
    // Help and version need no display: answered before any window system
    // is touched, then the process ends.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Brindle"));
    QCoreApplication::setApplicationVersion(version);
    QCommandLineParser parser;
    describe(parser);
    parser.process(app);
    std::exit(0);
}

QString itemToInspect(const QCoreApplication &app, int argc, char **argv)
{
    QCommandLineParser parser;
    describe(parser);
    parser.process(app);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        std::fprintf(stderr, "%s: %s\n\n%s", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(QCoreApplication::translate("main", "Only one item can be inspected at a time.")),
                     qPrintable(parser.helpText()));
        std::exit(EXIT_FAILURE); // as QCommandLineParser does for a wrong option
    }
    if (positional.isEmpty())
        return {};

    // QCommandLineParser hands over decoded text, in which bytes that are not
    // UTF-8 are lost; the same argument's raw bytes are taken from argv.
    QByteArray raw = positional.first().toLocal8Bit();
    for (int i = argc - 1; i > 0; --i) {
        if (QString::fromLocal8Bit(argv[i]) == positional.first()) {
            raw = QByteArray(argv[i]);
            break;
        }
    }
    QByteArray cwd;
    if (char *dir = ::getcwd(nullptr, 0)) {
        cwd = dir;
        ::free(dir);
    }
    return absoluteItemPath(raw, cwd);
}

} // namespace CommandLine
