#pragma once
// The client's own login dialog ("사용자 로그인"): user ID and password, "확 인" and "닫 기".
// The dialog ends with Accepted only after a successful login.

#include <QDialog>
#include <functional>
#include <string>

#include "settings/ULoginManager.h"
#include "ui/USkin.h"

class QLabel;
class QLineEdit;

namespace vantori {

class TClientConfig;
class TLog;

class TfmUserLogin : public QDialog {
  Q_OBJECT
 public:
  // Runs one login conversation with the typed texts (cp949) and stores a success.
  using TLoginAction = std::function<TLoginResult(const std::string& userID, const std::string& password)>;
  // Shows a failure text (cp949) to the user; box kind 0 error.
  using TShowMessage = std::function<void(const std::string& text, int kind)>;

  TfmUserLogin(const TResourceModule& skin, const QString& fontName, TLoginAction login, TShowMessage show,
               TLogSink log = {}, QWidget* parent = nullptr);

  QLineEdit* UserEdit() const { return FUser; }
  QLineEdit* PasswordEdit() const { return FPassword; }
  QWidget* OkButton() const { return FOk; }
  QWidget* CancelButton() const { return FCancel; }
  QWidget* CloseBox() const { return FCloseBox; }
  QLabel* TitleLabel() const { return FTitle; }
  // The outcome of the last "확 인".
  const TLoginResult& LastResult() const { return FResult; }

  // "확 인": logs in; Accepted on success, otherwise the dialog stays open with a message.
  void Confirm();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* MakeButton(const QString& caption, const QString& icon, int x, int y);

  TResourceModule FSkin;
  TLoginAction FLogin;
  TShowMessage FShow;
  TLogSink FLog;
  QLabel* FTitle = nullptr;
  QLineEdit* FUser = nullptr;
  QLineEdit* FPassword = nullptr;
  QWidget* FOk = nullptr;
  QWidget* FCancel = nullptr;
  QWidget* FCloseBox = nullptr;
  TLoginResult FResult;
};

// The login of the client: resolves the configuration's login host, talks to it on the
// BasePort and stores a success in the configuration.
TfmUserLogin::TLoginAction ClientLoginAction(TClientConfig& config, TLog* log);

}  // namespace vantori
