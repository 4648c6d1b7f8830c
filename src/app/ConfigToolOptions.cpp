#include "app/ConfigToolOptions.h"

#include "base/StdioStream.h"
#include "settings/ConfigJson.h"
#include "settings/OptionsFile.h"
#include "settings/OptionsRules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace torv {

namespace {

std::string native(const QString& path)
{
    return QDir::toNativeSeparators(path).toUtf8().toStdString();
}

int report(const ConfigToolResult& result)
{
    StdioOutput(stdout) << result.out << std::flush;
    StdioOutput(stderr) << result.err << std::flush;
    return result.status;
}

} // namespace

std::optional<int> runConfigTool(const Options& options, int argc, char** argv)
{
    if (!options.checkConfig && !options.writeConfig)
        return std::nullopt;
    if (options.checkConfig && options.writeConfig) {
        StdioOutput(stderr) << "torv: --check-config and --write-config cannot be combined.\n";
        return 2;
    }
    QCoreApplication app(argc, argv); // for the program folder
    const QString target =
        options.configTarget ? QString::fromUtf8(*options.configTarget) : QCoreApplication::applicationDirPath();
    const QFileInfo info(target);
    // Ansible's validate: names one temporary file; a folder holds both files.
    const bool folder = options.writeConfig || info.isDir();
    const QDir dir(folder ? info.absoluteFilePath() : info.absolutePath());
    const std::string configPath = folder ? native(dir.filePath("config.ini")) : native(info.absoluteFilePath());
    const std::string optionsPath = folder ? native(dir.filePath(kOptionsFileName)) : std::string();
    if (options.checkConfig)
        return report(checkConfig(configPath, optionsPath, knownOptionsRules()));
    // One byte past the limit is enough to refuse: an endless input
    // (/dev/zero) must not grow without bound.
    const std::string json = readStdio(stdin, kConfigJsonLimit + 1);
    return report(writeConfig(configPath, optionsPath, json, knownOptionsRules()));
}

} // namespace torv
