#pragma once
// Message boxes and browser navigation for every thread: each call runs on the
// user-interface thread and the caller waits for its answer.

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "protocol/UDispatcher.h"
#include "ui/USkin.h"

class QWidget;

namespace vantori {

// The embedded web browser as the handler sees it.
class IWebNavigator {
 public:
  virtual ~IWebNavigator() = default;
  virtual void Navigate(const QString& url, const QByteArray& postData, const QString& headers,
                        const QVariant& flags, const QString& targetFrame) = 0;
};

// One navigation request: the browser (the handler's folder-pane browser when null) and the
// navigation arguments. Each call carries its own, so two threads never share them.
struct TNavigation {
  IWebNavigator* Browser = nullptr;
  QString Url;
  QByteArray PostData;
  QString Headers;
  QVariant Flags;
  QString TargetFrame;
};

// One message box request.
struct TMessageInfo {
  QString Text;
  std::uint8_t Kind = 1;
  TResourceModule Library;
  TLogSink Log;
  QString FontName;
};

class TMessageHandler {
 public:
  // skin: the bitmap library (an empty one gives the toolkit's plain box); fontName: the
  // "DefaultFont" setting; browser: the folder pane's web browser. Without a dispatcher the
  // handler uses the process's shared one (create the handler on the user-interface thread then).
  TMessageHandler(TResourceModule skin, TLogSink log, QString fontName, IWebNavigator* browser = nullptr,
                  std::shared_ptr<IUiDispatcher> dispatcher = {});
  ~TMessageHandler();

  // Shows the box and returns its result (1 OK, 6 yes, 7 no, 2 closed). Any thread.
  int ShowMessageBox(const QString& text, std::uint8_t kind);
  // The same for cp949 text from the core.
  int ShowMessageBox(std::string_view cp949Text, std::uint8_t kind);
  // A notice: nothing is shown; the text stays in the handler.
  void PostNotice(const QString& text);
  const QString& NoticeText() const { return FNoticeText; }
  // Navigates on the user-interface thread and returns when it has been started.
  void Navigate(const TNavigation& navigation);

  // Where the boxes are parented (the owning window); optional.
  void SetOwnerWindow(QWidget* owner) { FOwner = owner; }
  const TResourceModule& Library() const { return FSkin; }
  IUiDispatcher& Dispatcher() const { return *FDispatcher; }

  // Runs one request on the calling (user-interface) thread: the skinned box, or the plain
  // box when the library is empty.
  static int RunMessage(const TMessageInfo& info, QWidget* owner = nullptr);

 private:
  TResourceModule FSkin;
  TLogSink FLog;
  QString FFontName;
  IWebNavigator* FBrowser;
  std::shared_ptr<IUiDispatcher> FDispatcher;
  QWidget* FOwner = nullptr;
  QString FNoticeText;
};

}  // namespace vantori
