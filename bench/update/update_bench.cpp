// update_bench: what installing an update costs against fetching the same files with the curl
// program. The demo platform (kest-demo, beside this program) serves three files of 64 MiB
// on loopback; in the same run, alternating, a few repetitions of:
//   updater  the update procedure in a process of its own (this program with --child): the
//            manifest the launcher left, every file downloaded into the staging folder, the
//            commit (an fsync, a link and a rename per file); timed by the updater's own clock
//            from the start of the procedure to its end, which the last rename and the
//            removal of the staging folder come just before. No window, so no modal wait.
//   curl     one curl command line fetching the same three files (one connection), timed
//            from its start to its end, plus the same again followed by an fsync of each
//            file (`sync FILES`), the durability the updater pays for before its renames.
// Medians are printed, then `ratio_vs_curl` (updater / curl), `ratio_vs_curl_synced`, and
// the updater process's peak resident set (`peak_rss_kib`). The manifest lists every file's
// SHA-256 and size, as a published one does, so the updater checks each download.
//
// With --changed N, the same update once more with every file but N already installed as
// the new version (N of them changed, the launcher not among them): the updater fetches
// those N only. Its time and bytes fetched are printed against the full update's.
//
// --no-digests: a manifest without them (as before signed updates), to price the checks.
//
// Usage: update_bench [--size-mib N] [--files N] [--reps N] [--changed N] [--no-digests]
//                     [--dir FOLDER]
//   --dir: where the files are written (default: a temporary folder under TMPDIR); a tmpfs
//   such as /dev/shm takes the disk out of the comparison.
#include "updater/CKvDownLoadFile.h"
#include "updater/UpdateProcedure.h"
#include "updater/core/manifest.h"
#include "updater/core/signature.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

bool writeFile(const QString& path, qint64 size, int seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 state = 2463534242u + static_cast<quint32>(seed);
    for (qint64 done = 0; done < size; done += block.size()) {
        for (char& byte : block) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            byte = static_cast<char>(state);
        }
        const qint64 piece = std::min<qint64>(block.size(), size - done);
        if (file.write(block.constData(), piece) != piece)
            return false;
    }
    return true;
}

// --child INSTALL MANIFEST: one run of the update procedure; prints its figures.
int runChild(const QString& folder, const QString& manifest)
{
    QLoggingCategory::setFilterRules(QStringLiteral("kest.net.debug=false"));
    const QString line = folder + QStringLiteral("|") + folder + QStringLiteral("/kest");
    const auto commandLine = kest::update::parseUpdaterCommandLine(line.toStdString());
    if (!commandLine)
        return 2;
    kest::CKvDownLoadFile downloader;
    kest::UpdateProcedure procedure(*commandLine, manifest, downloader);
    qint64 lastComplete = 0;
    qint64 fetched = 0;
    QObject::connect(&downloader, &kest::CKvDownLoadFile::QueryFileInfo, &downloader,
        [&](qint64 bytes) { fetched += bytes; });
    QElapsedTimer clock;
    QObject::connect(&downloader, &kest::CKvDownLoadFile::Complete, &downloader,
        [&] { lastComplete = clock.nsecsElapsed(); });
    clock.start();
    const auto outcome = procedure.run();
    const qint64 total = clock.nsecsElapsed();
    if (outcome != kest::UpdateProcedure::Outcome::Updated) {
        std::fprintf(stderr, "update failed: %s\n", qPrintable(procedure.error()));
        return 1;
    }
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("updater_ms: %.1f\ncommit_ms: %.1f\npeak_rss_kib: %ld\nfetched_bytes: %lld\n",
        total / 1e6, (total - lastComplete) / 1e6, usage.ru_maxrss, fetched);
    return 0;
}

