// Shows every frame and control of the skin kit; with --screenshot FILE renders the gallery
// offscreen into a PNG instead.

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <cstdio>

#include "ui/USkin.h"
#include "ui/USkinGallery.h"

int main(int argc, char** argv) {
  // A screenshot needs no display.
  for (int i = 1; i < argc; ++i)
    if (QByteArray(argv[i]).startsWith("--screenshot") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription("The skin gallery of the Vantori user-interface kit.");
  parser.addHelpOption();
  QCommandLineOption shot("screenshot", "Render the gallery into the PNG file FILE and exit.", "FILE");
  QCommandLineOption font("font", "User-interface font (default 굴림).", "NAME", QString::fromUtf8("굴림"));
  QCommandLineOption skinDir("skin-dir", "Folder holding vtri.rcc.", "DIR");
  parser.addOptions({shot, font, skinDir});
  parser.process(app);

  vantori::InitUiKit();
  if (parser.isSet(skinDir)) vantori::TResourceModule::AddSearchDir(parser.value(skinDir));
#ifdef VANTORI_BUNDLE_DIR
  vantori::TResourceModule::AddSearchDir(VANTORI_BUNDLE_DIR);
#endif
  const vantori::TResourceModule skin = vantori::TResourceModule::Load("vtri");
  if (skin.IsEmpty())
    std::fprintf(stderr, "vtri.rcc not found; the gallery shows the kit without its skin\n");

  vantori::TfmSkinGallery gallery(skin, parser.value(font));
  if (parser.isSet(shot)) {
    const QString file = parser.value(shot);
    if (!gallery.grab().save(file, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
    return 0;
  }
  gallery.show();
  return app.exec();
}
