#include "updater/core/trust.h"

namespace kest::update {

UpdateTrust updateTrustFrom(std::string_view keySetting)
{
    UpdateTrust trust;
    trust.signedOnly = keySetting.find_first_not_of(" \t\r\n") != std::string_view::npos;
    if (trust.signedOnly)
        trust.key = parsePublicKey(keySetting);
    return trust;
}

ManifestVerdict judgeManifest(std::string_view manifest, std::optional<std::string_view> signature,
    const UpdateTrust& trust, std::string_view installedVersion)
{
    const std::optional<PublicKey>& key = trust.key;
    ManifestVerdict verdict;
    const auto refuse = [&verdict](Refusal refusal, std::string why) {
        verdict.accepted = false;
        verdict.refusal = refusal;
        verdict.why = std::move(why);
        return verdict;
    };
    if (trust.signedOnly && !key)
        return refuse(Refusal::Unsigned, "the built-in update key is not a minisign public key");
    if (key) {
        if (!signature)
            return refuse(
                Refusal::Unsigned, "the manifest is not signed (no update.txt.minisig beside it)");
        const SignatureCheck check = verifySignature(manifest, *signature, *key);
        if (check.error != SignatureError::None)
            return refuse(Refusal::Unsigned, describe(check.error));
    }
    verdict.version = manifestVersion(manifest);
    verdict.files = manifestFiles(manifest, key ? FileChecks::Required : FileChecks::Optional);
    if (verdict.files.error != ManifestError::None) {
        return refuse(Refusal::Damaged,
            std::string("the manifest is damaged: ") + describe(verdict.files.error) + " ("
                + verdict.files.badLine.substr(0, 200) + ")");
    }
    if (!verdict.version)
        return refuse(Refusal::NoVersion, "the manifest names no version");
    // A signed manifest stays valid for ever: replaying an old one must not
    // take players back to a version with known faults.
    if (key) {
        const std::optional<int> order = compareVersions(*verdict.version, installedVersion);
        if (order && *order < 0) {
            return refuse(Refusal::Older,
                "the signed manifest names version " + *verdict.version
                    + ", older than the installed " + std::string(installedVersion));
        }
    }
    verdict.accepted = true;
    verdict.refusal = Refusal::None;
    return verdict;
}

} // namespace kest::update
