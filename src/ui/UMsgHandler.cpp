#include "ui/UMsgHandler.h"

#include <QPointer>
#include <QWidget>

#include "ui/UClientMessage.h"
#include "ui/UQtDispatcher.h"
#include "ui/UUiText.h"

namespace vantori {

TMessageHandler::TMessageHandler(TResourceModule skin, TLogSink log, QString fontName, IWebNavigator* browser,
                                 std::shared_ptr<IUiDispatcher> dispatcher)
    : FSkin(std::move(skin)),
      FLog(std::move(log)),
      FFontName(std::move(fontName)),
      FBrowser(browser),
      FDispatcher(dispatcher ? std::move(dispatcher) : TQtDispatcher::Shared()) {}

TMessageHandler::~TMessageHandler() = default;

int TMessageHandler::RunMessage(const TMessageInfo& info, QWidget* owner) {
  if (info.Library.IsEmpty()) {
    // No skin: still ask the user rather than answer on their behalf.
    if (info.Log) info.Log("ClientMessage : no skin module, plain box");
    return RunPlainMessageBox(info.Text, info.Kind, owner);
  }
  return RunClientMessage(info.Library, info.FontName, info.Log, info.Text, info.Kind, owner);
}

int TMessageHandler::ShowMessageBox(const QString& text, std::uint8_t kind) {
  TMessageInfo info{text, kind, FSkin, FLog, FFontName};
  QPointer<QWidget> owner = FOwner;
  return FDispatcher->Call([&info, owner] { return RunMessage(info, owner.data()); });
}

int TMessageHandler::ShowMessageBox(std::string_view cp949Text, std::uint8_t kind) {
  return ShowMessageBox(FromAnsi(cp949Text), kind);
}

void TMessageHandler::PostNotice(const QString& text) {
  FDispatcher->Call([this, &text] { FNoticeText = text; });
}

void TMessageHandler::Navigate(const TNavigation& navigation) {
  FDispatcher->Call([this, &navigation] {
    IWebNavigator* browser = navigation.Browser ? navigation.Browser : FBrowser;
    if (!browser) {
      if (FLog) FLog("TMessageHandler Navigate : no browser for " + navigation.Url);
      return;
    }
    browser->Navigate(navigation.Url, navigation.PostData, navigation.Headers, navigation.Flags,
                      navigation.TargetFrame);
  });
}

}  // namespace vantori
