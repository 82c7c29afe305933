#pragma once

#include "updater/core/trust.h"

#include <QString>

namespace kest {

// The manifest copy in the private temporary folder, with its signature
// beside it, judged by the deployment's trust setting against our own
// version: the launcher and the updater read it through this one routine, so
// the launcher never offers an update the updater would refuse.
struct LocalManifest {
    bool found = false; // false: no copy to read (no fetch ever succeeded)
    update::ManifestVerdict verdict;
};

LocalManifest readLocalManifest(const QString& manifestPath);

// The detached signature lives beside the manifest, under minisign's name.
inline QString signaturePath(const QString& manifestPath)
{
    return manifestPath + QStringLiteral(".minisig");
}

// The trust setting built in (or given by KEST_UPDATE_PUBKEY).
update::UpdateTrust deploymentUpdateTrust();

} // namespace kest
