// Layout plus a full repaint into an off-screen image, for 10, 50 and 100
// tabs, of the strip (capsule style) and of a QTabBar (Fusion) holding the
// same texts at the same size; then the cost of one hit test at 100 tabs.
//
//   QT_QPA_PLATFORM=offscreen build/bin/tabstrip_bench [--rounds N]
//
// Each figure is the median over rounds of the mean time per iteration.
#include "platform/pictures.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/ITabForm.h"
#include "tabstrip/uTab.h"
#include "tests/unit/tabstrip/tabtest.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QStyleFactory>
#include <QTabBar>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1200;
constexpr int kHeight = 32; // the capsule strip's height

QString caption(int i)
{
    return QStringLiteral("Gamehttp://127.0.0.1:18080/game/play?server=%1").arg(i);
}

// Median over rounds of nanoseconds per call of `step`, run `iterations`
// times per round after a warm-up round.
double measure(int rounds, int iterations, const std::function<void()>& step)
{
    for (int i = 0; i < iterations; ++i)
        step();
    std::vector<double> perCall;
    for (int r = 0; r < rounds; ++r) {
        const auto start = Clock::now();
        for (int i = 0; i < iterations; ++i)
            step();
        const std::chrono::duration<double, std::nano> spent = Clock::now() - start;
        perCall.push_back(spent.count() / iterations);
    }
    std::sort(perCall.begin(), perCall.end());
    return perCall[perCall.size() / 2];
}

struct Figures {
    double strip = 0;
    double tabBar = 0;
};

Figures layoutAndPaint(int tabs, int rounds)
{
    QWidget host;
    host.resize(kWidth, 100);

    auto* strip = new kest::uTab(&host);
    if (!QFile::exists(QStringLiteral(":/res/BITMAP/107")))
        strip->setSkinImages(kest::test::drawTestSkin(0), kest::test::drawTestSkin(1));
    strip->setTabStyle(1);
    strip->setTabLeftSize(10);
    strip->setGeometry(0, 0, kWidth, kHeight);
    auto* container = new QWidget(&host);
    container->setGeometry(0, 40, kWidth, 60);
    strip->setContainerWnd(container);
    strip->LockReDraw(false);

    auto* bar = new QTabBar(&host);
    bar->setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    bar->setUsesScrollButtons(false);
    bar->setExpanding(false);
    bar->setElideMode(Qt::ElideRight);
    bar->setGeometry(0, 0, kWidth, kHeight);

    for (int i = 0; i < tabs; ++i) {
        strip->TabItems()->Add(caption(i), new kest::test::TestPage, caption(i));
        bar->addTab(caption(i));
    }
    strip->setSelected(tabs / 2);
    bar->setCurrentIndex(tabs / 2);
    host.show();
    QCoreApplication::processEvents();

    QImage stripImage(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    QImage barImage(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    const int iterations = 200;
    Figures f;
    // The strip: layout and every surface redrawn (LockReDraw(false)), then
    // its paint, one copy of the composite, into the image.
    f.strip = measure(rounds, iterations, [&] {
        strip->LockReDraw(false);
        strip->render(&stripImage);
    });
    // The tab bar: setting a tab's text lays every tab out again; render
    // paints all of it.
    f.tabBar = measure(rounds, iterations, [&] {
        bar->setTabText(0, caption(0));
        bar->render(&barImage);
    });
    // Pictures of the last iteration, to compare by eye.
    stripImage.save(QStringLiteral("tabstrip_bench_utab_%1.png").arg(tabs));
    barImage.save(QStringLiteral("tabstrip_bench_qtabbar_%1.png").arg(tabs));
    strip->TabItems()->Clear();
    return f;
}

double hitTestCost(int rounds)
{
    QWidget host;
    auto* strip = new kest::uTab(&host);
    strip->setTabStyle(1);
    strip->setTabLeftSize(10);
    strip->setGeometry(0, 0, kWidth, kHeight);
    strip->LockReDraw(false);
    for (int i = 0; i < 100; ++i)
        strip->TabItems()->Add(caption(i), new kest::test::TestPage, caption(i));
    strip->resize(kWidth, kHeight);

    // Sweep the whole strip so every position in the list is searched.
    std::vector<double> xs;
    for (int x = 0; x < kWidth; x += 7)
        xs.push_back(x + 0.25);
    volatile int sink = 0;
    size_t next = 0;
    const double ns = measure(rounds, 200000, [&] {
        sink = sink + strip->HitTest(xs[next], 12.0).code;
        next = next + 1 == xs.size() ? 0 : next + 1;
    });
    strip->TabItems()->Clear();
    return ns;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int rounds = 15;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
    }
    std::printf("platform: %s, %d x %d, median of %d rounds\n",
        qPrintable(QGuiApplication::platformName()), kWidth, kHeight, rounds);
    double ratio100 = 0;
    for (int tabs : { 10, 50, 100 }) {
        const Figures f = layoutAndPaint(tabs, rounds);
        const double ratio = f.strip / f.tabBar;
        std::printf("tabs %3d: utab_us %.1f  qtabbar_us %.1f  ratio %.3f\n", tabs, f.strip / 1000.0,
            f.tabBar / 1000.0, ratio);
        if (tabs == 100)
            ratio100 = ratio;
    }
    std::printf("ratio_vs_qtabbar_100: %.3f\n", ratio100);
    std::printf("hittest_ns_per_call: %.1f\n", hitTestCost(rounds));
    return 0;
}
