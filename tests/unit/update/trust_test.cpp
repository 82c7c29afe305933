// Which manifests may be acted on, with keys and signatures made by the real
// minisign tool, and the file fields and version order the judgement uses.
#include "updater/core/trust.h"

#include "tests/support/signing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kest::update;
using kest::test::SigningKey;

namespace {

const std::string kHello = "2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824";

std::string manifestFor(const std::string& version, const std::string& checks = "|" + kHello + "|5")
{
    return "version=" + version + "\r\ndata|http://127.0.0.1:9/files/data.pak" + checks
        + "\r\nany|http://127.0.0.1:9/files/kest" + checks + "\r\n";
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Signs `manifest` with `key` and gives the signature's text.
std::string signedBy(const SigningKey& key, const std::string& manifest, bool legacy = false)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("update.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(manifest.data(), qint64(manifest.size())) < 0)
        return {};
    file.close();
    return key.sign(path, legacy) ? readAll(path + QStringLiteral(".minisig")).toStdString()
                                  : std::string();
}

} // namespace

TEST(ManifestTrust, OnlyTheKeysSignatureOfAnUnchangedCurrentManifestIsAccepted)
{
    const SigningKey key;
    const SigningKey other;
    ASSERT_TRUE(key.isValid() && other.isValid()) << "minisign is needed (scripts/setup)";
    const UpdateTrust trust = updateTrustFrom(key.publicLine().toStdString());
    ASSERT_TRUE(trust.signedOnly && trust.key);

    const std::string manifest = manifestFor("1.1.0");
    const std::string signature = signedBy(key, manifest);
    std::string oneByte = manifest;
    oneByte[oneByte.find("kest")] = 'K';
    std::string commentAltered = signature;
    commentAltered.replace(commentAltered.find("kest test"), 9, "kest TEST");
    const std::string older = manifestFor("0.9.9");

    struct Case {
        const char* name;
        std::string manifest;
        std::optional<std::string> signature;
        UpdateTrust trust;
        Refusal refusal;
    };
    const Case cases[] = {
        { "valid (hash signed)", manifest, signature, trust, Refusal::None },
        { "valid (legacy)", manifest, signedBy(key, manifest, true), trust, Refusal::None },
        { "the same version", manifestFor("1.0.0"), signedBy(key, manifestFor("1.0.0")), trust,
            Refusal::None },
        { "another key", manifest, signedBy(other, manifest), trust, Refusal::Unsigned },
        { "one byte altered", oneByte, signature, trust, Refusal::Unsigned },
        { "one line added", manifest + "x|http://127.0.0.1:9/evil|" + kHello + "|5\r\n", signature,
            trust, Refusal::Unsigned },
        { "trusted comment altered", manifest, commentAltered, trust, Refusal::Unsigned },
        { "signature missing", manifest, std::nullopt, trust, Refusal::Unsigned },
        { "signature garbage", manifest, "untrusted comment:\nAAAA\n", trust, Refusal::Unsigned },
        { "older version replayed", older, signedBy(key, older), trust, Refusal::Older },
        { "signed without file hashes", manifestFor("1.1.0", ""),
            signedBy(key, manifestFor("1.1.0", "")), trust, Refusal::Damaged },
        { "a key setting that is no key", manifest, signature, updateTrustFrom("not a key"),
            Refusal::Unsigned },
        { "no key: unsigned, no hashes", manifestFor("1.1.0", ""), std::nullopt, {},
            Refusal::None },
        { "no key: older is still offered", manifestFor("0.1.0", ""), std::nullopt, {},
            Refusal::None },
        { "no key: bare LF line ends", "version=1.1.0\nany|http://127.0.0.1:9/files/kest\n",
            std::nullopt, {}, Refusal::Damaged },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.signature && c.signature->empty());
        const ManifestVerdict verdict = judgeManifest(c.manifest,
            c.signature ? std::optional<std::string_view>(*c.signature) : std::nullopt, c.trust,
            "1.0.0");
        EXPECT_EQ(verdict.refusal, c.refusal) << verdict.why;
        EXPECT_EQ(verdict.accepted, c.refusal == Refusal::None);
        EXPECT_EQ(verdict.why.empty(), verdict.accepted);
    }
}

TEST(ManifestTrust, ReadsFileChecksAndOrdersVersions)
{
    struct FieldCase {
        const char* fields; // after "x|http://h/f"
        FileChecks checks;
        ManifestError error;
        std::string sha256;
        long long size;
    };
    const FieldCase fieldCases[] = {
        { "", FileChecks::Optional, ManifestError::None, "", -1 },
        { "|junk|more", FileChecks::Optional, ManifestError::None, "", -1 },
        { "|2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824|5",
            FileChecks::Required, ManifestError::None, kHello, 5 },
        { "", FileChecks::Required, ManifestError::MissingChecks, "", -1 },
        { "|2CF24DBA5FB0A30E26E83B2AC5B9E29E1B161E5C1FA7425E73043362938B9824|5",
            FileChecks::Required, ManifestError::BadChecks, "", -1 },
        { "|2cf24dba|5", FileChecks::Required, ManifestError::BadChecks, "", -1 },
        { "|2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824|-5",
            FileChecks::Required, ManifestError::BadChecks, "", -1 },
        { "|2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824|99999999999999999",
            FileChecks::Required, ManifestError::BadChecks, "", -1 },
        { "|2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824", FileChecks::Required,
            ManifestError::BadChecks, "", -1 },
    };
    for (const FieldCase& c : fieldCases) {
        SCOPED_TRACE(c.fields);
        const ManifestFiles files
            = manifestFiles(std::string("version=1\r\nx|http://h/f") + c.fields + "\r\n", c.checks);
        EXPECT_EQ(files.error, c.error);
        if (c.error == ManifestError::None) {
            ASSERT_EQ(files.files.size(), 1u);
            EXPECT_EQ(files.files[0].sha256, c.sha256);
            EXPECT_EQ(files.files[0].size, c.size);
        }
    }

    struct VersionCase {
        const char* a;
        const char* b;
        std::optional<int> order;
    };
    const VersionCase versionCases[] = {
        { "1.10.0", "1.9.2", 1 },
        { "1.1.0", "1.1.0", 0 },
        { "0.9.9", "1.0.0", -1 },
        { "1.1", "1.1.0", -1 },
        { "1.01.0", "1.1.0", 0 },
        { "1.1.0-beta", "1.1.0", std::nullopt },
        { "", "1.0.0", std::nullopt },
        { "1..0", "1.0.0", std::nullopt },
        { "9999999999.0.0", "1.0.0", std::nullopt },
    };
    for (const VersionCase& c : versionCases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(compareVersions(c.a, c.b), c.order);
    }
}

TEST(ManifestTrust, DigestsOnlyRegularFiles)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kest"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write("hello") == 5);
    out.close();
    EXPECT_EQ(fileSha256(file.toStdString()), kHello);
    const std::string fifo = dir.filePath(QStringLiteral("fifo")).toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(fileSha256(fifo), std::nullopt); // and it returns: a FIFO is never read
    EXPECT_EQ(fileSha256(dir.path().toStdString()), std::nullopt);
    EXPECT_EQ(fileSha256(dir.filePath(QStringLiteral("missing")).toStdString()), std::nullopt);
}
