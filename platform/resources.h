#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <optional>

namespace kest {

// Resources are embedded per executable through the Qt resource system, one
// entry per type and id: ":/res/<TYPE>/<id>" (for example ":/res/PNG/102").
QString resourcePath(int id, const QString& type);

// The bytes of resource (type, id), or nothing when the executable carries no
// such resource.
std::optional<QByteArray> LoadResData(int id, const QString& type);

// Writes the bytes of resource (ResType, ResID) to FileName. Afterwards the
// file holds exactly the resource bytes; the old content is replaced in one
// step, so a failed write leaves whatever was there. A new file gets
// `permissions` when given, else the usual mode; a replaced file keeps its
// mode unless `permissions` is given. Returns false, with an event-log line,
// when the resource is missing or the file cannot be written.
bool SaveResToFile(int ResID, const QString& ResType, const QString& FileName,
    std::optional<QFileDevice::Permissions> permissions = std::nullopt);

} // namespace kest