double figure(const QString& output, const QString& name)
{
    const QRegularExpression line(QLatin1Char('^') + name + QStringLiteral(": ([0-9.]+)$"),
        QRegularExpression::MultilineOption);
    return line.match(output).captured(1).toDouble();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--child"))
        return runChild(arguments[2], arguments[3]);

    qint64 sizeMib = 64;
    int files = 3;
    int reps = 3;
    int changed = 0;
    bool digests = true;
    QString base;
    if (arguments.removeAll(QStringLiteral("--no-digests")) > 0)
        digests = false;
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--size-mib"))
            sizeMib = arguments[i + 1].toLongLong();
        else if (arguments[i] == QLatin1String("--files"))
            files = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--reps"))
            reps = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--dir"))
            base = arguments[i + 1];
        else if (arguments[i] == QLatin1String("--changed"))
            changed = arguments[i + 1].toInt();
    }
    QTemporaryDir scratch(base.isEmpty() ? QDir::tempPath() + QStringLiteral("/update_bench-XXXXXX")
                                         : base + QStringLiteral("/update_bench-XXXXXX"));
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    const QString sync = QStandardPaths::findExecutable(QStringLiteral("sync"));
    const QString demoProgram = app.applicationDirPath() + QStringLiteral("/kest-demo");
    if (!scratch.isValid() || curl.isEmpty() || sync.isEmpty() || !QFile::exists(demoProgram)) {
        std::fprintf(stderr, "update_bench: needs a scratch folder, curl, sync and %s\n",
            qPrintable(demoProgram));
        return 2;
    }
    for (const char* folder : { "served", "install", "curl" })
        QDir().mkpath(scratch.filePath(QLatin1String(folder)));

    // The launcher is listed last, as on the platform.
    QStringList names;
    for (int i = 1; i < files; ++i)
        names << QStringLiteral("part%1.pak").arg(i);
    names << QStringLiteral("kest");
    QStringList demoArguments { QStringLiteral("--port"), QStringLiteral("0"),
        QStringLiteral("--version"), QStringLiteral("9.9.9"), QStringLiteral("--log"),
        scratch.filePath(QStringLiteral("requests.log")) };
    for (int i = 0; i < names.size(); ++i) {
        const QString path = scratch.filePath(QStringLiteral("served/") + names[i]);
        if (!writeFile(path, sizeMib << 20, i)) {
            std::fprintf(stderr, "update_bench: cannot write %s\n", qPrintable(path));
            return 2;
        }
        demoArguments << QStringLiteral("--file") << names[i] + QLatin1Char('=') + path;
    }
    QProcess demo;
    demo.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    demo.start(demoProgram, demoArguments);
    QString said;
    const QRegularExpression ready(QStringLiteral("listening on (127\\.0\\.0\\.1:\\d+)"));
    QString host;
    while (host.isEmpty() && demo.waitForReadyRead(15000)) {
        said += QString::fromUtf8(demo.readAllStandardOutput());
        host = ready.match(said).captured(1);
    }
    if (host.isEmpty()) {
        std::fprintf(stderr, "update_bench: kest-demo did not start\n");
        return 2;
    }
    // As kest-publish writes it: every file with its SHA-256 and size, the launcher last.
    const QString manifest = scratch.filePath(QStringLiteral("update.txt"));
    {
        QByteArray lines = "version=9.9.9\r\n";
        for (const QString& name : names) {
            const QString path = scratch.filePath(QStringLiteral("served/") + name);
            const auto digest = kest::update::fileSha256(QFile::encodeName(path).toStdString());
            if (!digest)
                return 2;
            lines += name.toUtf8() + "|http://" + host.toUtf8() + "/gamehome/kest/files/"
                + name.toUtf8();
            if (digests) {
                lines += '|' + QByteArray::fromStdString(*digest) + '|'
                    + QByteArray::number(QFileInfo(path).size());
            }
            lines += "\r\n";
        }
        QFile file(manifest);
        if (!file.open(QIODevice::WriteOnly) || file.write(lines) != lines.size())
            return 2;
    }

    const QString install = scratch.filePath(QStringLiteral("install"));
    QStringList curlArguments { QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-H"),
        QStringLiteral("Cache-Control: no-cache") };
    QStringList curlFiles;
    for (const QString& name : names) {
        curlFiles << scratch.filePath(QStringLiteral("curl/") + name);
        curlArguments << QStringLiteral("-o") << curlFiles.last()
                      << QStringLiteral("http://%1/gamehome/kest/files/%2").arg(host, name);
    }

    std::printf("update_bench: %d files of %lld MiB from %s into %s, %d repetitions\n",
        int(names.size()), sizeMib, qPrintable(host), qPrintable(scratch.path()), reps);
    std::vector<double> updater, commit, curlPlain, curlSynced, partial;
    double fullBytes = 0;
    double partialBytes = 0;
    long peakRss = 0;
    // One updater run; its output, empty when it failed. All: the old version is installed.
    // Else only the `changedCount` files before the launcher are old, the rest is new.
    const auto runUpdater = [&](bool all, int changedCount) {
        for (int i = 0; i < names.size(); ++i) {
            const QString target = install + QLatin1Char('/') + names[i];
            QFile::remove(target);
            const bool old = all || (i < names.size() - 1 && i >= names.size() - 1 - changedCount);
            if (!old)
                QFile::copy(scratch.filePath(QStringLiteral("served/") + names[i]), target);
            else
                writeFile(target, 4096, 99); // the old version: a small file it replaces
        }
        QFile::setPermissions(install + QStringLiteral("/kest"),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(app.applicationFilePath(), { QStringLiteral("--child"), install, manifest });
        if (!child.waitForFinished(600000) || child.exitCode() != 0)
            return QString();
        return QString::fromUtf8(child.readAllStandardOutput());
    };
    for (int rep = 0; rep < reps; ++rep) {
        const QString out = runUpdater(true, 0);
        if (out.isEmpty()) {
            std::fprintf(stderr, "update_bench: the update failed\n");
            return 1;
        }
        updater.push_back(figure(out, QStringLiteral("updater_ms")));
        commit.push_back(figure(out, QStringLiteral("commit_ms")));
        fullBytes = figure(out, QStringLiteral("fetched_bytes"));
        peakRss = std::max(peakRss, long(figure(out, QStringLiteral("peak_rss_kib"))));
        if (changed > 0) {
            const QString part = runUpdater(false, changed);
            if (part.isEmpty()) {
                std::fprintf(stderr, "update_bench: the partial update failed\n");
                return 1;
            }
            partial.push_back(figure(part, QStringLiteral("updater_ms")));
            partialBytes = figure(part, QStringLiteral("fetched_bytes"));
        }

        for (const bool synced : { false, true }) {
            for (const QString& file : curlFiles)
                QFile::remove(file);
            QElapsedTimer clock;
            clock.start();
            QProcess fetch;
            fetch.start(curl, curlArguments);
            if (!fetch.waitForFinished(600000) || fetch.exitCode() != 0) {
                std::fprintf(stderr, "update_bench: curl failed\n");
                return 1;
            }
            if (synced) {
                QProcess flush;
                flush.start(sync, curlFiles);
                flush.waitForFinished(600000);
            }
            (synced ? curlSynced : curlPlain).push_back(clock.nsecsElapsed() / 1e6);
        }
        std::printf("rep %d: updater %.1f ms (commit %.1f ms), curl %.1f ms, curl+sync %.1f ms\n",
            rep + 1, updater.back(), commit.back(), curlPlain.back(), curlSynced.back());
    }
    demo.terminate();
    demo.waitForFinished(5000);

    const double megabytes = double(names.size() * (sizeMib << 20)) / 1e6;
    std::printf("updater_ms_median: %.1f (%.0f MB/s)\n", median(updater),
        megabytes / (median(updater) / 1e3));
    std::printf("commit_ms_median: %.1f\n", median(commit));
    std::printf("curl_ms_median: %.1f (%.0f MB/s)\n", median(curlPlain),
        megabytes / (median(curlPlain) / 1e3));
    std::printf("curl_synced_ms_median: %.1f\n", median(curlSynced));
    std::printf("ratio_vs_curl: %.3f\n", median(updater) / median(curlPlain));
    std::printf("ratio_vs_curl_synced: %.3f\n", median(updater) / median(curlSynced));
    std::printf("peak_rss_kib: %ld\n", peakRss);
    std::printf("full_fetched_bytes: %.0f\n", fullBytes);
    if (changed > 0) {
        std::printf("partial_ms_median: %.1f (%d of %d files changed)\n", median(partial), changed,
            int(names.size()));
        std::printf("partial_fetched_bytes: %.0f\n", partialBytes);
        std::printf("partial_vs_full_time: %.3f\n", median(partial) / median(updater));
        std::printf("partial_vs_full_bytes: %.3f\n", partialBytes / fullBytes);
    }
    return 0;
}
