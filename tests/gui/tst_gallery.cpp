// The skin gallery as a picture: its size and a few known pixels.

#include <QTest>

#include "GuiTestUtil.h"
#include "ui/UClientMessage.h"
#include "ui/USkinGallery.h"

using namespace vantori;

class TestGallery : public QObject {
  Q_OBJECT
 private slots:
  void grab() {
    InitUiKit();
    const TResourceModule skin = testutil::Skin();
    QVERIFY(!skin.IsEmpty());
    TfmSkinGallery gallery(skin, QString::fromUtf8("굴림"));
    const QImage shot = gallery.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shot.size(), QSize(TfmSkinGallery::kWidth, TfmSkinGallery::kHeight));
    // frame corner and top edge of the gallery window: the skin's pieces
    const QImage ftl = LoadSkinBitmap(skin, "FTL"), ftc = LoadSkinBitmap(skin, "FTC");
    QCOMPARE(shot.pixel(10, 10), ftl.pixel(10, 10));
    QCOMPARE(shot.pixel(0, 30), ftl.pixel(0, 30));
    QCOMPARE(shot.pixel(700, 5), ftc.pixel(0, 5));
    // the window colour in an empty spot
    QCOMPARE(shot.pixel(1000, 820), kWindowColor);
    // each message box: its frame's title band and its white body
    for (int kind = 0; kind < 3; ++kind) {
      const QPoint at = TfmSkinGallery::MessageBoxOrigin(kind);
      QCOMPARE(shot.pixel(at + QPoint(150, 5)), ftc.pixel(0, 5));
      QCOMPARE(shot.pixel(at + QPoint(20, 140)), kWindowColor);
      QVERIFY(shot.pixel(at) != ftl.pixel(0, 0) || shot.pixel(at) == kWindowColor);  // cut corner
    }
  }
};

QTEST_MAIN(TestGallery)
#include "tst_gallery.moc"
