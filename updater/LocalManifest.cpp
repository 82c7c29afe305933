#include "updater/LocalManifest.h"

#include "platform/deploy.h"

#include <QFile>

#include <optional>

namespace kest {

namespace {

// A signature file is four short lines; a manifest a few hundred bytes.
constexpr qint64 kSignatureSizeLimit = 16 * 1024;

std::optional<QByteArray> readCapped(const QString& path, qint64 limit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // One byte more than allowed tells an oversized file from one at the limit.
    QByteArray bytes = file.read(limit + 1);
    return bytes;
}

} // namespace

update::UpdateTrust deploymentUpdateTrust()
{
    return update::updateTrustFrom(updatePublicKey().toStdString());
}

LocalManifest readLocalManifest(const QString& manifestPath)
{
    LocalManifest local;
    const std::optional<QByteArray> manifest = manifestPath.isEmpty()
        ? std::nullopt
        : readCapped(manifestPath, update::kManifestSizeLimit);
    if (!manifest)
        return local;
    local.found = true;
    if (manifest->size() > update::kManifestSizeLimit) {
        local.verdict.refusal = update::Refusal::Damaged;
        local.verdict.why = "the manifest is damaged: more than a manifest holds";
        return local;
    }
    const update::UpdateTrust trust = deploymentUpdateTrust();
    std::optional<QByteArray> signature;
    if (trust.signedOnly) {
        signature = readCapped(signaturePath(manifestPath), kSignatureSizeLimit);
    }
    const QByteArray own = programVersion().toUtf8();
    local.verdict
        = update::judgeManifest(std::string_view(manifest->constData(), size_t(manifest->size())),
            signature ? std::optional<std::string_view>(
                std::string_view(signature->constData(), size_t(signature->size())))
                      : std::nullopt,
            trust, std::string_view(own.constData(), size_t(own.size())));
    return local;
}

} // namespace kest
