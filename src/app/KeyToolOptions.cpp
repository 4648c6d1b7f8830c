#include "app/KeyToolOptions.h"

#include "platform/qt/QtClock.h"
#include "remote/KeyTool.h"
#include "remote/RemoteKey.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <iostream>

namespace torv {

std::optional<int> runKeyToolOptions(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    const QCommandLineOption newKey("new-key", "Write a new key for signed remote commands into the program folder.");
    const QCommandLineOption sign("sign", "Print a signed command file for COMMAND.", "COMMAND");
    const QCommandLineOption keyFile("key-file", "The key to sign with (default: the program folder's).", "FILE");
    parser.addOptions({newKey, sign, keyFile});
    // Other options are the console's or Qt's own: not ours to refuse.
    parser.parse(arguments);
    if (!parser.isSet(newKey) && !parser.isSet(sign))
        return std::nullopt;

    QCoreApplication app(argc, argv); // for the program folder
    const std::string folder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
    if (parser.isSet(newKey))
        return runNewKey(folder, std::cout, std::cerr);
    const std::string key =
        parser.isSet(keyFile) ? parser.value(keyFile).toLocal8Bit().toStdString() : remoteKeyPath(folder);
    return runSign(parser.value(sign).toLocal8Bit().toStdString(), key, QtClock().utcMilliseconds(), std::cout,
                   std::cerr);
}

} // namespace torv
