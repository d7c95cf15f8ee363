#pragma once
// The skinned message box of the client and its plain stand-in.

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include "ui/USkin.h"

class QLabel;

namespace vantori {

class TImageButtonNew;

// Box kinds and results.
enum TMessageKind : std::uint8_t { mkError = 0, mkInformation = 1, mkQuestion = 2 };
inline constexpr int mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7;

class TfmClientMessage : public QDialog {
  Q_OBJECT
 public:
  TfmClientMessage(const TResourceModule& skin, const QString& fontName, TLogSink log = {},
                   QWidget* parent = nullptr);

  // Sets the text and the kind and lays the box out.
  void SetMessage(const QString& text, int kind);

  // The lines of a text: every carriage return and every "@" ends a line (a line feed right
  // after a carriage return belongs to it); the rest is a line only when it is not blank.
  static QStringList SplitLines(const QString& text);
  // The result of the "확 인" button for a kind.
  static int OkResult(int kind) { return kind == mkQuestion ? mrYes : mrOk; }
  // The result of closing the box without a button (close box, Esc, window close): a question
  // is answered "no", so that no caller takes a dismissed question for consent.
  static int DismissResult(int kind) { return kind == mkQuestion ? mrNo : mrCancel; }

  int Kind() const { return FKind; }
  QWidget* OkButton() const { return FOk; }
  QWidget* NoButton() const { return FNo; }
  TImageButtonNew* CloseBox() const { return FCloseBox; }
  QLabel* TitleLabel() const { return FTitle; }
  const QList<QLabel*>& LineLabels() const { return FLines; }
  QLabel* IconLabel() const { return FIcon; }

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent*) override;

 private:
  QWidget* MakeButton(const QString& caption, const QString& icon, int x, int y, int result);
  void Fail(const std::exception& e);

  TResourceModule FSkin;
  QString FFontName;
  TLogSink FLog;
  int FKind = mkInformation;
  QLabel* FTitle = nullptr;
  QLabel* FIcon = nullptr;
  QList<QLabel*> FLines;
  QWidget* FOk = nullptr;
  QWidget* FNo = nullptr;
  TImageButtonNew* FCloseBox = nullptr;
};

// Shows the skinned box modally and returns its result.
int RunClientMessage(const TResourceModule& skin, const QString& fontName, const TLogSink& log,
                     const QString& text, int kind, QWidget* parent = nullptr);

// The toolkit's own box with the same buttons and results, for when there is no skin.
int RunPlainMessageBox(const QString& text, int kind, QWidget* parent = nullptr);

}  // namespace vantori
