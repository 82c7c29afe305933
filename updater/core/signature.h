#pragma once

// Detached manifest signatures in minisign's format (Ed25519), so that the
// platform's operators sign with a standard tool, checked with libsodium.
// Plain rules with no Qt and no window, shared by the launcher's check and the
// updater, and small enough to fuzz.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kest::update {

struct PublicKey {
    std::array<std::uint8_t, 8> keyId {};
    std::array<std::uint8_t, 32> key {};
};

// The key from the base64 line of a minisign public key file (the second
// line of "minisign.pub"); the whole file is taken too, its comment line
// skipped. Nothing for anything else: another algorithm, a wrong length,
// stray characters.
std::optional<PublicKey> parsePublicKey(std::string_view text);

enum class SignatureError {
    None,
    Malformed, // not the four lines of a minisign signature, or bad base64
    UnknownAlgorithm, // neither "Ed" (the message itself) nor "ED" (its BLAKE2b-512)
    OtherKey, // made with another key than the built-in one
    BadSignature, // the message was changed after signing, or the signature forged
    BadTrustedComment, // the trusted comment was changed after signing
};

const char* describe(SignatureError error);

struct SignatureCheck {
    SignatureError error = SignatureError::None;
    std::string trustedComment; // only when the signature holds
};

// Whether signatureFile (the text of a ".minisig" file) is a valid signature
// of message by key, as minisign -V checks it: the signature and the global
// signature over the trusted comment must both hold.
SignatureCheck verifySignature(
    std::string_view message, std::string_view signatureFile, const PublicKey& key);

// SHA-256 of files and of bytes, in lower-case hex as manifests carry it.
// OpenSSL's: it uses the processor's SHA instructions, eight times faster than
// libsodium's portable code here, and every installed file of an update is
// hashed once.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void update(std::string_view bytes);
    std::string hexDigest(); // ends the computation
private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

inline constexpr std::size_t kSha256HexLength = 64;

// 64 characters 0-9 and a-f.
bool isSha256Hex(std::string_view text);

// The file's SHA-256, nothing when it cannot be read.
std::optional<std::string> fileSha256(const std::string& path);

} // namespace kest::update
