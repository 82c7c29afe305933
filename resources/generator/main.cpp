// kest_resgen: draws every picture of kest and Update and writes them in the layout
// the build embeds (resources/<set>/<TYPE>/<id>.<ext>, resource path ":/res/<TYPE>/<id>").
//
//   kest_resgen --kest <dir> --update <dir> [--icons <dir>] [--previews <dir>]
//
// --icons writes the program's icon for the desktop's icon theme, <dir>/<size>.png
// for each size of themeIconSizes (the package installs them into hicolor).
//
// Run it through scripts/gen-resources, which sets QT_QPA_PLATFORM=offscreen.
#include "artwork.h"
#include "encoders.h"
#include "previews.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>

#include <cstdio>
#include <stdexcept>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

QByteArray encodePng(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(0); // for PNG, quality 0 is zlib's strongest compression
    if (!writer.write(image.convertToFormat(QImage::Format_ARGB32)))
        throw std::runtime_error("cannot encode a PNG");
    return bytes;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws the pictures of kest and Update."));
    parser.addHelpOption();
    const QCommandLineOption kestDir(
        QStringLiteral("kest"), QStringLiteral("kest's set"), QStringLiteral("dir"));
    const QCommandLineOption updateDir(
        QStringLiteral("update"), QStringLiteral("Update's set"), QStringLiteral("dir"));
    const QCommandLineOption previewDir(QStringLiteral("previews"),
        QStringLiteral("also write enlarged previews here"), QStringLiteral("dir"));
    const QCommandLineOption iconDir(QStringLiteral("icons"),
        QStringLiteral("also write the icon theme's PNG files here"), QStringLiteral("dir"));
    parser.addOptions({ kestDir, updateDir, iconDir, previewDir });
    parser.process(app);
    if (!parser.isSet(kestDir) || !parser.isSet(updateDir)) {
        std::fputs("kest_resgen: --kest and --update are required\n", stderr);
        return 2;
    }

    try {
        using namespace resgen;
        const QString kest = parser.value(kestDir) + QLatin1Char('/');
        const QString update = parser.value(updateDir) + QLatin1Char('/');

        const QByteArray caption = encodeBmp24(captionSkin());
        const QByteArray caption2x = encodeBmp24(captionSkin(2));
        writeFile(kest + QStringLiteral("ICON/101.ico"), encodeIco(appIcon()));
        writeFile(kest + QStringLiteral("PNG/101.png"), encodePng(loginBackground()));
        writeFile(kest + QStringLiteral("PNG/102.png"), encodePng(splash()));
        writeFile(kest + QStringLiteral("PNG/101@2x.png"), encodePng(loginBackground(2)));
        writeFile(kest + QStringLiteral("PNG/102@2x.png"), encodePng(splash(2)));
        writeFile(kest + QStringLiteral("BITMAP/101.bmp"), encodeBmp24(webMin()));
        writeFile(kest + QStringLiteral("BITMAP/102.bmp"), encodeBmp24(webMinMax()));
        writeFile(kest + QStringLiteral("BITMAP/103.bmp"), encodeBmp24(webClose()));
        writeFile(kest + QStringLiteral("BITMAP/104.bmp"), encodeBmp24(webTool()));
        writeFile(kest + QStringLiteral("BITMAP/105.bmp"), encodeBmp32(logo()));
        writeFile(kest + QStringLiteral("BITMAP/106.bmp"), encodeBmp24(tabSkin0()));
        writeFile(kest + QStringLiteral("BITMAP/107.bmp"), encodeBmp24(tabSkin1()));
        writeFile(kest + QStringLiteral("BITMAP/108.bmp"), caption);
        writeFile(kest + QStringLiteral("BITMAP/109.bmp"), encodeBmp24(answerStrip()));
        writeFile(kest + QStringLiteral("BITMAP/101@2x.bmp"), encodeBmp24(webMin(2)));
        writeFile(kest + QStringLiteral("BITMAP/102@2x.bmp"), encodeBmp24(webMinMax(2)));
        writeFile(kest + QStringLiteral("BITMAP/103@2x.bmp"), encodeBmp24(webClose(2)));
        writeFile(kest + QStringLiteral("BITMAP/104@2x.bmp"), encodeBmp24(webTool(2)));
        writeFile(kest + QStringLiteral("BITMAP/105@2x.bmp"), encodeBmp32(logo(2)));
        writeFile(kest + QStringLiteral("BITMAP/106@2x.bmp"), encodeBmp24(tabSkin0(2)));
        writeFile(kest + QStringLiteral("BITMAP/107@2x.bmp"), encodeBmp24(tabSkin1(2)));
        writeFile(kest + QStringLiteral("BITMAP/108@2x.bmp"), caption2x);
        writeFile(kest + QStringLiteral("BITMAP/109@2x.bmp"), encodeBmp24(answerStrip(2)));

        writeFile(update + QStringLiteral("BITMAP/101.bmp"), encodeBmp24(progressSkin()));
        writeFile(update + QStringLiteral("BITMAP/103.bmp"), encodeBmp24(updateClose()));
        writeFile(update + QStringLiteral("BITMAP/108.bmp"), caption);
        writeFile(update + QStringLiteral("BITMAP/101@2x.bmp"), encodeBmp24(progressSkin(2)));
        writeFile(update + QStringLiteral("BITMAP/103@2x.bmp"), encodeBmp24(updateClose(2)));
        writeFile(update + QStringLiteral("BITMAP/108@2x.bmp"), caption2x);

        if (parser.isSet(iconDir)) {
            const QString icons = parser.value(iconDir) + QLatin1Char('/');
            for (const int size : themeIconSizes)
                writeFile(icons + QString::number(size) + QStringLiteral(".png"),
                    encodePng(iconImage(size)));
        }
        if (parser.isSet(previewDir))
            writePreviews(parser.value(previewDir));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kest_resgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
