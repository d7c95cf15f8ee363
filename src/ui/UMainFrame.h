#pragma once
// The main window's own frame: the eight frame pieces that follow its size, the title text,
// the title buttons, the small frames of its panes and the four pane tabs.

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>

#include "ui/USkin.h"

class QLabel;
class QWidget;

namespace vantori {

class TImageButtonNew;
class TImageTabButton;
class TSkinFrame;

class TMainFrame : public QObject {
  Q_OBJECT
 public:
  // Throws ESkinError when a frame piece is missing (title buttons are still made then).
  TMainFrame(QWidget* window, const TResourceModule& skin, const QString& title, TLogSink log = {});

  TSkinFrame* Frame() const { return FFrame; }
  QLabel* Title() const { return FTitle; }
  TImageButtonNew* CloseButton() const { return FClose; }
  TImageButtonNew* MaxButton() const { return FMax; }
  TImageButtonNew* RestoreButton() const { return FRestore; }
  TImageButtonNew* MinButton() const { return FMin; }
  void ToggleMaximized();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SyncButtons();
  void PlaceButtons();

  QWidget* FWindow;
  TSkinFrame* FFrame = nullptr;
  QLabel* FTitle = nullptr;
  TImageButtonNew* FClose = nullptr;
  TImageButtonNew* FMax = nullptr;
  TImageButtonNew* FRestore = nullptr;
  TImageButtonNew* FMin = nullptr;
};

// The four tabs of the main window's panes (tags 0 my webhard, 1 my friends on the upper
// panes; 2 my friends, 3 my computer on the lower panes) and the friends' tree position.
class TPaneTabs : public QObject {
  Q_OBJECT
 public:
  TPaneTabs(QWidget* upperPane, QWidget* lowerPane, const TResourceModule& skin, QObject* parent = nullptr);

  TImageTabButton* Tab(int tag) const { return FTabs[tag]; }
  // Applies the effect of clicking the tab with this tag.
  void Select(int tag);
  // 1 when the friends' tree is in the upper pane, 0 in the lower.
  int FriendsPlace() const { return FFriendsUpper ? 1 : 0; }
  // The layout to save: 0 my webhard over my friends, 1 my friends over my computer,
  // 2 my webhard over my computer; Restore applies a saved one (anything else is 0).
  int Layout() const;
  void Restore(int layout);

  // The main window moves its panes' contents:
  std::function<void()> OnShowMine;        // my tree and list to the front of the upper panes
  std::function<void()> OnFriendsToUpper;  // friends' tree and list into the upper panes
  std::function<void()> OnFriendsToLower;  // ... back into the lower panes
  std::function<void()> OnShowLocal;       // the local tree and list to the front of the lower panes

 private:
  std::array<TImageTabButton*, 4> FTabs{};
  bool FFriendsUpper = false;
};

}  // namespace vantori
