#include "updater/core/signature.h"

#include <openssl/evp.h>
#include <sodium.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <vector>

namespace kest::update {

namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment:";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
// Nobody signs with comments of this size; a bound keeps a hostile file cheap.
constexpr std::size_t kLineLimit = 4096;

bool initialised()
{
    static const bool ok = sodium_init() >= 0;
    return ok;
}

std::optional<std::vector<std::uint8_t>> fromBase64(std::string_view text)
{
    if (text.empty() || text.size() > kLineLimit)
        return std::nullopt;
    // libsodium 1.0.18 decodes some bytes outside the alphabet (0xFF as "/"):
    // one text, one meaning.
    if (!std::all_of(text.begin(), text.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
                || c == '+' || c == '/' || c == '=';
        }))
        return std::nullopt;
    std::vector<std::uint8_t> bytes(text.size());
    size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length,
            &end, sodium_base64_VARIANT_ORIGINAL)
            != 0
        || end != text.data() + text.size())
        return std::nullopt;
    bytes.resize(length);
    return bytes;
}

std::string_view withoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return line;
}

// Lines ended by LF (a CR before it belongs to the end); a last line without
// an end counts.
std::vector<std::string_view> textLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        lines.push_back(withoutLineEnd(text.substr(0, end)));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

std::optional<PublicKey> parsePublicKey(std::string_view text)
{
    std::string_view line = withoutLineEnd(text);
    const std::vector<std::string_view> lines = textLines(text);
    if (lines.size() == 2 && startsWith(lines[0], kUntrustedPrefix))
        line = lines[1];
    while (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    while (!line.empty() && line.back() == ' ')
        line.remove_suffix(1);
    const auto bytes = fromBase64(line);
    PublicKey key;
    if (!bytes || bytes->size() != 2 + key.keyId.size() + key.key.size() || (*bytes)[0] != 'E'
        || (*bytes)[1] != 'd')
        return std::nullopt;
    std::copy_n(bytes->begin() + 2, key.keyId.size(), key.keyId.begin());
    std::copy_n(bytes->begin() + 2 + key.keyId.size(), key.key.size(), key.key.begin());
    return key;
}

const char* describe(SignatureError error)
{
    switch (error) {
    case SignatureError::None:
        return "the signature holds";
    case SignatureError::Malformed:
        return "the signature file is malformed";
    case SignatureError::UnknownAlgorithm:
        return "the signature uses an unknown algorithm";
    case SignatureError::OtherKey:
        return "the signature was made with another key";
    case SignatureError::BadSignature:
        return "the signature does not match the manifest";
    case SignatureError::BadTrustedComment:
        return "the signature's trusted comment was altered";
    }
    return "unknown signature error";
}

SignatureCheck verifySignature(
    std::string_view message, std::string_view signatureFile, const PublicKey& key)
{
    SignatureCheck check;
    check.error = SignatureError::Malformed;
    if (!initialised())
        return check;
    const std::vector<std::string_view> lines = textLines(signatureFile);
    if (lines.size() != 4 || !startsWith(lines[0], kUntrustedPrefix)
        || !startsWith(lines[2], kTrustedPrefix) || lines[2].size() > kLineLimit)
        return check;
    const auto signature = fromBase64(lines[1]);
    const auto global = fromBase64(lines[3]);
    constexpr size_t kAlgorithm = 2;
    if (!signature || signature->size() != kAlgorithm + key.keyId.size() + crypto_sign_BYTES
        || !global || global->size() != crypto_sign_BYTES)
        return check;

    const std::uint8_t* algorithm = signature->data();
    const std::uint8_t* keyId = algorithm + kAlgorithm;
    const std::uint8_t* bytes = keyId + key.keyId.size();
    const bool prehashed = algorithm[0] == 'E' && algorithm[1] == 'D';
    if (!prehashed && !(algorithm[0] == 'E' && algorithm[1] == 'd')) {
        check.error = SignatureError::UnknownAlgorithm;
        return check;
    }
    if (!std::equal(key.keyId.begin(), key.keyId.end(), keyId)) {
        check.error = SignatureError::OtherKey;
        return check;
    }

    // "ED" signs the message's BLAKE2b-512, "Ed" the message itself.
    const auto* signedBytes = reinterpret_cast<const unsigned char*>(message.data());
    size_t signedSize = message.size();
    std::array<std::uint8_t, crypto_generichash_BYTES_MAX> digest {};
    if (prehashed) {
        crypto_generichash(digest.data(), digest.size(), signedBytes, signedSize, nullptr, 0);
        signedBytes = digest.data();
        signedSize = digest.size();
    }
    if (crypto_sign_verify_detached(bytes, signedBytes, signedSize, key.key.data()) != 0) {
        check.error = SignatureError::BadSignature;
        return check;
    }

    // The trusted comment is signed together with the signature itself.
    const std::string_view comment = lines[2].substr(kTrustedPrefix.size());
    std::vector<std::uint8_t> signedComment(bytes, bytes + crypto_sign_BYTES);
    signedComment.insert(signedComment.end(), comment.begin(), comment.end());
    if (crypto_sign_verify_detached(
            global->data(), signedComment.data(), signedComment.size(), key.key.data())
        != 0) {
        check.error = SignatureError::BadTrustedComment;
        return check;
    }
    check.error = SignatureError::None;
    check.trustedComment = std::string(comment);
    return check;
}

struct Sha256::Context {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool ok = context && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
    ~Context() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256()
    : m_context(std::make_unique<Context>())
{ }

Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes)
{
    if (m_context->ok)
        m_context->ok = EVP_DigestUpdate(m_context->context, bytes.data(), bytes.size()) == 1;
}

std::string Sha256::hexDigest()
{
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest {};
    unsigned int length = 0;
    if (!m_context->ok || EVP_DigestFinal_ex(m_context->context, digest.data(), &length) != 1
        || length != 32)
        return {}; // matches no listed digest
    m_context->ok = false;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * length);
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0xf];
    }
    return hex;
}

bool isSha256Hex(std::string_view text)
{
    return text.size() == kSha256HexLength && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
}

std::optional<std::string> fileSha256(const std::string& path)
{
    // Only a regular file has a digest: a FIFO or a device planted under a
    // listed name must not block or feed the reader.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    Sha256 hash;
    std::vector<char> block(1 << 16);
    for (;;) {
        const ssize_t got = ::read(fd, block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0)
            break;
        hash.update(std::string_view(block.data(), size_t(got)));
    }
    ::close(fd);
    return hash.hexDigest();
}

} // namespace kest::update
