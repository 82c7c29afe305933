// Screenshots of the controls with the programs' own pictures, in every
// state, saved under the test artefacts (skin/) for people to look at. They
// also check that the pictures load and have the sizes the controls expect.
#include "platform/pictures.h"
#include "skin/BForm.h"
#include "skin/KvProgressBar.h"
#include "skin/iButton.h"
#include "skin_fixtures.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

using namespace kest;
using namespace skintest;

namespace {

QImage updaterPicture(int id)
{
    return QImage(
        kest::test::sourceDir() + QStringLiteral("/resources/update/BITMAP/%1.bmp").arg(id));
}

QImage bitmap(int id)
{
    return LoadResImage(id, QStringLiteral("BITMAP"));
}

void saveScaled(QWidget* widget, const QString& name, int factor)
{
    const QImage image = widget->grab().toImage();
    const QString path = kest::test::artifactDir(QStringLiteral("skin")) + QLatin1Char('/') + name
        + QStringLiteral(".png");
    EXPECT_TRUE(image.scaled(image.size() * factor).save(path)) << path.toStdString();
}

void showAndWait(QWidget* w)
{
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
}

} // namespace

TEST(Screenshots, ButtonsInEveryState)
{
    struct Row {
        QImage picture;
        int style;
        bool value;
        const char* caption;
    };
    const std::vector<Row> rows = {
        { bitmap(101), 0, false, "" },
        { bitmap(102), 1, false, "" },
        { bitmap(102), 1, true, "" },
        { bitmap(103), 0, false, "" },
        { bitmap(104), 0, false, "" },
        { bitmap(109), 0, false, "是" },
        { updaterPicture(103), 0, false, "" },
        { QImage(), 0, false, "游戏大厅" },
    };
    for (const Row& row : rows)
        ASSERT_TRUE(row.caption[0] || !row.picture.isNull());
    EXPECT_EQ(bitmap(101).size(), QSize(72, 18));
    EXPECT_EQ(bitmap(102).size(), QSize(150, 18));

    QWidget sheet;
    sheet.setAutoFillBackground(true);
    sheet.setPalette(QPalette(QColor(255, 255, 255)));
    sheet.resize(5 * 90 + 10, static_cast<int>(rows.size()) * 30 + 10);
    std::vector<std::vector<iButton*>> buttons;
    for (size_t r = 0; r < rows.size(); ++r) {
        buttons.emplace_back();
        for (int state = 0; state < 5; ++state) {
            auto* b = new iButton(&sheet);
            b->move(10 + state * 90, 10 + static_cast<int>(r) * 30);
            b->setStyle(rows[r].style);
            b->setValue(rows[r].value);
            if (rows[r].picture.isNull()) {
                b->setAutoSize(false);
                b->resize(81, 22);
                b->setCaption(QString::fromUtf8(rows[r].caption));
            } else {
                b->setBackPicture(rows[r].picture);
                b->setCaption(QString::fromUtf8(rows[r].caption));
            }
            buttons.back().push_back(b);
        }
    }
    showAndWait(&sheet);
    QTest::qWait(120); // past the buttons' first pointer poll
    sheet.setFocus(); // the first button took the focus when the window opened
    for (auto& row : buttons) {
        // normal, over, pressed, disabled, focused
        row[1]->cMouseAction(1, true);
        row[2]->cMouseAction(2, true);
        row[3]->setEnabled(false);
        row[3]->cMouseAction(row[3]->CurrentState(), true);
        QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
        QCoreApplication::sendEvent(row[4], &focus);
    }
    saveScaled(&sheet, QStringLiteral("ibutton-states"), 3);
}

TEST(Screenshots, CaptionBarsAndTheirWindows)
{
    ASSERT_EQ(bitmap(108).size(), QSize(94, 85));
    QWidget sheet;
    sheet.setAutoFillBackground(true);
    sheet.setPalette(QPalette(QColor(255, 255, 255)));
    sheet.resize(620, 105);
    auto* launcher = new BForm(&sheet);
    launcher->setGeometry(10, 10, 600, 33);
    launcher->setBackColor(QStringLiteral("14606046"));
    launcher->setHasLogo(true);
    launcher->setCaption(QStringLiteral("ZantivoTervolk"));
    auto* logo = new QLabel(&sheet);
    logo->setPixmap(QPixmap::fromImage(bitmap(105)));
    logo->setGeometry(10 + 7, 10 + 2, 29, 29);

    setSkinProgram(SkinProgram::Updater);
    auto* updaterLogo = new BForm(&sheet);
    updaterLogo->setGeometry(10, 60, 305, 33);
    updaterLogo->setHasLogo(true);
    updaterLogo->setCaption(QStringLiteral("更新 (logo place)"));
    setSkinProgram(SkinProgram::Launcher);

    showAndWait(&sheet);
    saveScaled(&sheet, QStringLiteral("bform-bars"), 2);

    // The updater window: caption bar, close button, label, progress bar and
    // the border painted on the window by Printform.
    QWidget updater;
    updater.setAutoFillBackground(true);
    updater.setPalette(QPalette(QColor(255, 255, 255)));
    updater.resize(305, 144);
    auto* bar = new BForm(&updater);
    bar->setGeometry(0, 0, 305, 33);
    bar->setCaption(QStringLiteral("更新"));
    auto* close = new iButton(&updater);
    close->setBackPicture(updaterPicture(103));
    close->move(305 - 730 / 15, 1);
    auto* label = new QLabel(QStringLiteral("正在下载：kest"), &updater);
    label->move(16, 72);
    auto* progress = new KvProgressBar(&updater);
    progress->setSkin(updaterPicture(101));
    progress->setGeometry(16, 104, 273, 10);
    progress->setMax(1000);
    progress->setValue(420);
    bar->Printform(&updater);
    showAndWait(&updater);
    saveScaled(&updater, QStringLiteral("window-updater"), 2);
}

TEST(Screenshots, ProgressBarPositions)
{
    const QImage skin = updaterPicture(101);
    ASSERT_EQ(skin.size(), QSize(10, 10));
    QWidget sheet;
    sheet.setAutoFillBackground(true);
    sheet.setPalette(QPalette(QColor(255, 255, 255)));
    sheet.resize(293, 90);
    const int values[] = { 0, 25, 50, 75, 100 };
    for (int i = 0; i < 5; ++i) {
        auto* bar = new KvProgressBar(&sheet);
        bar->setSkin(skin);
        bar->setGeometry(10, 10 + 16 * i, 273, 10);
        bar->setValue(values[i]);
    }
    showAndWait(&sheet);
    saveScaled(&sheet, QStringLiteral("progress-positions"), 3);
}
