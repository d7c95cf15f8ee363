// Frame painting, the rounded window shape, gradient frames, splitter bars and the zoom steps.

#include <QTest>

#include "GuiTestUtil.h"
#include "ui/USkinFrame.h"

using namespace vantori;

class TestFrames : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    FSkin = testutil::Skin();
    QVERIFY(!FSkin.IsEmpty());
  }

  void roundRegion_data() {
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<bool>("inside");
    QTest::newRow("top-left corner") << QPoint(0, 0) << false;
    QTest::newRow("top-right corner") << QPoint(299, 0) << false;
    QTest::newRow("bottom-left corner") << QPoint(0, 199) << false;
    // the shape reaches two pixels past the right and bottom edges, so that corner is cut less
    QTest::newRow("bottom-right corner") << QPoint(299, 199) << true;
    QTest::newRow("next to the bottom-right corner") << QPoint(298, 199) << true;
    QTest::newRow("into the curve") << QPoint(2, 2) << true;
    QTest::newRow("top edge middle") << QPoint(150, 0) << true;
    QTest::newRow("left edge middle") << QPoint(0, 100) << true;
    QTest::newRow("last column") << QPoint(299, 100) << true;
  }
  void roundRegion() {
    QFETCH(QPoint, pixel);
    QFETCH(bool, inside);
    QCOMPARE(RoundRegion(QSize(300, 200)).contains(pixel), inside);
  }

  void framedWindowMaskFollowsResize() {
    QWidget window;
    window.resize(300, 200);
    auto* frame = new TSkinFrame(&window, FSkin, TSkinFrame::Large);
    QCOMPARE(window.mask(), RoundRegion(QSize(300, 200)));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(500, 400);
    QCoreApplication::processEvents();
    QCOMPARE(window.mask(), RoundRegion(QSize(500, 400)));
    QCOMPARE(frame->Piece(1)->geometry(), QRect(20, 0, 460, 51));  // top edge: width - 40
    QCOMPARE(frame->Piece(3)->geometry(), QRect(0, 51, 20, 329));  // sides: height - 71
    QCOMPARE(frame->Piece(7)->geometry(), QRect(480, 380, 20, 20));
    QWidget pane;
    pane.resize(200, 100);
    auto* small = new TSkinFrame(&pane, FSkin, TSkinFrame::Small);
    pane.show();
    QVERIFY(pane.mask().isEmpty());  // panes keep their rectangle
    QCOMPARE(small->Piece(6)->geometry(), QRect(13, 87, 174, 13));
  }

  void bitmapFrame() {
    const QImage ftl = LoadSkinBitmap(FSkin, "FTL"), ftc = LoadSkinBitmap(FSkin, "FTC");
    const QImage fbr = LoadSkinBitmap(FSkin, "FBR"), fml = LoadSkinBitmap(FSkin, "FML");
    QCOMPARE(ftl.size(), QSize(20, 51));
    QCOMPARE(fbr.size(), QSize(20, 20));
    const QImage frame = RenderBitmapFrame(FSkin, QSize(300, 200));
    QCOMPARE(frame.pixel(5, 30), ftl.pixel(5, 30));
    QCOMPARE(frame.pixel(150, 30), ftc.pixel(0, 30));  // stretched first column
    QCOMPARE(frame.pixel(0, 120), fml.pixel(0, 0));    // stretched first row
    QCOMPARE(frame.pixel(295, 195), fbr.pixel(15, 15));
    QCOMPARE(frame.pixel(150, 120), kWindowColor);  // the middle stays white
    QWidget window;
    window.resize(300, 200);
    TFrameImage* image = PaintBitmapFrame(&window, FSkin, {});
    QCOMPARE(image->geometry(), window.rect());
    QCOMPARE(window.mask(), RoundRegion(window.size()));
    QVERIFY_THROWS_EXCEPTION(ESkinError, RenderBitmapFrame(TResourceModule(), QSize(100, 100)));
  }

  void gradientRings() {
    QImage canvas(300, 200, QImage::Format_RGB32);
    DrawGradientFrame(canvas, 100, 120);
    const auto rings = GradientFrameRings();
    QCOMPARE(rings.size(), size_t(12));
    for (int i = 1; i < 12; ++i)
      QCOMPARE(canvas.pixel(i, 100) & 0xFFFFFF, qRgb(rings[i], rings[i], 250) & 0xFFFFFF);
    QCOMPARE(canvas.pixel(0, 100) & 0xFFFFFF, qRgb(100, 100, 100) & 0xFFFFFF);   // outline
    QCOMPARE(canvas.pixel(12, 100) & 0xFFFFFF, qRgb(100, 100, 100) & 0xFFFFFF);  // inner outline
    QCOMPARE(canvas.pixel(20, 13) & 0xFFFFFF, qRgb(160, 160, 250) & 0xFFFFFF);   // first title row
    QCOMPARE(canvas.pixel(20, 13 + 19) & 0xFFFFFF, qRgb(250, 250, 250) & 0xFFFFFF);
    QCOMPARE(canvas.pixel(20, 13 + 38) & 0xFFFFFF, qRgb(160, 160, 250) & 0xFFFFFF);  // bar under the band
    QCOMPARE(canvas.pixel(150, 100), kWindowColor);
    QImage bitmap(300, 200, QImage::Format_RGB32);
    DrawGradientFrameBitmap(bitmap, 100, 120);
    const std::vector<int> listed{150, 165, 180, 195, 210, 240, 225, 210, 195, 180};
    QCOMPARE(GradientFrameBitmapRings(), listed);
    QCOMPARE(bitmap.pixel(5, 100) & 0xFFFFFF, qRgb(240, 240, 250) & 0xFFFFFF);
  }

  void splitterColours() {
    QImage bar(100, 9, QImage::Format_RGB32);
    DrawSplitterBar(bar, TSplitterStyle::Notes);
    QCOMPARE(bar.pixel(50, 0) & 0xFFFFFF, qRgb(220, 246, 151) & 0xFFFFFF);  // (t1, t2, t0)
    QCOMPARE(bar.pixel(0, 0) & 0xFFFFFF, qRgb(226, 247, 171) & 0xFFFFFF);   // left cap column 0
    DrawSplitterBar(bar, TSplitterStyle::Chat);
    // (L(t0), L(t2), L(t1)) of (0, 167, 231), L(x) = x + (255 - x) div 3
    QCOMPARE(bar.pixel(50, 4) & 0xFFFFFF, qRgb(85, 239, 196) & 0xFFFFFF);
  }

  void zoomSteps() {
    const QRect w(100, 100, 400, 300), a(300, 600, 200, 20);
    auto opening = ZoomRectSteps(w, a, true, false, 3);
    QCOMPARE(opening.size(), size_t(24));
    QCOMPARE(opening.front().DelayMs, 6);
    const int dh = ((400 - 200) / 2) / 24, dv = (300 / 2) / 24;
    QCOMPARE(opening.back().Rect.width(), 200 + 2 * 24 * dh + 1);
    QCOMPARE(opening.back().Rect.top(), 100 + 150 - 24 * dv);
    auto travel = ZoomRectSteps(w, a, false, false, 3);
    QCOMPARE(travel.size(), size_t(40 + 1 + 24));
    QCOMPARE(travel[0].Rect.left(), 300 - (300 - 100) / 40);
    QVERIFY(travel[0].RestorePrevious);
    auto closing = ZoomRectSteps(w, a, false, true, 3);
    QCOMPARE(closing.size(), size_t(24 + 1 + 40 + 1));
    QCOMPARE(closing[0].Rect.left(), 100 + dh);
  }

 private:
  TResourceModule FSkin;
};

QTEST_MAIN(TestFrames)
#include "tst_frames.moc"
