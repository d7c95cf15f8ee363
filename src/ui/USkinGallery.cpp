#include "ui/USkinGallery.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "ui/UClientMessage.h"
#include "ui/UImageButton.h"
#include "ui/UKivBars.h"
#include "ui/UKivButtons.h"
#include "ui/UKivLabels.h"
#include "ui/UMainFrame.h"
#include "ui/UMessage.h"
#include "ui/USkinFrame.h"
#include "ui/UZ9Edit.h"

namespace vantori {

namespace {

const char* const kMainImages[] = {"FILE",
                                   "CLOSE",
                                   "NEWFOLDER",
                                   "DELETE",
                                   "REFRESHFOLDER",
                                   "UPLOAD",
                                   "ROOMCHOOSE",
                                   "ROOMOUT",
                                   "ROOMMAKE",
                                   "SINGLEUSER",
                                   "NOTE_NEW",
                                   "NOTE_ANSWER",
                                   "REFRESH",
                                   "CHECK",
                                   "UNCHECK",
                                   "KEYLOCK",
                                   "KEYUNLOCK",
                                   "FOLDERTAB_ENABLE",
                                   "NOTETAB_ENABLE",
                                   "CHATTAB_ENABLE",
                                   "BOARDTAB_ENABLE",
                                   "FOLDEROPEN",
                                   "ARROWUP",
                                   "ARROWDOWN",
                                   "DOWNLOAD",
                                   "COPY",
                                   "CUT",
                                   "PASTE",
                                   "ORDERCHECK",
                                   "SEARCH",
                                   "MONEYFILL",
                                   "GOBACK",
                                   "GOFORWARD",
                                   "GOHOME",
                                   "GOSTOP",
                                   "BOARDTAB_ENABLE",
                                   "QUESTION",
                                   "MONEYBUTTON",
                                   "CALENDAR",
                                   "NEWFRIEND",
                                   "ADDFGRP",
                                   "CANCEL",
                                   "TOOL",
                                   "FOLDERCLOSE",
                                   "PUBFOLDERCLOSE",
                                   "PUBFOLDEROPEN",
                                   "DISK",
                                   "FRIENDS",
                                   "ADCLOSE",
                                   "ADOPEN",
                                   "FPWDCLOSE",
                                   "FPWDOPEN",
                                   "FADPWDCLOSE",
                                   "FADPWDOPEN",
                                   "UPFOLDER",
                                   "OK",
                                   "SAVE",
                                   "SOUND",
                                   "PLAY",
                                   "TRANSFER",
                                   "CLOSE2",
                                   "ERROR_16",
                                   "INFORMATION_16",
                                   "QUESTION_16",
                                   "UserGold",
                                   "POINT"};

void Hover(QWidget* w) {
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QCoreApplication::sendEvent(w, &enter);
}

void Press(QWidget* w) {
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(w, &press);
}

// A picture of a top-level window, clipped to its shape.
QImage Snapshot(QWidget* window) {
  QImage shot = window->grab().toImage().convertToFormat(QImage::Format_ARGB32);
  if (!window->mask().isEmpty()) {
    QImage clipped(shot.size(), QImage::Format_ARGB32);
    clipped.fill(Qt::transparent);
    QPainter p(&clipped);
    p.setClipRegion(window->mask());
    p.drawImage(0, 0, shot);
    return clipped;
  }
  return shot;
}

}  // namespace

QWidget* TfmSkinGallery::Caption(const QString& text, int x, int y) {
  auto* label = new QLabel(text, this);
  QFont f = font();
  f.setPointSize(8);
  label->setFont(f);
  label->setStyleSheet("color: rgb(124, 124, 124); background: transparent;");
  label->move(x, y);
  label->adjustSize();
  return label;
}

TfmSkinGallery::TfmSkinGallery(const TResourceModule& skin, const QString& fontName, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint), FSkin(skin) {
  setWindowTitle(QString::fromUtf8("Vantori 스킨 갤러리"));
  setFixedSize(kWidth, kHeight);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor::fromRgb(kWindowColor));
  setPalette(pal);
  setAutoFillBackground(true);
  setFont(UiFont(fontName));

