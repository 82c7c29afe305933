#include "platform/resources.h"

#include "platform/eventlog.h"

#include <QFile>
#include <QSaveFile>

namespace kest {

QString resourcePath(int id, const QString& type)
{
    return QStringLiteral(":/res/%1/%2").arg(type.toUpper()).arg(id);
}

std::optional<QByteArray> LoadResData(int id, const QString& type)
{
    QFile file(resourcePath(id, type));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool SaveResToFile(int ResID, const QString& ResType, const QString& FileName,
    std::optional<QFileDevice::Permissions> permissions)
{
    const std::optional<QByteArray> bytes = LoadResData(ResID, ResType);
    if (!bytes) {
        logEvent(QStringLiteral("SaveResToFile: no resource %1 %2").arg(ResType).arg(ResID));
        return false;
    }
    QSaveFile out(FileName);
    if (!out.open(QIODevice::WriteOnly)) {
        logEvent(
            QStringLiteral("SaveResToFile: cannot open %1: %2").arg(FileName, out.errorString()));
        return false;
    }
    if (permissions && !out.setPermissions(*permissions)) {
        logEvent(QStringLiteral("SaveResToFile: cannot set the mode of %1").arg(FileName));
        out.cancelWriting();
        return false;
    }
    if (out.write(*bytes) != bytes->size() || !out.commit()) {
        logEvent(
            QStringLiteral("SaveResToFile: cannot write %1: %2").arg(FileName, out.errorString()));
        return false;
    }
    return true;
}

} // namespace kest
