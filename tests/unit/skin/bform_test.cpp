// The caption bar: where its pieces and caption land, the border it paints on
// its host, its mouse events and its persisted properties.
#include "skin/BForm.h"
#include "skin/skinerror.h"
#include "skin_fixtures.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace kest;
using namespace skintest;

namespace {

// A shown bar `width` pixels wide on the drawn skin, with no caption so every
// pixel comes from the skin or the background.
struct BareBar {
    std::unique_ptr<QWidget> host;
    BForm* bar;
    BForm* operator->() const { return bar; }
};

BareBar bareBar(int width)
{
    auto host = std::make_unique<QWidget>();
    auto* bar = new BForm(host.get());
    bar->setSkin(captionSkin());
    bar->setCaption(QString());
    bar->resize(width, 100);
    host->resize(width + 10, 50);
    host->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    return { std::move(host), bar };
}

struct ProgramGuard {
    ~ProgramGuard() { setSkinProgram(SkinProgram::Launcher); }
};

} // namespace

TEST(BForm, TilesAndEndPiecesLandWhereTheLayoutSays)
{
    const auto bar = bareBar(1033); // 15495 twips, the main window's bar
    const QImage s = bar->surface();
    ASSERT_EQ(s.size(), QSize(1033, 33)); // the height snaps to 500 twips
    EXPECT_EQ(s.pixel(0, 0), captionSkinPixel(0, 0)); // left end, 0..35
    EXPECT_EQ(s.pixel(35, 32), captionSkinPixel(35, 32));
    EXPECT_EQ(s.pixel(36, 7), captionSkinPixel(36, 7)); // first tile, 20..39, from skin 20..39
    EXPECT_EQ(s.pixel(45, 7), captionSkinPixel(25, 7)); // second tile, 40..59
    EXPECT_EQ(
        s.pixel(965, 7), captionSkinPixel(20 + 965 % 20, 7)); // last tile before the right end
    EXPECT_EQ(s.pixel(966, 7), captionSkinPixel(27, 7)); // right end, skin 27..93
    EXPECT_EQ(s.pixel(1032, 32), captionSkinPixel(93, 32));
}

TEST(BForm, NarrowBarRightEndWinsTheOverlap)
{
    const auto bar = bareBar(90); // 1350 twips < 1545: the right end starts at 23
    const QImage s = bar->surface();
    EXPECT_EQ(s.pixel(22, 3), captionSkinPixel(22, 3));
    EXPECT_EQ(s.pixel(23, 3), captionSkinPixel(27, 3));
    EXPECT_EQ(s.pixel(30, 3), captionSkinPixel(34, 3));
    EXPECT_EQ(s.pixel(89, 3), captionSkinPixel(93, 3));
}

TEST(BForm, CaptionOriginInBothPrograms)
{
    const ProgramGuard restore;
    // Where the caption's ink starts, compared with the bar without caption.
    auto inkOrigin = [](bool hasLogo, SkinProgram program) {
        setSkinProgram(program);
        const auto bar = bareBar(300);
        bar->setHasLogo(hasLogo);
        const QImage plain = bar->surface();
        bar->setCaption(QStringLiteral("HH"));
        const QImage printed = bar->surface();
        QRect ink;
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                if (plain.pixel(x, y) != printed.pixel(x, y))
                    ink |= QRect(x, y, 1, 1);
            }
        }
        return ink;
    };
    const struct {
        bool hasLogo;
        SkinProgram program;
        int left;
    } rows[] = { { false, SkinProgram::Launcher, 10 }, { false, SkinProgram::Updater, 10 },
        { true, SkinProgram::Launcher, 40 }, { true, SkinProgram::Updater, 48 } };
    for (const auto& row : rows) {
        const QRect ink = inkOrigin(row.hasLogo, row.program);
        ASSERT_FALSE(ink.isEmpty());
        // The text cell starts at the origin; the glyphs' ink a little inside it.
        EXPECT_GE(ink.left(), row.left);
        EXPECT_LE(ink.left(), row.left + 2);
        EXPECT_GE(ink.top(), 10);
        EXPECT_LE(ink.top(), 14);
    }
}

TEST(BForm, CaptionRightIsWhereThePrintedCaptionEnds)
{
    // Hosts lay their controls from captionRight() on: the caption's ink must
    // end before it, and not far before, whatever font stands in for its face.
    const auto bar = bareBar(600);
    bar->setHasLogo(true);
    EXPECT_EQ(bar->captionRight(), 40); // no caption: its origin
    const QImage plain = bar->surface();
    for (const QString& caption :
        { QStringLiteral("H"), QStringLiteral("ZantivoTervolk"), QStringLiteral("版本号:1.0.0") }) {
        bar->setCaption(caption);
        const QImage printed = bar->surface();
        int inkRight = -1;
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                if (plain.pixel(x, y) != printed.pixel(x, y))
                    inkRight = std::max(inkRight, x);
            }
        }
        ASSERT_GE(inkRight, 40) << qPrintable(caption);
        EXPECT_GT(bar->captionRight(), inkRight) << qPrintable(caption);
        EXPECT_LE(bar->captionRight(), inkRight + 4) << qPrintable(caption);
    }
}