  TLogSink quiet;
  try {
    auto* main = new TMainFrame(this, skin, QString::fromUtf8("Vantori(vtri) 스킨 갤러리"), quiet);
    Q_UNUSED(main);
  } catch (const std::exception& e) {
    Caption(QString::fromUtf8("스킨이 없습니다: ") + QString::fromUtf8(e.what()), 56, 28);
  }

  // Title buttons: up, over, down, disabled.
  int x = 24, y = 64;
  Caption(QString::fromUtf8("제목 단추"), x, y);
  const char* titleSprites[] = {"FMCLOSEBTSPR", "FMMAXBTSPR", "FMRESBTSPR", "FMMINBTSPR"};
  for (int s = 0; s < 4; ++s)
    for (int state = 0; state < 4; ++state) {
      auto* b = new TImageButtonNew(this);
      b->SetHResource(skin);
      b->SetResName(titleSprites[s]);
      b->move(x + state * 28, y + 18 + s * 24);
      if (state == 1) Hover(b);
      if (state == 2) Hover(b), Press(b);
      if (state == 3) b->SetEnabled(false);
    }

  // Push buttons with icons: up, over, down, disabled; and a caption-only one.
  x = 150;
  Caption(QString::fromUtf8("그림 단추"), x, y);
  const char* icons[] = {"CHECK", "CANCEL", "SEARCH", "DOWNLOAD"};
  const char* captions[] = {"확 인", "아니오", "검 색", "받 기"};
  for (int row = 0; row < 4; ++row)
    for (int state = 0; state < 4; ++state) {
      auto* b = new TImageButtonNew(this);
      b->SetHResource(skin);
      b->SetResName("BUTTONSPR");
      b->SetIconResName(icons[row]);
      b->SetCaption(QString::fromUtf8(captions[row]));
      b->move(x + state * 80, y + 18 + row * 28);
      if (state == 1) Hover(b);
      if (state == 2) Hover(b), Press(b);
      if (state == 3) b->SetEnabled(false);
    }

  // Ringed buttons: normal, hovered, pressed, inactive; 1, 2 and 3 rings.
  x = 480;
  Caption(QString::fromUtf8("일반 단추"), x, y);
  for (int rings = 1; rings <= 3; ++rings)
    for (int state = 0; state < 4; ++state) {
      auto* b = new TKivSimpleButton(this);
      b->SetBorderWidth(rings);
      b->SetCaption(QString::fromUtf8("저 장"));
      b->LoadIcon(skin, "SAVE");
      b->resize(80, 26);
      b->move(x + state * 86, y + 18 + (rings - 1) * 32);
      if (state == 1) Hover(b);
      if (state == 2) Hover(b), Press(b);
      if (state == 3) b->SetActive(false);
    }

  // Restore buttons and glyph buttons.
  x = 840;
  Caption(QString::fromUtf8("작은 단추"), x, y);
  for (int state = 0; state < 2; ++state) {
    auto* r = new TRestoreButton(this);
    r->move(x + state * 64, y + 18);
    if (state == 1) Hover(r);
  }
  for (int kind = 0; kind < 4; ++kind)
    for (int state = 0; state < 3; ++state) {
      auto* b = new TKivWindowButton(this, static_cast<TKivWindowButton::TKind>(kind));
      b->resize(kind == 3 ? 24 : 16, kind == 3 ? 24 : 16);
      if (kind == 3) {
        try {
          b->SetPicture(LoadSkinBitmap(skin, "SOUND"));
        } catch (const ESkinError&) {
        }
      }
      b->move(x + state * 30, y + 44 + kind * 28);
      if (state == 1) Hover(b);
      if (state == 2) Hover(b), Press(b);
    }

