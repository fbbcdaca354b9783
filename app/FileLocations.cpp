#include "app/FileLocations.h"

#include "service/FileBytes.h"
#include "service/PlotwiseError.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

static const QString NodeFileName = QStringLiteral("nodes.txt");

QString PackagedNodeList(const QString &programDir)
{
    return QDir::cleanPath(programDir + QStringLiteral("/../share/plotwise/") + NodeFileName);
}

FileLocations ChooseFileLocations(const QString &programDir, const QString &userConfigDir,
                                  const QString &userCacheDir)
{
    const bool portable =
        QFileInfo(programDir).isWritable() && !QFileInfo::exists(PackagedNodeList(programDir));
    const QString configDir = portable ? programDir : userConfigDir;
    return {QDir(configDir).filePath(QStringLiteral("plotwise.ini")),
            portable ? programDir : userCacheDir, configDir};
}

FileLocations ProgramFileLocations(const QString &programDir)
{
    const auto userFolder = [](QStandardPaths::StandardLocation location) {
        return QStandardPaths::writableLocation(location) + QStringLiteral("/plotwise");
    };
    return ChooseFileLocations(programDir, userFolder(QStandardPaths::GenericConfigLocation),
                               userFolder(QStandardPaths::GenericCacheLocation));
}

void PrepareConfigFolder(const QString &programDir, const QString &configDir)
{
    const QString packaged = PackagedNodeList(programDir);
    const QString copy = QDir(configDir).filePath(NodeFileName);
    if (!QDir().mkpath(configDir) || !QFileInfo::exists(packaged) || QFileInfo::exists(copy))
        return;
    try {
        (void)WriteFileAtomically(copy, ReadFileBytes(packaged));
    } catch (const PlotwiseError &) {
        // Unreadable: NodeListFile falls back to it and its reading says why.
    }
}

QString NodeListFile(const QStringList &fallbacks)
{
    if (QFileInfo::exists(NodeFileName))
        return NodeFileName;
    for (const QString &file : fallbacks) {
        if (QFileInfo::exists(file))
            return file;
    }
    return NodeFileName;
}
