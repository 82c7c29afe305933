#pragma once

// Whether a manifest may be acted on: one rule for the launcher, which asks
// the player, and for the updater, which installs. Without a built-in public
// key every well-formed manifest is acted on, as before signatures existed;
// with one, only a manifest signed by that key, listing each file's SHA-256
// and size, and not older than the installed version.

#include "updater/core/manifest.h"
#include "updater/core/signature.h"

#include <optional>
#include <string>
#include <string_view>

namespace kest::update {

enum class Refusal {
    None, // accepted
    NoManifest, // nothing to read
    NoVersion, // the manifest names no version: there is nothing to offer
    Unsigned, // no signature, a signature that does not hold, or a key that is no key
    Damaged, // file lines the updater cannot act on
    Older, // a signed manifest of an older version than the installed one
};

struct ManifestVerdict {
    bool accepted = false;
    Refusal refusal = Refusal::NoManifest;
    std::string why; // when refused: a line for the event log
    std::optional<std::string> version; // the manifest's, when it names one
    ManifestFiles files;
};

// What the deployment asks for. A key setting that is there but is no key
// still asks for signed manifests: a typo in a release must not turn the
// check off, so it refuses every manifest instead.
struct UpdateTrust {
    bool signedOnly = false;
    std::optional<PublicKey> key;
};
UpdateTrust updateTrustFrom(std::string_view keySetting);

// signature: the ".minisig" file's text, if one was found. A manifest without
// a version line is refused last (Refusal::NoVersion, its files read): there
// is nothing to offer, but an updater without a key installs it as before.
ManifestVerdict judgeManifest(std::string_view manifest, std::optional<std::string_view> signature,
    const UpdateTrust& trust, std::string_view installedVersion);

} // namespace kest::update
