// The colour key's work after each repaint of the login page: grab the
// rendering (not measured here: it needs the engine), turn it into the shown
// region, and compare it with the window's current mask. Measured on a page
// drawn like the demo login page: key background, a card, text, buttons.
#include "launcher/login/LoginFrm.h"

#include <QApplication>
#include <QFont>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

QImage loginLikePage(QSize size)
{
    QImage page(size, QImage::Format_ARGB32_Premultiplied);
    page.fill(QColor::fromRgb(kest::LoginFrm::kColourKey));
    QPainter painter(&page);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(270, 40, 340, 384), QColor(0xfa, 0xfc, 0xff));
    painter.fillRect(QRect(270, 40, 340, 70), QColor(0x1f, 0x6f, 0xe5));
    painter.fillRect(QRect(297, 200, 270, 40), QColor(0x1f, 0x6f, 0xe5));
    painter.fillRect(QRect(804, 10, 67, 28), QColor(0x15, 0x53, 0xb6));
    painter.fillRect(QRect(5, 425, 210, 30), QColor(0xfa, 0xfc, 0xff));
    painter.setFont(QFont(QStringLiteral("Sans"), 10));
    painter.setPen(QColor(0x1f, 0x2d, 0x3d));
    for (int line = 0; line < 8; ++line)
        painter.drawText(
            QPoint(300, 130 + line * 30), QStringLiteral("ZantivoTervolk 游戏平台 账号登录"));
    return page;
}

void BM_ColourKeyRegion(benchmark::State& state)
{
    const QImage page = loginLikePage(QSize(881, 466));
    for (auto _ : state) {
        QRegion shown = kest::LoginFrm::colourKeyRegion(page, QPoint(0, 0));
        benchmark::DoNotOptimize(shown);
    }
    state.counters["rects"] = kest::LoginFrm::colourKeyRegion(page, QPoint(0, 0)).rectCount();
}
BENCHMARK(BM_ColourKeyRegion)->Unit(benchmark::kMicrosecond);

void BM_MaskUnchangedCompare(benchmark::State& state)
{
    const QImage page = loginLikePage(QSize(881, 466));
    const QRegion a = kest::LoginFrm::colourKeyRegion(page, QPoint(0, 0));
    const QRegion b = kest::LoginFrm::colourKeyRegion(page, QPoint(0, 0));
    for (auto _ : state)
        benchmark::DoNotOptimize(a == b);
}
BENCHMARK(BM_MaskUnchangedCompare)->Unit(benchmark::kMicrosecond);

// The alternative on a compositing desktop: no shape, but a window of real
// per-pixel alpha whose picture is the rendering with the key colour made
// transparent. The page paints the key colour itself, so every frame would
// need this conversion, and the pointer would still need an input shape.
void BM_KeyToAlpha(benchmark::State& state)
{
    const QImage page = loginLikePage(QSize(881, 466));
    for (auto _ : state) {
        QImage alpha = page.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < alpha.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(alpha.scanLine(y));
            for (int x = 0; x < alpha.width(); ++x) {
                if (line[x] == kest::LoginFrm::kColourKey)
                    line[x] = 0;
            }
        }
        benchmark::DoNotOptimize(alpha);
    }
}
BENCHMARK(BM_KeyToAlpha)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv); // fonts need the GUI application
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
