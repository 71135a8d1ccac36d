#pragma once

#include <QString>

class QCoreApplication;

// Brindle's command line: `brindle [PATH]`, --help and --version.
namespace CommandLine {

// When the arguments ask for --help or --version, prints the answer and ends
// the process; it needs no display. Otherwise returns at once.
void answerInformationRequests(int argc, char **argv, const QString &version);

// Parses the application's arguments; --help and --version print and exit
// as QCommandLineParser does. Returns the item to inspect at start, made
// absolute against the working folder, its bytes kept (see PathCodec); empty
// when none was given.
QString itemToInspect(const QCoreApplication &app, int argc, char **argv);

// PATH as the command line gave it, in bytes, made absolute against cwd.
QString absoluteItemPath(const QByteArray &argument, const QByteArray &cwd);

} // namespace CommandLine