TEST(BForm, BackColorTakesNumbersAndRefusesText)
{
    BForm bar;
    bar.setSkin(QImage()); // the background alone shows
    bar.resize(50, 33);
    EXPECT_EQ(bar.BackColor(), QStringLiteral("14606046")); // &HDEDEDE until set
    QSignalSpy changed(&bar, &BForm::propertyChanged);
    bar.setBackColor(QStringLiteral("255"));
    EXPECT_EQ(bar.BackColor(), QStringLiteral("255"));
    EXPECT_EQ(bar.surface().pixel(5, 5), qRgb(255, 0, 0));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toString(), QStringLiteral("BackColor"));

    const struct {
        const char* text;
        int error;
    } bad[] = { { "blue", SkinError::TypeMismatch }, { "", SkinError::TypeMismatch },
        { "99999999999", SkinError::Overflow }, { "16777216", SkinError::InvalidPropertyValue } };
    for (const auto& row : bad) {
        EXPECT_EQ(skinErrorOf([&] { bar.setBackColor(QString::fromLatin1(row.text)); }), row.error)
            << row.text;
        EXPECT_EQ(bar.BackColor(), QStringLiteral("255"));
        EXPECT_EQ(bar.surface().pixel(5, 5), qRgb(255, 0, 0));
    }
    EXPECT_EQ(changed.count(), 1);
}

TEST(BForm, EmptyCaptionKeepsTheSkinAndNominPaintsItsPatch)
{
    const auto bar = bareBar(200);
    const QImage before = bar->surface();
    bar->setCaption(QStringLiteral("x"));
    bar->setCaption(QString());
    EXPECT_EQ(bar->surface(), before);

    bar->Nomin(); // skin 14..40 at 200 - 55 = 145
    const QImage s = bar->surface();
    EXPECT_EQ(s.pixel(145, 4), captionSkinPixel(14, 4));
    EXPECT_EQ(s.pixel(171, 4), captionSkinPixel(40, 4));
    EXPECT_EQ(s.pixel(144, 4), before.pixel(144, 4));
    EXPECT_EQ(s.pixel(172, 4), before.pixel(172, 4));
}

TEST(BForm, PrintformOnA600TwipForm)
{
    auto host = shownHost(QSize(40, 40));
    host->setAutoFillBackground(true);
    host->setPalette(QPalette(QColor(Qt::white)));
    auto* bar = new BForm(host.get());
    bar->setSkin(captionSkin());
    ASSERT_TRUE(bar->Printform(host.get()));
    EXPECT_FALSE(bar->Printform(nullptr));

    const QImage p = bar->printedForm(host.get());
    ASSERT_EQ(p.size(), QSize(40, 40));
    EXPECT_EQ(p.pixel(20, 10), qRgb(255, 255, 255)); // the form's own background above the edges
    EXPECT_EQ(p.pixel(1, 25), captionSkinPixel(1, 58)); // left edge, from skin y 53 at y 20
    EXPECT_EQ(p.pixel(38, 25), captionSkinPixel(92, 58)); // right edge, the skin's last 4 columns
    EXPECT_EQ(p.pixel(20, 30), qRgb(255, 255, 255));
    // Both bottom corners, the right one painted last over the left one.
    EXPECT_EQ(p.pixel(3, 37), captionSkinPixel(3, 82));
    EXPECT_EQ(p.pixel(6, 37), captionSkinPixel(6, 82));
    EXPECT_EQ(p.pixel(7, 37), captionSkinPixel(61, 82));
    EXPECT_EQ(p.pixel(39, 39), captionSkinPixel(93, 84));

    // The host shows it, behind its children.
    bar->hide();
    const QImage shown = host->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(1, 25), captionSkinPixel(1, 58));
    EXPECT_EQ(shown.pixel(7, 37), captionSkinPixel(61, 82));

    // Every resize of the host paints it again.
    host->resize(80, 60);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return bar->printedForm(host.get()).size() == QSize(80, 60); }));
    const QImage resized = bar->printedForm(host.get());
    ASSERT_EQ(resized.size(), QSize(80, 60));
    EXPECT_EQ(resized.pixel(79, 59), captionSkinPixel(93, 84));
}

