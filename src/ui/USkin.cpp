#include "ui/USkin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QHash>
#include <QMutex>
#include <QResource>
#include <QSoundEffect>
#include <QUrl>

namespace vantori {

namespace {

QMutex gSearchLock;
QStringList& ExtraDirs() {
  static QStringList dirs;
  return dirs;
}

// Resource files already registered, by file path, with the root they map to.
QHash<QString, QString>& Registered() {
  static QHash<QString, QString> registered;
  return registered;
}

}  // namespace

QString TResourceModule::Find(const QString& resName, const QString& ext) const {
  if (IsEmpty() || resName.isEmpty()) return {};
  QString path = FRoot + '/' + resName + '.' + ext;
  if (QFileInfo::exists(path)) return path;
  return {};
}

void TResourceModule::AddSearchDir(const QString& dir) {
  QMutexLocker lock(&gSearchLock);
  if (!ExtraDirs().contains(dir)) ExtraDirs().append(dir);
}

QStringList TResourceModule::SearchDirs() {
  QStringList dirs;
  QByteArray env = qgetenv("VANTORI_RESOURCE_DIR");
  if (!env.isEmpty()) dirs << QString::fromLocal8Bit(env);
  {
    QMutexLocker lock(&gSearchLock);
    dirs << ExtraDirs();
  }
  if (QCoreApplication::instance()) {
    QString app = QCoreApplication::applicationDirPath();
    dirs << app << app + "/bin" << app + "/../bin" << app + "/../../bin";
  }
  return dirs;
}

TResourceModule TResourceModule::Load(const QString& name) {
  TResourceModule module;
  for (const QString& dir : SearchDirs()) {
    QString file = QDir::cleanPath(dir + '/' + name + ".rcc");
    if (!QFileInfo::exists(file)) continue;
    QString root = '/' + name;
    QMutexLocker relock(&gSearchLock);
    auto it = Registered().find(file);
    if (it == Registered().end()) {
      // Later bundles of the same name map beside the first rather than over it.
      for (int n = 2; Registered().values().contains(root); ++n) root = '/' + name + QString::number(n);
      if (!QResource::registerResource(file, root)) continue;
      it = Registered().insert(file, root);
    }
    module.FName = name;
    module.FRoot = ':' + it.value();
    return module;
  }
  return module;
}

TResourceModule TResourceModule::FromDirectory(const QString& name, const QString& dir) {
  TResourceModule module;
  if (!QFileInfo(dir).isDir()) return module;
  module.FName = name;
  module.FRoot = QDir::cleanPath(dir);
  return module;
}

QImage LoadSkinBitmap(const TResourceModule& skin, const QString& name) {
  if (skin.IsEmpty()) throw ESkinError("no skin module for resource " + name.toStdString());
  QString path = skin.Find(name, "png");
  if (path.isEmpty()) path = skin.Find(name, "bmp");
  if (path.isEmpty()) throw ESkinError("resource " + name.toStdString() + " not found");
  QImage image(path);
  if (image.isNull()) throw ESkinError("resource " + name.toStdString() + " is not a picture");
  return image.convertToFormat(QImage::Format_RGB32);
}

QImage LoadBitmapFile(const QString& fileName) {
  QImage image(fileName);
  if (image.isNull()) throw ESkinError("cannot load picture " + fileName.toStdString());
  return image.convertToFormat(QImage::Format_RGB32);
}

QRgb AutoTransparentColor(const QImage& image) {
  if (image.isNull()) return 0;
  return image.pixel(0, image.height() - 1) | 0xFF000000u;
}

QImage WithTransparentColor(const QImage& image, QRgb key) {
  QImage out = image.convertToFormat(QImage::Format_ARGB32);
  key |= 0xFF000000u;
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if ((line[x] | 0xFF000000u) == key) line[x] = 0;
  }
  return out;
}

QImage GreyImage(const QImage& image) {
  QImage out = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      QRgb p = line[x];
      int v = (3 * qRed(p) + 4 * qGreen(p) + qBlue(p)) / 8;
      line[x] = qRgba(v, v, v, qAlpha(p));
    }
  }
  return out;
}

int TImageList::Add(const QImage& picture) {
  FImages.append(WithTransparentColor(picture, AutoTransparentColor(picture)));
  return Count() - 1;
}

int AddSkinImage(const TResourceModule& skin, TImageList& list, const QString& name) {
  return list.Add(LoadSkinBitmap(skin, name));
}

bool PlaySoundResource(const TResourceModule& sounds, const QString& name) {
  QString path = sounds.Find(name, "wav");
  if (path.isEmpty() || !QCoreApplication::instance()) return false;
  static QHash<QString, QSoundEffect*> effects;
  QSoundEffect*& effect = effects[path];
  if (!effect) {
    effect = new QSoundEffect(QCoreApplication::instance());
    effect->setSource(path.startsWith(':') ? QUrl("qrc" + path) : QUrl::fromLocalFile(path));
  }
  effect->play();
  return true;
}

void InitUiKit() {
  // The client's texts are designed for the face "굴림"; map it (and its English name) onto
  // the Korean faces that are installed here.
  const QStringList korean{"NanumGothic",      "Nanum Gothic", "NanumBarunGothic",
                           "Noto Sans CJK KR", "UnDotum",      "Baekmuk Gulim"};
  QFont::insertSubstitutions(QString::fromUtf8("굴림"), korean);
  QFont::insertSubstitutions("Gulim", korean);
  QFont::insertSubstitutions(QString::fromUtf8("굴림체"), korean);
  QFont::insertSubstitutions("Tahoma", QStringList{"DejaVu Sans"} + korean);
}

QFont UiFont(const QString& fontName, int pointSize, bool bold) {
  QFont font(fontName.isEmpty() ? QString::fromUtf8("굴림") : fontName, pointSize);
  font.setBold(bold);
  return font;
}

}  // namespace vantori
