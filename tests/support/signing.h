#pragma once

// The operator's side of signed updates, with the real tools: minisign makes
// keys and signatures, scripts/kest-publish writes manifests. Tests sign what
// they serve exactly as the platform's operators do.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace kest::test {

class SigningKey final {
public:
    // A fresh key pair without a password, in a folder of its own.
    SigningKey();
    bool isValid() const { return !m_publicLine.isEmpty(); }
    // The base64 line of the public key: what KEST_UPDATE_PUBKEY holds.
    QByteArray publicLine() const { return m_publicLine; }
    QString secretKeyPath() const { return m_dir.filePath(QStringLiteral("kest.key")); }

    // minisign -S: the signature of `file` goes to `file` + ".minisig"
    // (legacy: the message itself is signed, not its hash).
    bool sign(const QString& file, bool legacy = false) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_publicLine;
};

// Runs scripts/kest-publish; with a key the manifest is signed. False when it
// failed (its output is then printed).
bool publishRelease(const QString& release, const QString& base, const QString& version,
    const QString& out, const SigningKey* key);

} // namespace kest::test