  // Tabs on a small-frame pane: selected, normal, over.
  y = 200;
  x = 24;
  Caption(QString::fromUtf8("창틀과 탭"), x, y);
  auto* pane = new QWidget(this);
  pane->setGeometry(x, y + 18, 300, 120);
  pane->setAutoFillBackground(true);
  pane->setPalette(pal);
  try {
    new TSkinFrame(pane, skin, TSkinFrame::Small);
  } catch (const ESkinError&) {
  }
  auto* tabs = new TPaneTabs(pane, pane, skin, this);
  tabs->Tab(2)->move(11, 40);
  tabs->Tab(3)->move(99, 40);
  tabs->Tab(2)->SetClicked(false);
  Hover(tabs->Tab(1));

  // Labels, check boxes, radio buttons, logos.
  x = 350;
  Caption(QString::fromUtf8("글상자와 선택"), x, y);
  auto* label = new TKivLabel(this);
  label->SetText(QString::fromUtf8("받은 쪽지 3 통"));
  label->setGeometry(x, y + 18, 160, 21);
  auto* plain = new TKivLabel(this);
  plain->SetText(QString::fromUtf8("포인트는 코인으로 바꿀 수 있습니다."));
  plain->SetFramed(false);
  plain->SetAlignment(TKivLabel::Left);
  plain->SetIndent(10);
  plain->setGeometry(x, y + 44, 260, 21);
  auto* value = new TMaxMessage(this);
  value->SetCaption(QString::fromUtf8("보유 코인"));
  value->SetValue(QString::fromUtf8("1,250 코인"));
  value->setGeometry(x, y + 70, 200, 21);
  for (int i = 0; i < 4; ++i) {
    auto* check = new TKivCheckBox(this);
    check->move(x + i * 24, y + 100);
    check->SetChecked(i % 2 == 1);
    if (i >= 2) check->SetEnabled(false);
  }
  for (int i = 0; i < 3; ++i) {
    auto* radio = new TMaxRadioButton(this);
    radio->LoadPictures(skin);
    radio->move(x + 110 + i * 24, y + 100);
    if (i == 1) radio->SetChecked(true);
  }
  const char* logos[] = {"NEW_CHAT", "NEW_NOTE", "NEW_SEARCH", "NEW_UPLOAD", "N1_FILLCOIN_OVER", "KXABOUT2"};
  for (int i = 0; i < 6; ++i) {
    auto* logo = new TMaxLogoImage(this);
    logo->LoadLogo(skin, logos[i]);
    logo->move(x + 230 + i * 38, y + 90);
  }

  // The main image list.
  x = 840;
  Caption(QString::fromUtf8("아이콘"), x, y + 20);
  TImageList list;
  int shown = 0;
  auto* icons16 = new TFrameImage(this);
  QImage sheet(12 * 22, 6 * 22, QImage::Format_RGB32);
  sheet.fill(Qt::white);
  {
    QPainter p(&sheet);
    for (const char* name : kMainImages) {
      try {
        int index = AddSkinImage(skin, list, name);
        p.drawImage((shown % 12) * 22 + 3, (shown / 12) * 22 + 3, list.Image(index));
      } catch (const ESkinError&) {
      }
      ++shown;
    }
  }
  icons16->SetPicture(sheet);
  icons16->setGeometry(x, y + 38, sheet.width(), sheet.height());