TEST(BForm, MouseEventsAndDragging)
{
    auto host = shownHost(QSize(200, 60));
    auto* bar = new BForm(host.get());
    bar->setGeometry(0, 0, 200, 33);
    bar->show();
    QSignalSpy down(bar, &BForm::MouseDown);
    QSignalSpy move(bar, &BForm::MouseMove);
    QSignalSpy dbl(bar, &BForm::DblClick);

    bar->setCursor(Qt::IBeamCursor);
    QTest::mousePress(bar, Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 4));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(10, 4));
    ASSERT_EQ(down.count(), 1); // frmHwnd null: nothing moves, MouseDown all the same
    EXPECT_EQ(down.at(0).at(0).value<qint16>(), 1); // left
    EXPECT_EQ(down.at(0).at(1).value<qint16>(), 1); // Shift
    EXPECT_EQ(down.at(0).at(2).toFloat(), 150.0f); // twips
    EXPECT_EQ(down.at(0).at(3).toFloat(), 60.0f);
    EXPECT_EQ(bar->cursor().shape(), Qt::ArrowCursor);
    const QPoint hostAt = host->pos();

    // With a window to drag, the move is asked of the window manager (none
    // here, so nothing moves) and MouseDown still follows, for any button.
    bar->setFrmHwnd(host.get());
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(20, 5));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(20, 5));
    QTest::mouseClick(bar, Qt::RightButton, {}, QPoint(20, 5));
    ASSERT_EQ(down.count(), 3);
    EXPECT_EQ(host->pos(), hostAt);
    EXPECT_EQ(down.at(2).at(0).value<qint16>(), 2);

    QTest::mouseDClick(bar, Qt::LeftButton, {}, QPoint(20, 5));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(20, 5));
    EXPECT_EQ(dbl.count(), 1);
    EXPECT_EQ(down.count(), 3); // the second press of a double click is DblClick alone

    bar->setCursor(Qt::IBeamCursor);
    pointerTo(bar, QPoint(30, 6));
    ASSERT_GE(move.count(), 1);
    EXPECT_EQ(move.last().at(2).toFloat(), 450.0f);
    EXPECT_EQ(bar->cursor().shape(), Qt::ArrowCursor);
    pointerAway();
}

TEST(BForm, PropertyBagDefaultsOrdersAndBadValues)
{
    BForm bar;
    bar.resize(305, 33);
    PropertyBag bag;
    bar.InitProperties();
    bar.ReadProperties(bag); // an empty bag: every default
    EXPECT_EQ(bag.readOrder(),
        (QStringList { QStringLiteral("backcolor"), QStringLiteral("caption"),
            QStringLiteral("frmhwnd"), QStringLiteral("haslogo") }));
    EXPECT_EQ(bar.BackColor(), QStringLiteral("14346732"));
    EXPECT_EQ(bar.Caption(), QStringLiteral("NewForm"));

    bar.WriteProperties(bag);
    EXPECT_EQ(bag.writeOrder(),
        (QStringList { QStringLiteral("_extentx"), QStringLiteral("_extenty"),
            QStringLiteral("backcolor"), QStringLiteral("caption"), QStringLiteral("frmhwnd"),
            QStringLiteral("haslogo") }));
    // Defaults are not stored, except HasLogo, which has none when written.
    EXPECT_EQ(bag.keys(),
        (QStringList {
            QStringLiteral("_extentx"), QStringLiteral("_extenty"), QStringLiteral("haslogo") }));
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("HASLOGO")).toInt(), 0);

    bar.setCaption(QStringLiteral("更新"));
    bar.setBackColor(QStringLiteral("14606046"));
    bar.setHasLogo(true);
    bar.WriteProperties(bag);
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("HasLogo")).toInt(), -1);
    EXPECT_EQ(bag.extent(), QSize(305, 33));

    // Saved as text and read back: every value is text now, and the keys are
    // matched whatever their case.
    PropertyBag edited = PropertyBag::fromText(bag.toText().toUpper());
    BForm copy;
    copy.ReadProperties(edited);
    EXPECT_EQ(copy.Caption(), QStringLiteral("更新"));
    EXPECT_EQ(copy.BackColor(), QStringLiteral("14606046"));
    EXPECT_TRUE(copy.HasLogo());
    EXPECT_EQ(copy.size(), QSize(305, 33));

    edited.WriteProperty(QStringLiteral("BackColor"), QStringLiteral("grey"));
    edited.WriteProperty(QStringLiteral("Caption"), QStringLiteral("changed"));
    BForm untouched;
    EXPECT_EQ(skinErrorOf([&] { untouched.ReadProperties(edited); }), SkinError::TypeMismatch);
    EXPECT_EQ(untouched.Caption(), QStringLiteral("NewForm"));
}

TEST(BForm, FrmHwndSurvivesABagOnlyWhileItsWindowLives)
{
    PropertyBag bag;
    {
        auto window = std::make_unique<QWidget>();
        BForm bar;
        bar.setFrmHwnd(window.get());
        bar.WriteProperties(bag);
        BForm copy;
        copy.ReadProperties(bag);
        EXPECT_EQ(copy.frmHwnd(), window.get());
    }
    BForm late;
    late.ReadProperties(bag);
    EXPECT_EQ(late.frmHwnd(), nullptr);
}
