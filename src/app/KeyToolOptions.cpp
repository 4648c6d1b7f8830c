#include "app/KeyToolOptions.h"

#include "base/StdioStream.h"
#include "platform/qt/QtClock.h"
#include "remote/KeyTool.h"
#include "remote/RemoteKey.h"

#include <QCoreApplication>
#include <QDir>

namespace torv {

std::optional<int> runKeyTool(const Options& options, int argc, char** argv)
{
    if (!options.newKey && !options.sign && !options.verifyAnswer)
        return std::nullopt;
    QCoreApplication app(argc, argv); // for the program folder
    StdioOutput out(stdout);
    StdioOutput err(stderr);
    const std::string folder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
    if (options.newKey)
        return runNewKey(folder, out, err);
    const std::string key = options.keyFile ? *options.keyFile : remoteKeyPath(folder);
    if (options.verifyAnswer)
        return runVerifyAnswer(*options.verifyAnswer, key, options.expect, out, err);
    return runSign(*options.sign, key, QtClock().utcMilliseconds(), out, err);
}

} // namespace torv