  // Bars, gauges and the running light.
  y = 350;
  x = 24;
  Caption(QString::fromUtf8("전송 막대와 상태 막대"), x, y);
  auto* updown = new TKivUpdownBar(this);
  updown->setGeometry(x, y + 18, 700, 22);
  updown->SetState(TKivUpdownBar::Downloads, TKivUpdownBar::Running);
  updown->SetTexts(TKivUpdownBar::Downloads, {"3/10", "12.5 MB/40.0 MB", "512.0 KB/s", "00:01:12"});
  updown->SetState(TKivUpdownBar::Uploads, TKivUpdownBar::Stopped);
  auto* status = new TKivStatusBar(this);
  status->setGeometry(x, y + 46, 700, 22);
  status->SetStatusText(QString::fromUtf8("폴더 목록을 받는 중입니다..."));
  try {
    status->SetNotePicture(LoadSkinBitmap(skin, "NOTE_NEW"));
  } catch (const ESkinError&) {
  }
  status->SetNoteMark(true);
  const std::int64_t gauges[][2] = {{0, 1}, {1, 2}, {999, 1000}, {5000, 5000}, {3, 0}};
  for (int i = 0; i < 5; ++i) {
    auto* g = new TKXGauge(this);
    g->setGeometry(x + i * 210, y + 80, 200, 22);
    g->SetMax(gauges[i][1]);
    g->SetPosition(gauges[i][0]);
  }
  for (int i = 0; i < 3; ++i) {
    auto* a = new TAniProgress(this);
    a->setGeometry(x + i * 180, y + 112, 164, 12);
    if (i == 1) a->SetScheme(TAniProgress::Blue);
    if (i == 2) a->SetStopped(true);
    for (int s = 0; s < 4 + i; ++s) a->Step();
  }
  auto* edit = new TZ9Edit(this);
  edit->SetTransparent(true);
  edit->setText(QString::fromUtf8("검색어를 입력해 주십시요."));
  try {
    auto* back = new TFrameImage(this);
    back->SetPicture(LoadSkinBitmap(skin, "SEARCHBG"));
    back->setGeometry(x + 560, y + 108, 400, back->Picture().height());
    back->lower();
    edit->setGeometry(back->x() + 20, back->y() + 5, 300, 13);
  } catch (const ESkinError&) {
    edit->setGeometry(x + 580, y + 112, 300, 13);
  }

  // Gradient frames and splitter bars.
  y = 490;
  Caption(QString::fromUtf8("그라데이션 창틀과 분할 막대"), x, y);
  QImage gradient(300, 120, QImage::Format_RGB32), gradient2(300, 120, QImage::Format_RGB32);
  DrawGradientFrame(gradient, 140, 160);
  DrawGradientFrameBitmap(gradient2, 140, 180);
  auto* g1 = new TFrameImage(this);
  g1->SetPicture(gradient);
  g1->setGeometry(x, y + 18, 300, 120);
  auto* g2 = new TFrameImage(this);
  g2->SetPicture(gradient2);
  g2->setGeometry(x + 310, y + 18, 300, 120);
  for (int i = 0; i < 2; ++i) {
    QImage bar(300, 9, QImage::Format_RGB32);
    bar.fill(Qt::white);
    DrawSplitterBar(bar, i == 0 ? TSplitterStyle::Notes : TSplitterStyle::Chat);
    auto* s = new TFrameImage(this);
    s->SetPicture(bar);
    s->setGeometry(x + 630, y + 30 + i * 30, 300, 9);
  }
  TfmMessage wait(skin, fontName);
  auto* waitShot = new TFrameImage(this);
  waitShot->SetPicture(Snapshot(&wait));
  waitShot->setGeometry(x + 630, y + 72, 313, 79);

  // Message boxes of the three kinds.
  const char* texts[] = {"파일을 열 수 없습니다.", "업로드가 끝났습니다.@모두 3 개의 파일입니다.",
                         "선택한 쪽지를 지우시겠습니까?"};
  for (int kind = 0; kind < 3; ++kind) {
    TfmClientMessage box(skin, fontName);
    box.SetMessage(QString::fromUtf8(texts[kind]), kind);
    auto* shot = new TFrameImage(this);
    shot->SetPicture(Snapshot(&box));
    const QPoint at = MessageBoxOrigin(kind);
    shot->setGeometry(at.x(), at.y(), box.width(), box.height());
  }
}

}  // namespace vantori
