// libFuzzer target: the signature reader must take any bytes without
// crashing, and must accept nothing but the real thing. One key, one
// manifest and its signature are fixed; the input is tried as a public key
// line, as the signature of the fixed manifest, and as a manifest under the
// fixed signature. Only the fixed signature may verify, and only for the
// fixed manifest.
#include "updater/core/signature.h"
#include "updater/core/trust.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

constexpr std::string_view kKey = "RWTN6E/Nvrqz2nCcOr8s6sAlKHnH991s6vwHb2Sbxm70k9cwfMzNFAKn";
constexpr std::string_view kManifest
    = "version=1.1.0\r\nany|http://127.0.0.1/gamehome/kest/kest|"
      "2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824|5\r\n";
constexpr std::string_view kSignature
    = "untrusted comment: signature from minisign secret key\n"
      "RUTN6E/Nvrqz2m2vetj5rPn/"
      "UkVnEbiGNCMoJcBEfnWV9qrSMCpkOog1dvJeQkZZIhWmps+lpVOuKnWx2g0H1sIBH6T68BrviwA=\n"
      "trusted comment: kest 1.1.0\n"
      "ZePqEEg4ZJcsjEacT3ufmtIqepy4Pj7Ywx5OifCTfOLiFTO1shx7K09LkJTRs1OxjVz/vWmyS62qB1zIuvfWBg==\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kest::update;
    static const PublicKey key = [] {
        const auto parsed = parsePublicKey(kKey);
        if (!parsed)
            std::abort();
        static_assert(sizeof(PublicKey) == 40);
        return *parsed;
    }();
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    if (const auto other = parsePublicKey(input); other && other->key == key.key
        && other->keyId == key.keyId && input.find(kKey) == std::string_view::npos)
        std::abort(); // the same key from other text: base64 is not that loose

    // The seeds hold the two real signatures of the fixed manifest (hash
    // signed and legacy); nothing else may pass for one.
    const SignatureCheck asSignature = verifySignature(kManifest, input, key);
    if (asSignature.error == SignatureError::None
        && input.find("RUTN6E/Nvrqz2m2vetj5rPn/UkVnEbiGNCMoJcBEfnWV9qrSMCpkOog1dvJeQkZZIhWmps")
            == std::string_view::npos
        && input.find("RWTN6E/Nvrqz2j3JRnejQ1hAvF3pvfIokOxh2T0iHkgk1XkdlbBbYOifhG597yKnTg6aSzqJ3")
            == std::string_view::npos)
        std::abort();

    const SignatureCheck asManifest = verifySignature(input, kSignature, key);
    if (asManifest.error == SignatureError::None && input != kManifest)
        std::abort();

    // The whole judgement, signed-only: what it accepts is the fixed manifest.
    const ManifestVerdict verdict = judgeManifest(input, kSignature, { true, key }, "1.0.0");
    if (verdict.accepted && input != kManifest)
        std::abort();
    return 0;
}
