// Buttons, tabs, check boxes, radio buttons, bars and gauges: states, events and drawing.

#include <QDir>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

#include "GuiTestUtil.h"
#include "ui/UImageButton.h"
#include "ui/UKivBars.h"
#include "ui/UKivButtons.h"
#include "ui/UKivLabels.h"

using namespace vantori;

class TestControls : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    InitUiKit();
    FSkin = testutil::Skin();
    QVERIFY2(!FSkin.IsEmpty(), "vtri.rcc must be built");
  }

  void spriteSlicing_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("last");
    QTest::newRow("200 wide") << 200 << 50 << 50;
    QTest::newRow("202 wide") << 202 << 50 << 50;
    QTest::newRow("207 wide") << 207 << 51 << 51;
  }
  void spriteSlicing() {
    QFETCH(int, width);
    QFETCH(int, frame);
    QFETCH(int, last);
    QImage sprite(width, 30, QImage::Format_RGB32);
    sprite.fill(Qt::white);
    auto frames = SliceSprite(sprite);
    QCOMPARE(frames[0].size(), QSize(frame, 30));
    QCOMPARE(frames[3].width(), last);
    TImageButtonNew button;
    QTemporaryFile file(QDir::tempPath() + "/spriteXXXXXX.png");
    QVERIFY(file.open());
    QVERIFY(sprite.save(file.fileName(), "PNG"));
    button.SetSprImgFileName(file.fileName());
    QCOMPARE(button.size(), QSize(frame, 30));
  }

  void imageButtonStates() {
    QWidget host;
    auto* b = new TImageButtonNew(&host);
    b->SetHResource(FSkin);
    b->SetResName("BUTTONSPR");
    b->SetCaption("OK");
    QCOMPARE(b->size(), QSize(75, 24));
    int clicks = 0, enters = 0, leaves = 0;
    b->OnClick = [&](QObject* s) { clicks += s == b; };
    b->OnMouseEnter = [&](QObject*) { ++enters; };
    b->OnMouseLeave = [&](QObject*) { ++leaves; };
    QCOMPARE(b->State(), TImageButtonNew::Up);
    testutil::Enter(b);
    QCOMPARE(b->State(), TImageButtonNew::Over);
    QCOMPARE(enters, 1);
    QTest::mousePress(b, Qt::LeftButton);
    QCOMPARE(b->State(), TImageButtonNew::Down);
    QTest::mouseRelease(b, Qt::LeftButton);
    QCOMPARE(clicks, 1);
    // after the click: the over face, but the neutral state (no over offset) until re-entered
    QCOMPARE(b->State(), TImageButtonNew::Neutral);
    testutil::Leave(b);
    QCOMPARE(b->State(), TImageButtonNew::Up);
    QCOMPARE(leaves, 1);
    // a release outside is no click
    QTest::mousePress(b, Qt::LeftButton);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(200, 200));
    QCOMPARE(clicks, 1);
  }

  void imageButtonDisabledIcon() {
    TImageButtonNew b;
    b.SetHResource(FSkin);
    b.SetResName("BUTTONSPR");
    b.SetIconResName("CHECK");
    QVERIFY(!b.Icon().isNull());
    for (int y = 0; y < b.Icon().height(); ++y)
      for (int x = 0; x < b.Icon().width(); ++x) {
        const QRgb c = b.Icon().pixel(x, y), g = b.GreyIcon().pixel(x, y);
        QCOMPARE(qAlpha(g), qAlpha(c));  // the same transparent background
        const int v = (3 * qRed(c) + 4 * qGreen(c) + qBlue(c)) / 8;
        if (qAlpha(c)) QCOMPARE(g & 0xFFFFFF, qRgb(v, v, v) & 0xFFFFFF);
      }
    int clicks = 0;
    b.OnClick = [&](QObject*) { ++clicks; };
    b.SetEnabled(false);
    QCOMPARE(b.State(), TImageButtonNew::Neutral);
    QTest::mouseClick(&b, Qt::LeftButton);
    QCOMPARE(clicks, 0);
    b.SetEnabled(true);
    QCOMPARE(b.State(), TImageButtonNew::Up);
  }

  void imageButtonMissingSpriteKeepsFaces() {
    TImageButtonNew b;
    b.SetHResource(FSkin);
    b.SetResName("BUTTONSPR");
    const QImage before = b.PictureUp();
    QStringList log;
    b.Log = [&](const QString& line) { log << line; };
    b.SetResName("NO_SUCH_SPRITE");
    QCOMPARE(b.PictureUp(), before);
    QCOMPARE(log.size(), 1);
    TImageButtonNew empty;
    empty.SetResName("BUTTONSPR");  // no module handle: nothing happens
    QVERIFY(empty.PictureUp().isNull());
  }

  void simpleButtonMouseAndKeys() {
    QWidget host;
    auto* b = new TKivSimpleButton(&host);
    b->SetCaption("Save");
    int clicks = 0;
    b->OnButtonClick = [&](QObject*) { ++clicks; };
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QTest::mousePress(b, Qt::LeftButton);
    QVERIFY(b->Pressed());
    QTest::mouseRelease(b, Qt::LeftButton);
    QCOMPARE(clicks, 1);
    b->setFocus();
    QTest::keyPress(b, Qt::Key_Space);
    QCOMPARE(clicks, 1);  // fires on release
    QTest::keyRelease(b, Qt::Key_Space);
    QCOMPARE(clicks, 2);
    QTest::keyClick(b, Qt::Key_Return);
    QCOMPARE(clicks, 3);
    // an Enter released here whose press went elsewhere is no click
    QTest::keyRelease(b, Qt::Key_Return);
    QCOMPARE(clicks, 3);
    b->SetActive(false);
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(clicks, 3);
    // inactive: grey inside
    QImage shot = b->grab().toImage();
    QCOMPARE(QColor(shot.pixel(b->width() / 2, 4)).rgb() & 0xFFFFFF, qRgb(220, 220, 220) & 0xFFFFFF);
  }

  void simpleButtonRings_data() {
    QTest::addColumn<int>("rings");
    QTest::addColumn<QList<int>>("highlights");
    QTest::newRow("1 ring") << 1 << QList<int>{250};
    QTest::newRow("2 rings") << 2 << QList<int>{220, 250};
    QTest::newRow("3 rings") << 3 << QList<int>{190, 220, 250};
  }
  void simpleButtonRings() {
    QFETCH(int, rings);
    QFETCH(QList<int>, highlights);
    TKivSimpleButton b;
    b.resize(60, 24);
    b.SetBorderWidth(rings);
    QImage shot = b.grab().toImage();
    QCOMPARE(QColor(shot.pixel(0, 12)).rgb() & 0xFFFFFF, qRgb(150, 150, 150) & 0xFFFFFF);
    for (int i = 1; i <= rings; ++i) {
      const int h = highlights[i - 1];
      QCOMPARE(TKivSimpleButton::RingHighlight(i, rings), h);
      QCOMPARE(shot.pixel(i, 12) & 0xFFFFFF, qRgb(h, h, 255) & 0xFFFFFF);  // left: highlight
      const int g = TKivSimpleButton::RingShade(i);
      QCOMPARE(shot.pixel(59 - i, 12) & 0xFFFFFF, qRgb(g, g, g) & 0xFFFFFF);  // right: ring
    }
  }

  void tabButton() {
    QWidget host;
    host.resize(200, 60);
    auto* t = new TImageTabButton(&host);
    t->resize(88, 18);
    t->SetHResource(FSkin);
    t->SetTransparentColor(qRgb(0, 0, 255));
    t->SetResName("TABBUTTONSPR");
    t->SetTxt("Tab");
    // transparent pixels of the face are outside the shape: clicks there reach the control below
    QVERIFY(!t->mask().isEmpty());
    QVERIFY(t->mask().contains(QPoint(44, 9)));
    QVERIFY(!t->mask().contains(QPoint(0, 17)));
    QVERIFY(!t->mask().contains(QPoint(0, 0)));
    int clicks = 0;
    t->OnClick = [&](QObject*) { ++clicks; };
    testutil::Enter(t);
    QCOMPARE(t->Visual(), TImageTabButton::Over);
    QTest::mousePress(t, Qt::LeftButton, {}, QPoint(44, 9));
    QCOMPARE(t->Visual(), TImageTabButton::Down);
    QTest::mouseRelease(t, Qt::LeftButton, {}, QPoint(44, 9));
    QCOMPARE(clicks, 1);
    QVERIFY(t->Clicked());
    QTest::keyClick(t, Qt::Key_Space);
    QCOMPARE(clicks, 2);
    t->SetClicked(false);
    QCOMPARE(t->Visual(), TImageTabButton::Normal);
  }

  void checkAndRadio() {
    QWidget host;
    auto* check = new TKivCheckBox(&host);
    int changes = 0;
    check->OnChange = [&](QObject*) { ++changes; };
    QTest::mouseClick(check, Qt::LeftButton);
    QVERIFY(check->Checked());
    QCOMPARE(changes, 1);
    check->SetChecked(true);  // no change, no event
    QCOMPARE(changes, 1);
    check->SetEnabled(false);
    QTest::mouseClick(check, Qt::LeftButton);
    QVERIFY(check->Checked());

    auto* r1 = new TMaxRadioButton(&host);
    auto* r2 = new TMaxRadioButton(&host);
    auto* other = new QWidget(&host);
    auto* foreign = new TMaxRadioButton(other);
    r1->LoadPictures(FSkin);
    foreign->SetChecked(true);
    QTest::mouseClick(r1, Qt::LeftButton);
    QVERIFY(r1->Checked());
    QTest::mouseClick(r2, Qt::LeftButton);
    QVERIFY(r2->Checked());
    QVERIFY(!r1->Checked());
    QVERIFY(check->Checked());    // siblings of the same class only
    QVERIFY(foreign->Checked());  // other parents untouched
    QTest::mouseClick(r2, Qt::LeftButton);
    QVERIFY(r2->Checked());  // a click never unchecks
    QCOMPARE(r2->focusPolicy(), Qt::StrongFocus);
    QCOMPARE(r1->focusPolicy(), Qt::ClickFocus);
  }

  void gauge_data() {
    QTest::addColumn<qint64>("max");
    QTest::addColumn<qint64>("pos");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("text");
    QTest::newRow("default maximum") << qint64(1) << qint64(0) << 0 << "0 %";
    QTest::newRow("maximum 1 full") << qint64(1) << qint64(1) << 100 << "100 %";
    QTest::newRow("999 of 1000") << qint64(1000) << qint64(999) << 99
                                 << QString::fromUtf8("999 바이트/1000 바이트  99%");
    QTest::newRow("1000 of 1000") << qint64(1000) << qint64(1000) << 100
                                  << QString::fromUtf8("1000 바이트/1000 바이트  100%");
    QTest::newRow("above maximum") << qint64(2048) << qint64(5000) << 100 << "2.0 KB/2.0 KB  100%";
    QTest::newRow("maximum 0") << qint64(0) << qint64(0) << 0 << QString::fromUtf8("0 바이트/0 바이트  0%");
  }
  void gauge() {
    QFETCH(qint64, max);
    QFETCH(qint64, pos);
    QFETCH(int, percent);
    QFETCH(QString, text);
    TKXGauge g;
    g.resize(105, 20);
    g.SetMax(max);
    g.SetPosition(pos);
    QCOMPARE(g.Percent(), percent);
    QCOMPARE(g.Text(), text);
    QVERIFY(g.Position() <= g.Max());
    if (percent == 100) QCOMPARE(g.BarWidth(), 99);  // full: width - 5, one fewer with the border
    QImage img = g.Render();
    QCOMPARE(img.pixel(1, 1) & 0xFFFFFF, g.BarWidth() > 0 ? 0xFFFFFFu : qRgb(250, 250, 250) & 0xFFFFFF);
  }

  void aniProgressBounces() {
    TAniProgress a;
    a.resize(5 * 16 + 2, 12);
    QCOMPARE(a.CellCount(), 5);
    QList<int> seen;
    for (int i = 0; i < 10; ++i) {
      a.Step();
      seen << a.Current();
    }
    QCOMPARE(seen, (QList<int>{1, 2, 3, 4, 3, 2, 1, 0, 1, 2}));
    QCOMPARE(TAniProgress::CellColor(0, TAniProgress::Green), qRgb(0, 128, 0));
    QCOMPARE(TAniProgress::CellColor(2, TAniProgress::Blue), qRgb(70, 70, 255));
    QCOMPARE(TAniProgress::CellColor(12, TAniProgress::Green), qRgb(230, 230, 230));
  }

  void statusBarNoteClick() {
    QWidget host;
    auto* bar = new TKivStatusBar(&host);
    bar->resize(600, 22);
    int clicks = 0;
    bar->OnNoteClick = [&](QObject*) { ++clicks; };
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(550, 10));
    QCOMPARE(clicks, 0);  // no note mark
    QVERIFY(!bar->Blinking());
    bar->SetNoteMark(true);
    QVERIFY(bar->Blinking());
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(450, 10));
    QCOMPARE(clicks, 0);  // outside the rightmost 100 pixels
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(550, 10));
    QCOMPARE(clicks, 1);
    bar->ToggleBlink();
    QVERIFY(!bar->BlinkVisible());
    bar->SetNoteMark(false);
    QVERIFY(!bar->Blinking());
  }

  void updownBarButtons() {
    QWidget host;
    auto* bar = new TKivUpdownBar(&host);
    bar->resize(600, 22);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    int downs = 0, ups = 0;
    bar->OnShowDownloads = [&](QObject*) { ++downs; };
    bar->OnShowUploads = [&](QObject*) { ++ups; };
    QCOMPARE(bar->RestoreButton(TKivUpdownBar::Downloads)->geometry(), QRect(300 - 2 - 58, 3, 58, 16));
    QCOMPARE(bar->RestoreButton(TKivUpdownBar::Uploads)->geometry(), QRect(600 - 2 - 58, 3, 58, 16));
    QTest::mouseClick(bar->RestoreButton(TKivUpdownBar::Uploads), Qt::LeftButton);
    QCOMPARE(ups, 1);
    QCOMPARE(downs, 0);
    const int repaints = bar->Repaints();
    bar->SetState(TKivUpdownBar::Downloads, TKivUpdownBar::Waiting);  // unchanged
    QCOMPARE(bar->Repaints(), repaints);
    bar->SetState(TKivUpdownBar::Downloads, TKivUpdownBar::Running);
    QCOMPARE(bar->Repaints(), repaints + 1);
  }

 private:
  TResourceModule FSkin;
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
