#pragma once
// Resource modules of the client: the skin bundle "vtri" (pictures by name) and the sound
// bundle "KXSound" (wave sounds by name). Both ship beside the program as compiled resource
// files; a module that was not found gives an empty handle, and everything that takes a
// handle copes with an empty one.

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>

class QFont;
class QObject;
class QWidget;

namespace vantori {

// A picture or sound missing from its module, or an empty module handle.
class ESkinError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An event of a control: the sender as its only argument.
using TNotifyEvent = std::function<void(QObject* sender)>;

// Where the kit writes diagnostics (the window's log).
using TLogSink = std::function<void(const QString& line)>;

class TResourceModule {
 public:
  TResourceModule() = default;  // the empty handle

  bool IsEmpty() const { return FRoot.isEmpty(); }
  explicit operator bool() const { return !IsEmpty(); }
  const QString& Name() const { return FName; }
  const QString& Root() const { return FRoot; }

  // Path of a named resource with the given extension ("png", "wav"); "" when absent.
  QString Find(const QString& resName, const QString& ext) const;

  // Loads "<name>.rcc" from the first search folder holding it; empty when none does.
  static TResourceModule Load(const QString& name);
  // A module over a plain folder of files named like the resources (tests, skin development).
  static TResourceModule FromDirectory(const QString& name, const QString& dir);

  // Search folders for Load, in order: VANTORI_RESOURCE_DIR, the added folders, the program's
  // folder, and "bin" beside and above it.
  static void AddSearchDir(const QString& dir);
  static QStringList SearchDirs();

  bool operator==(const TResourceModule&) const = default;

 private:
  QString FName;
  QString FRoot;
};

// Loads a named picture of the skin as a 32-bit opaque image; throws ESkinError.
QImage LoadSkinBitmap(const TResourceModule& skin, const QString& name);
// Loads a sprite or picture from a file; throws ESkinError.
QImage LoadBitmapFile(const QString& fileName);

// The automatic transparent colour of a picture: its bottom-left pixel.
QRgb AutoTransparentColor(const QImage& image);
// The picture with every pixel of the key colour made fully transparent.
QImage WithTransparentColor(const QImage& image, QRgb key);
// Grey copy: every pixel becomes (3R + 4G + B) div 8 in all three channels; alpha is kept.
QImage GreyImage(const QImage& image);

// An image list: pictures in order, each with its automatic transparency applied.
class TImageList {
 public:
  int Add(const QImage& picture);
  int Count() const { return static_cast<int>(FImages.size()); }
  const QImage& Image(int index) const { return FImages.at(index); }
  QList<QImage> FImages;
};

// Loads the named picture and appends it to the list; throws ESkinError.
int AddSkinImage(const TResourceModule& skin, TImageList& list, const QString& name);

// Plays a named wave of the sound module asynchronously; returns false when there is no such
// sound (the call never blocks and never throws).
bool PlaySoundResource(const TResourceModule& sounds, const QString& name);

// The kit's start-up: the Korean default face "굴림" falls back on an installed Korean font.
// Call once after the application object exists.
void InitUiKit();

// The user-interface font: the "DefaultFont" setting at the given point size.
QFont UiFont(const QString& fontName, int pointSize = 9, bool bold = false);

// The shared window colour of the client's windows.
inline constexpr QRgb kWindowColor = 0xFFFFFFFF;
// The colour of the message box under its frame.
inline constexpr QRgb kMessageBoxColor = 0xFFC8FFC8;

}  // namespace vantori
