#include "ui/UMainFrame.h"

#include <QEvent>
#include <QLabel>
#include <QWidget>

#include "ui/UImageButton.h"
#include "ui/USkinFrame.h"

namespace vantori {

TMainFrame::TMainFrame(QWidget* window, const TResourceModule& skin, const QString& title, TLogSink log)
    : QObject(window), FWindow(window) {
  auto makeButton = [&](const char* sprite) {
    auto* b = new TImageButtonNew(window);
    b->Log = log;
    b->SetHResource(skin);
    b->SetResName(sprite);
    b->show();
    return b;
  };
  FClose = makeButton("FMCLOSEBTSPR");
  FMax = makeButton("FMMAXBTSPR");
  FRestore = makeButton("FMRESBTSPR");
  FMin = makeButton("FMMINBTSPR");
  FClose->OnClick = [this](QObject*) { FWindow->close(); };
  FMax->OnClick = [this](QObject*) { ToggleMaximized(); };
  FRestore->OnClick = [this](QObject*) { ToggleMaximized(); };
  FMin->OnClick = [this](QObject*) { FWindow->showMinimized(); };

  FTitle = new QLabel(title, window);
  QFont f = window->font();
  f.setPointSize(8);
  f.setBold(true);
  FTitle->setFont(f);
  FTitle->setStyleSheet("color: rgb(124, 124, 124); background: transparent;");
  FTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
  FTitle->move(56, 28);
  FTitle->adjustSize();

  window->installEventFilter(this);
  SyncButtons();
  PlaceButtons();
  FFrame = new TSkinFrame(window, skin, TSkinFrame::Large, DragWindowHandler());
  for (int i = 0; i < 3; ++i) FFrame->Piece(i)->OnDblClick = [this](QWidget*) { ToggleMaximized(); };
}

void TMainFrame::ToggleMaximized() {
  if (FWindow->isMaximized())
    FWindow->showNormal();
  else
    FWindow->showMaximized();
  SyncButtons();
}

void TMainFrame::SyncButtons() {
  const bool maximized = FWindow->isMaximized();
  FMax->setVisible(!maximized);
  FRestore->setVisible(maximized);
}

void TMainFrame::PlaceButtons() {
  const int w = FWindow->width();
  FClose->move(w - 35, 28);
  FMax->move(FClose->x() - 5 - FMax->width(), 28);
  FRestore->move(FClose->x() - 5 - FRestore->width(), 28);
  FMin->move(FMax->x() - 5 - FMin->width(), 28);
  for (auto* b : {FClose, FMax, FRestore, FMin}) b->raise();
}

bool TMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FWindow) {
    if (event->type() == QEvent::Resize) PlaceButtons();
    if (event->type() == QEvent::WindowStateChange) SyncButtons();
  }
  return QObject::eventFilter(watched, event);
}

TPaneTabs::TPaneTabs(QWidget* upperPane, QWidget* lowerPane, const TResourceModule& skin, QObject* parent)
    : QObject(parent) {
  const char* texts[4] = {"내웹하드", "내친구", "내친구", "내 컴퓨터"};
  for (int tag = 0; tag < 4; ++tag) {
    auto* tab = new TImageTabButton(tag < 2 ? upperPane : lowerPane);
    tab->resize(88, 18);
    tab->SetHResource(skin);
    tab->SetTransparentColor(qRgb(0, 0, 255));
    tab->SetResName("TABBUTTONSPR");
    tab->SetTxt(QString::fromUtf8(texts[tag]));
    tab->SetTxtSize(8);
    tab->SetTxtCol(QColor(0, 0, 128));
    tab->move(tag % 2 == 0 ? 11 : 11 + 88, 11);
    tab->OnClick = [this, tag](QObject*) { Select(tag); };
    tab->show();
    FTabs[tag] = tab;
  }
  FTabs[0]->SetClicked(true);
  FTabs[2]->SetClicked(true);
}

void TPaneTabs::Select(int tag) {
  switch (tag) {
    case 0:
      if (OnShowMine) OnShowMine();
      FTabs[0]->SetClicked(true);
      FTabs[1]->SetClicked(false);
      break;
    case 1:
      FFriendsUpper = true;
      if (OnFriendsToUpper) OnFriendsToUpper();
      FTabs[1]->SetClicked(true);
      FTabs[0]->SetClicked(false);
      Select(3);
      break;
    case 2:
      FFriendsUpper = false;
      if (OnFriendsToLower) OnFriendsToLower();
      FTabs[2]->SetClicked(true);
      FTabs[3]->SetClicked(false);
      Select(0);
      break;
    case 3:
      if (OnShowLocal) OnShowLocal();
      FTabs[3]->SetClicked(true);
      FTabs[2]->SetClicked(false);
      break;
    default:
      break;
  }
}

int TPaneTabs::Layout() const {
  if (FFriendsUpper) return 1;
  return FTabs[3]->Clicked() ? 2 : 0;
}

void TPaneTabs::Restore(int layout) {
  switch (layout) {
    case 1:
      Select(1);
      break;
    case 2:
      Select(2);
      Select(3);
      break;
    default:
      Select(2);
      break;
  }
}

}  // namespace vantori
