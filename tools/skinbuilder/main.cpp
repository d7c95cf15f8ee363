// Renders the client's own skin pictures and sounds and writes them, with one resource
// collection file each, for the skin bundle "vtri" and the sound bundle "KXSound".
//
//   vantori-skinbuilder OUTDIR
//
// writes OUTDIR/vtri/*.png with OUTDIR/vtri/vtri.qrc and OUTDIR/KXSound/*.wav with
// OUTDIR/KXSound/KXSound.qrc.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <random>

namespace {

// ---------------------------------------------------------------------------------------------
// Colours of the look: white windows, grey 171 frames, one blue accent.

const QColor kKey(255, 0, 255);      // transparent key of icons and sprites
const QColor kFrame(171, 171, 171);  // frame lines
const QColor kAccent(58, 110, 190);  // accent blue
const QColor kAccentLight(166, 201, 240);
const QColor kBandTop(226, 236, 250);
const QColor kInk(70, 70, 70);
const QColor kBlue(40, 100, 200);
const QColor kGreen(40, 150, 60);
const QColor kRed(205, 50, 45);
const QColor kYellow(240, 190, 60);
const QColor kFolder(236, 184, 70);
const QColor kFolderDark(180, 128, 30);

// Turns an antialiased drawing on a transparent canvas into an opaque picture: covered pixels
// are composed over `under`, the rest take the key colour.
QImage Flatten(const QImage& argb, const QColor& key = kKey, const QColor& under = Qt::white) {
  QImage out(argb.size(), QImage::Format_RGB32);
  for (int y = 0; y < argb.height(); ++y)
    for (int x = 0; x < argb.width(); ++x) {
      QRgb p = argb.pixel(x, y);
      int a = qAlpha(p);
      if (a < 96) {
        out.setPixel(x, y, key.rgb());
        continue;
      }
      // unpremultiplied colour over `under`
      auto mix = [&](int c, int u) { return (c * a + u * (255 - a)) / 255; };
      out.setPixel(
          x, y, qRgb(mix(qRed(p), under.red()), mix(qGreen(p), under.green()), mix(qBlue(p), under.blue())));
    }
  return out;
}

QImage Canvas(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  return img;
}

struct P : QPainter {
  explicit P(QImage* img) : QPainter(img) { setRenderHint(QPainter::Antialiasing); }
  void Pen(const QColor& c, double w = 1.0) {
    setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  }
};

// ---------------------------------------------------------------------------------------------
// 16-pixel icons

void Folder(P& p, const QColor& body, const QColor& edge, bool open) {
  p.Pen(edge);
  p.setBrush(body.darker(110));
  QPainterPath back;
  back.moveTo(1.5, 3.5);
  back.lineTo(6, 3.5);
  back.lineTo(7.5, 5);
  back.lineTo(14.5, 5);
  back.lineTo(14.5, 13.5);
  back.lineTo(1.5, 13.5);
  back.closeSubpath();
  p.drawPath(back);
  p.setBrush(body);
  if (open) {
    QPainterPath front;
    front.moveTo(1.5, 13.5);
    front.lineTo(4, 7.5);
    front.lineTo(15.5, 7.5);
    front.lineTo(13.5, 13.5);
    front.closeSubpath();
    p.drawPath(front);
  } else {
    p.drawRoundedRect(QRectF(1.5, 6.5, 13, 7), 1, 1);
  }
}

void Page(P& p, QRectF r, const QColor& fill = Qt::white) {
  p.Pen(kInk);
  p.setBrush(fill);
  QPainterPath path;
  path.moveTo(r.left(), r.top());
  path.lineTo(r.right() - 3, r.top());
  path.lineTo(r.right(), r.top() + 3);
  path.lineTo(r.right(), r.bottom());
  path.lineTo(r.left(), r.bottom());
  path.closeSubpath();
  p.drawPath(path);
  p.drawLine(QPointF(r.right() - 3, r.top()), QPointF(r.right() - 3, r.top() + 3));
  p.drawLine(QPointF(r.right() - 3, r.top() + 3), QPointF(r.right(), r.top() + 3));
}

void Arrow(P& p, QPointF from, QPointF to, const QColor& c, double width = 2.0) {
  p.Pen(c, width);
  p.drawLine(from, to);
  const double a = std::atan2(to.y() - from.y(), to.x() - from.x());
  const double s = 3.5;
  QPolygonF head;
  head << to << QPointF(to.x() - s * std::cos(a - 0.7), to.y() - s * std::sin(a - 0.7))
       << QPointF(to.x() - s * std::cos(a + 0.7), to.y() - s * std::sin(a + 0.7));
  p.setBrush(c);
  p.Pen(c, 1);
  p.drawPolygon(head);
}

void Person(P& p, double cx, double top, double scale, const QColor& c) {
  p.Pen(c.darker(140));
  p.setBrush(c);
  p.drawEllipse(QPointF(cx, top + 2.5 * scale), 2.5 * scale, 2.5 * scale);
  QPainterPath body;
  body.moveTo(cx - 4.5 * scale, top + 11 * scale);
  body.cubicTo(cx - 4.5 * scale, top + 5.5 * scale, cx + 4.5 * scale, top + 5.5 * scale, cx + 4.5 * scale,
               top + 11 * scale);
  body.closeSubpath();
  p.drawPath(body);
}

void Plus(P& p, QPointF c, const QColor& colour) {
  p.Pen(colour, 2);
  p.drawLine(QPointF(c.x() - 3, c.y()), QPointF(c.x() + 3, c.y()));
  p.drawLine(QPointF(c.x(), c.y() - 3), QPointF(c.x(), c.y() + 3));
}

void Tick(P& p, QRectF r, const QColor& c, double w = 2.2) {
  p.Pen(c, w);
  p.setBrush(Qt::NoBrush);
  QPainterPath t;
  t.moveTo(r.left(), r.center().y());
  t.lineTo(r.left() + r.width() * 0.38, r.bottom());
  t.lineTo(r.right(), r.top());
  p.drawPath(t);
}

void Cross(P& p, QRectF r, const QColor& c, double w = 2.2) {
  p.Pen(c, w);
  p.drawLine(r.topLeft(), r.bottomRight());
  p.drawLine(r.topRight(), r.bottomLeft());
}

void Lock(P& p, QPointF at, bool open, const QColor& c = QColor(200, 150, 30)) {
  p.Pen(kInk, 1.2);
  p.setBrush(Qt::NoBrush);
  QRectF shackle(at.x() + 1.5, at.y(), 5, 6);
  if (open)
    p.drawArc(shackle.translated(3, -1), 0, 180 * 16);
  else
    p.drawArc(shackle, 0, 180 * 16);
  p.drawLine(QPointF(at.x() + 1.5, at.y() + 3), QPointF(at.x() + 1.5, at.y() + 4));
  if (!open) p.drawLine(QPointF(at.x() + 6.5, at.y() + 3), QPointF(at.x() + 6.5, at.y() + 4));
  p.Pen(c.darker(150));
  p.setBrush(c);
  p.drawRoundedRect(QRectF(at.x(), at.y() + 4, 8, 6), 1, 1);
}

void Circle(P& p, QRectF r, const QColor& fill) {
  p.Pen(fill.darker(140));
  p.setBrush(fill);
  p.drawEllipse(r);
}

void Glyph(P& p, QRectF r, const QString& text, const QColor& c, int px = 10) {
  QFont f("DejaVu Sans");
  f.setPixelSize(px);
  f.setBold(true);
  p.setFont(f);
  p.setPen(c);
  p.drawText(r, Qt::AlignCenter, text);
}

void Coin(P& p, QRectF r) {
  Circle(p, r, kYellow);
  p.Pen(QColor(160, 110, 10), 1);
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(r.adjusted(2, 2, -2, -2));
}

void Envelope(P& p, QRectF r, const QColor& fill) {
  p.Pen(kInk);
  p.setBrush(fill);
  p.drawRect(r);
  p.drawLine(r.topLeft(), QPointF(r.center().x(), r.center().y() + 1));
  p.drawLine(r.topRight(), QPointF(r.center().x(), r.center().y() + 1));
}

void Bubble(P& p, QRectF r, const QColor& fill) {
  p.Pen(fill.darker(150));
  p.setBrush(fill);
  QPainterPath b;
  b.addRoundedRect(r, 3, 3);
  QPolygonF tail;
  tail << QPointF(r.left() + 3, r.bottom() - 0.5) << QPointF(r.left() + 2, r.bottom() + 3)
       << QPointF(r.left() + 7, r.bottom() - 0.5);
  b.addPolygon(tail);
  p.drawPath(b.simplified());
}

void Magnifier(P& p, QPointF c, double r, const QColor& rim) {
  p.Pen(rim, 2);
  p.setBrush(QColor(220, 236, 252));
  p.drawEllipse(c, r, r);
  p.Pen(kInk, 2.6);
  p.drawLine(QPointF(c.x() + r * 0.75, c.y() + r * 0.75), QPointF(c.x() + r * 1.9, c.y() + r * 1.9));
}

void Gear(P& p, QPointF c, double r, const QColor& fill) {
  QPainterPath g;
  for (int i = 0; i < 16; ++i) {
    double a = i * M_PI / 8;
    double rr = (i % 2 == 0) ? r : r * 0.72;
    QPointF pt(c.x() + rr * std::cos(a), c.y() + rr * std::sin(a));
    if (i == 0)
      g.moveTo(pt);
    else
      g.lineTo(pt);
  }
  g.closeSubpath();
  g.addEllipse(c, r * 0.3, r * 0.3);
  p.Pen(fill.darker(150));
  p.setBrush(fill);
  p.drawPath(g);
}

void Refresh(P& p, QPointF c, double r, const QColor& colour) {
  p.Pen(colour, 2);
  p.setBrush(Qt::NoBrush);
  QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
  p.drawArc(box, 30 * 16, 280 * 16);
  QPointF tip(c.x() + r * std::cos(30 * M_PI / 180), c.y() - r * std::sin(30 * M_PI / 180));
  QPolygonF head;
  head << QPointF(tip.x() + 2.5, tip.y() - 3.5) << QPointF(tip.x() + 2.5, tip.y() + 2)
       << QPointF(tip.x() - 3, tip.y() - 1);
  p.setBrush(colour);
  p.Pen(colour, 1);
  p.drawPolygon(head);
}

using TDraw = std::function<void(P&)>;

std::map<QString, TDraw> IconTable() {
  std::map<QString, TDraw> t;
  const QColor adult(215, 80, 70), adultDark(150, 40, 30);
  t["FILE"] = [](P& p) { Page(p, QRectF(3.5, 1.5, 9, 13)); };
  t["CLOSE"] = [](P& p) { Cross(p, QRectF(4, 4, 8, 8), kRed, 2.4); };
  t["CLOSE2"] = [](P& p) {
    Circle(p, QRectF(1.5, 1.5, 13, 13), QColor(150, 150, 150));
    Cross(p, QRectF(5, 5, 6, 6), Qt::white, 1.8);
  };
  t["NEWFOLDER"] = [](P& p) {
    Folder(p, kFolder, kFolderDark, false);
    Plus(p, QPointF(11.5, 4), kGreen);
  };
  t["DELETE"] = [](P& p) { Cross(p, QRectF(3, 3, 10, 10), kRed, 2.6); };
  t["REFRESHFOLDER"] = [](P& p) {
    Folder(p, kFolder, kFolderDark, false);
    Refresh(p, QPointF(10.5, 10), 3, kGreen);
  };
  t["UPLOAD"] = [](P& p) {
    p.fillRect(QRectF(2, 13, 12, 2), kInk);
    Arrow(p, QPointF(8, 12), QPointF(8, 2.5), kBlue, 2.4);
  };
  t["DOWNLOAD"] = [](P& p) {
    p.fillRect(QRectF(2, 13, 12, 2), kInk);
    Arrow(p, QPointF(8, 1.5), QPointF(8, 11.5), kBlue, 2.4);
  };
  t["ROOMCHOOSE"] = [](P& p) {
    Bubble(p, QRectF(1.5, 1.5, 13, 9), QColor(200, 225, 250));
    Tick(p, QRectF(4.5, 3.5, 7, 5), kGreen, 1.8);
  };
  t["ROOMMAKE"] = [](P& p) {
    Bubble(p, QRectF(1.5, 1.5, 13, 9), QColor(200, 225, 250));
    Plus(p, QPointF(8, 6), kGreen);
  };
  t["ROOMOUT"] = [](P& p) {
    p.Pen(kInk);
    p.setBrush(QColor(190, 140, 90));
    p.drawRect(QRectF(2.5, 1.5, 7, 13));
    Arrow(p, QPointF(7, 8), QPointF(14.5, 8), kRed, 2);
  };
  t["SINGLEUSER"] = [](P& p) { Person(p, 8, 1.5, 1.15, QColor(90, 150, 220)); };
  t["NEWFRIEND"] = [](P& p) {
    Person(p, 6.5, 2, 1.05, QColor(90, 150, 220));
    Plus(p, QPointF(12.5, 4.5), kGreen);
  };
  t["FRIENDS"] = [](P& p) {
    Person(p, 10.5, 1.5, 0.95, QColor(120, 180, 120));
    Person(p, 5.5, 3.5, 1.0, QColor(90, 150, 220));
  };
  t["ADDFGRP"] = [](P& p) {
    Person(p, 9, 2, 0.85, QColor(120, 180, 120));
    Person(p, 5, 4, 0.9, QColor(90, 150, 220));
    Plus(p, QPointF(12.5, 4), kGreen);
  };
  t["NOTE_NEW"] = [](P& p) { Envelope(p, QRectF(1.5, 3.5, 13, 9), QColor(255, 236, 150)); };
  t["NOTE_ANSWER"] = [](P& p) {
    Envelope(p, QRectF(1.5, 2.5, 11, 8), QColor(255, 236, 150));
    Arrow(p, QPointF(14.5, 13), QPointF(7, 13), kBlue, 1.8);
  };
  t["REFRESH"] = [](P& p) { Refresh(p, QPointF(8, 8.5), 5, kGreen); };
  t["CHECK"] = [](P& p) { Tick(p, QRectF(2.5, 3.5, 11, 9), kGreen, 2.6); };
  t["OK"] = [](P& p) {
    Circle(p, QRectF(1.5, 1.5, 13, 13), kGreen);
    Tick(p, QRectF(4.5, 5, 7, 6), Qt::white, 1.8);
  };
  t["UNCHECK"] = [](P& p) {
    p.Pen(kInk);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 2.5, 11, 11));
  };
  t["ORDERCHECK"] = [](P& p) {
    p.Pen(kInk);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 2.5, 11, 11));
    Tick(p, QRectF(4.5, 5, 7, 6), kGreen, 1.8);
  };
  t["KEYLOCK"] = [](P& p) { Lock(p, QPointF(4, 2.5), false); };
  t["KEYUNLOCK"] = [](P& p) { Lock(p, QPointF(3, 2.5), true); };
  t["FOLDERTAB_ENABLE"] = [](P& p) { Folder(p, kFolder, kFolderDark, false); };
  t["NOTETAB_ENABLE"] = [](P& p) { Page(p, QRectF(3.5, 1.5, 9, 13), QColor(255, 246, 200)); };
  t["CHATTAB_ENABLE"] = [](P& p) {
    Bubble(p, QRectF(4.5, 1.5, 10, 7), QColor(200, 235, 200));
    Bubble(p, QRectF(1.5, 6.5, 10, 6), QColor(200, 225, 250));
  };
  t["BOARDTAB_ENABLE"] = [](P& p) {
    p.Pen(kInk);
    p.setBrush(QColor(200, 160, 110));
    p.drawRoundedRect(QRectF(2.5, 2.5, 11, 12), 1, 1);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 4.5, 7, 8));
    p.fillRect(QRectF(5.5, 1.5, 5, 2.5), kInk);
  };
  t["FOLDEROPEN"] = [](P& p) { Folder(p, kFolder, kFolderDark, true); };
  t["FOLDERCLOSE"] = [](P& p) { Folder(p, kFolder, kFolderDark, false); };
  auto shared = [](P& p) {
    Circle(p, QRectF(9.5, 8.5, 6, 6), QColor(60, 170, 90));
    p.Pen(Qt::white, 1);
    p.drawLine(QPointF(10.5, 11.5), QPointF(14.5, 11.5));
  };
  t["PUBFOLDERCLOSE"] = [shared](P& p) {
    Folder(p, kFolder, kFolderDark, false);
    shared(p);
  };
  t["PUBFOLDEROPEN"] = [shared](P& p) {
    Folder(p, kFolder, kFolderDark, true);
    shared(p);
  };
  t["ADCLOSE"] = [adult, adultDark](P& p) { Folder(p, adult, adultDark, false); };
  t["ADOPEN"] = [adult, adultDark](P& p) { Folder(p, adult, adultDark, true); };
  auto lock = [](P& p) { Lock(p, QPointF(8, 5.5), false); };
  t["FPWDCLOSE"] = [lock](P& p) {
    Folder(p, kFolder, kFolderDark, false);
    lock(p);
  };
  t["FPWDOPEN"] = [lock](P& p) {
    Folder(p, kFolder, kFolderDark, true);
    lock(p);
  };
  t["FADPWDCLOSE"] = [lock, adult, adultDark](P& p) {
    Folder(p, adult, adultDark, false);
    lock(p);
  };
  t["FADPWDOPEN"] = [lock, adult, adultDark](P& p) {
    Folder(p, adult, adultDark, true);
    lock(p);
  };
  t["UPFOLDER"] = [](P& p) {
    Folder(p, kFolder, kFolderDark, false);
    Arrow(p, QPointF(8, 13), QPointF(8, 7.5), kBlue, 2);
  };
  t["DISK"] = [](P& p) {
    p.Pen(kInk);
    p.setBrush(QColor(200, 205, 215));
    p.drawRoundedRect(QRectF(1.5, 5.5, 13, 6), 1.5, 1.5);
    p.fillRect(QRectF(11, 8, 2, 1.5), kGreen);
    p.Pen(QColor(120, 125, 135));
    p.drawLine(QPointF(3, 8.5), QPointF(8, 8.5));
  };
  t["ARROWUP"] = [](P& p) {
    p.Pen(kBlue.darker(130));
    p.setBrush(kBlue);
    p.drawPolygon(QPolygonF() << QPointF(8, 3.5) << QPointF(13.5, 11.5) << QPointF(2.5, 11.5));
  };
  t["ARROWDOWN"] = [](P& p) {
    p.Pen(kBlue.darker(130));
    p.setBrush(kBlue);
    p.drawPolygon(QPolygonF() << QPointF(8, 12.5) << QPointF(13.5, 4.5) << QPointF(2.5, 4.5));
  };
  t["COPY"] = [](P& p) {
    Page(p, QRectF(1.5, 1.5, 8, 10));
    Page(p, QRectF(6.5, 4.5, 8, 10));
  };
  t["CUT"] = [](P& p) {
    p.Pen(kInk, 1.4);
    p.drawLine(QPointF(4, 1.5), QPointF(10, 10));
    p.drawLine(QPointF(12, 1.5), QPointF(6, 10));
    p.setBrush(Qt::NoBrush);
    p.Pen(kRed, 1.6);
    p.drawEllipse(QPointF(4.5, 12), 2.3, 2.3);
    p.drawEllipse(QPointF(11.5, 12), 2.3, 2.3);
  };
  t["PASTE"] = [](P& p) {
    p.Pen(kInk);
    p.setBrush(QColor(200, 160, 110));
    p.drawRoundedRect(QRectF(1.5, 2.5, 10, 12), 1, 1);
    p.fillRect(QRectF(4, 1, 5, 3), kInk);
    Page(p, QRectF(6.5, 6.5, 8, 8));
  };
  t["SEARCH"] = [](P& p) { Magnifier(p, QPointF(6.5, 6.5), 4, kBlue); };
  t["MONEYBUTTON"] = [](P& p) {
    Coin(p, QRectF(1.5, 1.5, 13, 13));
    Glyph(p, QRectF(1.5, 1.5, 13, 13), "C", QColor(150, 100, 0), 8);
  };
  t["MONEYFILL"] = [](P& p) {
    Coin(p, QRectF(1.5, 3.5, 11, 11));
    Plus(p, QPointF(12.5, 4), kGreen);
  };
  t["POINT"] = [](P& p) {
    Circle(p, QRectF(1.5, 1.5, 13, 13), QColor(100, 170, 230));
    Glyph(p, QRectF(1.5, 1.5, 13, 13), "P", Qt::white, 9);
  };
  t["UserGold"] = [](P& p) {
    Person(p, 7, 1.5, 1.1, QColor(90, 150, 220));
    Coin(p, QRectF(9.5, 9.5, 6, 6));
  };
  t["GOBACK"] = [](P& p) { Arrow(p, QPointF(14, 8), QPointF(2.5, 8), kGreen, 2.6); };
  t["GOFORWARD"] = [](P& p) { Arrow(p, QPointF(2, 8), QPointF(13.5, 8), kGreen, 2.6); };
  t["GOHOME"] = [](P& p) {
    p.Pen(kInk);
    p.setBrush(QColor(240, 240, 235));
    p.drawRect(QRectF(3.5, 7.5, 9, 7));
    p.setBrush(kRed);
    p.drawPolygon(QPolygonF() << QPointF(8, 1.5) << QPointF(15, 8) << QPointF(1, 8));
    p.fillRect(QRectF(7, 10.5, 2.5, 4), QColor(150, 100, 50));
  };
  t["GOSTOP"] = [](P& p) {
    QPolygonF oct;
    for (int i = 0; i < 8; ++i)
      oct << QPointF(8 + 6.5 * std::cos((i + 0.5) * M_PI / 4), 8 + 6.5 * std::sin((i + 0.5) * M_PI / 4));
    p.Pen(kRed.darker(140));
    p.setBrush(kRed);
    p.drawPolygon(oct);
    p.fillRect(QRectF(4.5, 7, 7, 2), Qt::white);
  };
  t["QUESTION"] = [](P& p) {
    Circle(p, QRectF(1.5, 1.5, 13, 13), kBlue);
    Glyph(p, QRectF(1.5, 1.5, 13, 13), "?", Qt::white, 10);
  };
  t["QUESTION_16"] = t["QUESTION"];
  t["INFORMATION_16"] = [](P& p) {
    Circle(p, QRectF(1.5, 1.5, 13, 13), kBlue);
    Glyph(p, QRectF(1.5, 1.5, 13, 13), "i", Qt::white, 10);
  };
  t["ERROR_16"] = [](P& p) {
    Circle(p, QRectF(1.5, 1.5, 13, 13), kRed);
    Cross(p, QRectF(5, 5, 6, 6), Qt::white, 2);
  };
  t["CANCEL"] = [](P& p) {
    Circle(p, QRectF(1.5, 1.5, 13, 13), kRed);
    Cross(p, QRectF(5.5, 5.5, 5, 5), Qt::white, 1.8);
  };
  t["CALENDAR"] = [](P& p) {
    p.Pen(kInk);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 2.5, 13, 12));
    p.fillRect(QRectF(2, 3, 12, 3), kRed);
    for (int r = 0; r < 2; ++r)
      for (int c = 0; c < 3; ++c) p.fillRect(QRectF(3.5 + c * 3.5, 8 + r * 3, 2, 2), kInk);
  };
  t["TOOL"] = [](P& p) { Gear(p, QPointF(8, 8), 6.5, QColor(150, 160, 175)); };
  t["SAVE"] = [](P& p) {
    p.Pen(kInk);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1, 1);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(220, 220, 220));
    p.drawRect(QRectF(3.5, 9.5, 9, 5));
  };
  t["SOUND"] = [](P& p) {
    p.Pen(kInk);
    p.setBrush(QColor(120, 130, 150));
    p.drawPolygon(QPolygonF() << QPointF(1.5, 5.5) << QPointF(4.5, 5.5) << QPointF(8.5, 2) << QPointF(8.5, 14)
                              << QPointF(4.5, 10.5) << QPointF(1.5, 10.5));
    p.setBrush(Qt::NoBrush);
    p.Pen(kBlue, 1.3);
    p.drawArc(QRectF(6, 4.5, 6, 7), -60 * 16, 120 * 16);
    p.drawArc(QRectF(5.5, 2, 9, 12), -60 * 16, 120 * 16);
  };
  t["PLAY"] = [](P& p) {
    p.Pen(kGreen.darker(140));
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF() << QPointF(4, 2) << QPointF(13.5, 8) << QPointF(4, 14));
  };
  t["TRANSFER"] = [](P& p) {
    Arrow(p, QPointF(2, 5), QPointF(13.5, 5), kBlue, 2);
    Arrow(p, QPointF(14, 11), QPointF(2.5, 11), kGreen, 2);
  };
  return t;
}

QImage Icon16(const TDraw& draw) {
  QImage c = Canvas(16, 16);
  {
    P p(&c);
    draw(p);
  }
  return Flatten(c);
}

// ---------------------------------------------------------------------------------------------
// Frames

// A framed window template: the large frame's pieces are cut from it.
QImage FrameTemplate(int w, int h, double radius, int band) {
  QImage img(w, h, QImage::Format_ARGB32);
  img.fill(Qt::white);
  P p(&img);
  if (band > 0) {
    QLinearGradient g(0, 0, 0, band - 3);
    g.setColorAt(0, kBandTop);
    g.setColorAt(1, QColor(246, 249, 254));
    p.fillRect(QRectF(0, 0, w, band - 3), g);
    p.fillRect(QRectF(0, band - 3, w, 1), kAccentLight);
    p.fillRect(QRectF(0, band - 2, w, 1), QColor(232, 240, 251));
  }
  // outside the rounded outline stays white: the window shape clips it
  QPainterPath outside;
  outside.addRect(QRectF(0, 0, w, h));
  QPainterPath inside;
  inside.addRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), radius, radius);
  p.fillPath(outside.subtracted(inside), Qt::white);
  p.Pen(kFrame, 1);
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), radius, radius);
  return img.convertToFormat(QImage::Format_RGB32);
}

// ---------------------------------------------------------------------------------------------
// Sprites: four frames side by side (up, disabled, over, down).

struct TFace {
  QColor Top, Bottom, Border, Ink;
};
const TFace kFaces[4] = {
    {QColor(255, 255, 255), QColor(236, 241, 249), QColor(150, 165, 190), QColor(80, 80, 80)},
    {QColor(246, 246, 246), QColor(238, 238, 238), QColor(205, 205, 205), QColor(175, 175, 175)},
    {QColor(236, 244, 254), QColor(208, 226, 250), kAccent, QColor(40, 80, 160)},
    {QColor(196, 218, 246), QColor(214, 230, 250), QColor(40, 80, 160), QColor(20, 50, 120)}};

QImage Sprite(int fw, int h, double radius, const std::function<void(P&, int, const TFace&)>& glyph,
              const QColor& key = kKey) {
  QImage c = Canvas(4 * fw, h);
  {
    P p(&c);
    for (int f = 0; f < 4; ++f) {
      const TFace& face = kFaces[f];
      QRectF r(f * fw + 0.5, 0.5, fw - 1, h - 1);
      QLinearGradient g(0, 0, 0, h);
      g.setColorAt(0, face.Top);
      g.setColorAt(1, face.Bottom);
      p.Pen(face.Border);
      p.setBrush(g);
      p.drawRoundedRect(r, radius, radius);
      if (glyph) {
        p.save();
        p.translate(f * fw + (f == 3 ? 1 : 0), f == 3 ? 1 : 0);
        glyph(p, f, face);
        p.restore();
      }
    }
  }
  return Flatten(c, key);
}

QImage TitleSprite(char kind) {
  return Sprite(21, 19, 3, [kind](P& p, int, const TFace& face) {
    p.Pen(face.Ink, 1.6);
    p.setBrush(Qt::NoBrush);
    switch (kind) {
      case 'c':
        p.drawLine(QPointF(7, 6), QPointF(14, 13));
        p.drawLine(QPointF(14, 6), QPointF(7, 13));
        break;
      case 'x':
        p.drawRect(QRectF(6.5, 5.5, 8, 8));
        p.drawLine(QPointF(6.5, 6.5), QPointF(14.5, 6.5));
        break;
      case 'r':
        p.Pen(face.Ink, 1.2);
        p.drawRect(QRectF(8.5, 4.5, 6, 6));
        p.setBrush(kFaces[0].Top);
        p.drawRect(QRectF(6.5, 7.5, 6, 6));
        break;
      case 'm':
        p.drawLine(QPointF(6.5, 13), QPointF(14.5, 13));
        break;
    }
  });
}

QImage TabSprite() {
  const int fw = 88, h = 18;
  QImage c = Canvas(4 * fw, h);
  {
    P p(&c);
    const QColor fills[4] = {QColor(238, 242, 248), QColor(238, 242, 248), QColor(224, 236, 252), Qt::white};
    const QColor borders[4] = {kFrame, kFrame, QColor(120, 150, 200), kAccent};
    for (int f = 0; f < 4; ++f) {
      const double x = f * fw;
      QPainterPath tab;
      tab.moveTo(x + 1.5, h + 0.5);
      tab.lineTo(x + 5, 3);
      tab.quadTo(x + 6, 0.5, x + 9, 0.5);
      tab.lineTo(x + fw - 9, 0.5);
      tab.quadTo(x + fw - 6, 0.5, x + fw - 5, 3);
      tab.lineTo(x + fw - 1.5, h + 0.5);
      p.Pen(borders[f]);
      p.setBrush(fills[f]);
      p.drawPath(tab);
      if (f == 3) p.fillRect(QRectF(x + 8, 1, fw - 16, 2), kAccent);
    }
  }
  return Flatten(c, QColor(0, 0, 255));
}

QImage QuickSprite(const TDraw& icon) {
  return Sprite(44, 40, 5, [icon](P& p, int f, const TFace&) {
    p.save();
    p.translate(6, 4);
    p.scale(2, 2);
    if (f == 1) p.setOpacity(0.35);
    icon(p);
    p.restore();
  });
}

QImage Logo(const TDraw& draw) {
  QImage c = Canvas(32, 32);
  {
    P p(&c);
    QLinearGradient g(0, 0, 0, 32);
    g.setColorAt(0, QColor(236, 244, 254));
    g.setColorAt(1, QColor(200, 222, 248));
    p.Pen(kAccent);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 7, 7);
    p.translate(4, 4);
    p.scale(1.5, 1.5);
    draw(p);
  }
  return Flatten(c);
}

QImage Radio(bool checked) {
  QImage c = Canvas(13, 13);
  {
    P p(&c);
    p.Pen(QColor(120, 135, 160));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(0.5, 0.5, 12, 12));
    if (checked) {
      p.setPen(Qt::NoPen);
      p.setBrush(kAccent);
      p.drawEllipse(QRectF(3.5, 3.5, 6, 6));
    }
  }
  return Flatten(c);
}

QImage SearchBack() {
  QImage c = Canvas(400, 23);
  {
    P p(&c);
    p.Pen(QColor(150, 175, 210));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(0.5, 0.5, 399, 22), 10, 10);
    p.translate(5, 4);
    p.scale(0.85, 0.85);
    Magnifier(p, QPointF(6.5, 6.5), 4, kBlue);
  }
  return Flatten(c, Qt::white);  // it lies on the white window
}

// ---------------------------------------------------------------------------------------------
// Sounds

constexpr int kRate = 22050;

QByteArray Wav(const std::vector<double>& samples) {
  QByteArray data;
  for (double s : samples) {
    const auto v = static_cast<qint16>(std::lround(std::clamp(s, -1.0, 1.0) * 30000));
    data.append(static_cast<char>(v & 0xFF)).append(static_cast<char>((v >> 8) & 0xFF));
  }
  QByteArray out;
  auto u32 = [&](quint32 v) {
    for (int i = 0; i < 4; ++i) out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto u16 = [&](quint16 v) { out.append(static_cast<char>(v & 0xFF)).append(static_cast<char>(v >> 8)); };
  out.append("RIFF");
  u32(36 + data.size());
  out.append("WAVEfmt ");
  u32(16), u16(1), u16(1), u32(kRate), u32(kRate * 2), u16(2), u16(16);
  out.append("data");
  u32(data.size());
  out.append(data);
  return out;
}

using TSynth = std::function<double(double t, double phase, std::mt19937&)>;

// A sound of `seconds` whose frequency follows freq(t); amp(t) shapes it; noise mixes in white noise.
std::vector<double> Tone(double seconds, const std::function<double(double)>& freq,
                         const std::function<double(double)>& amp, double noise = 0.0, unsigned seed = 1) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> white(-1.0, 1.0);
  std::vector<double> s;
  double phase = 0;
  const int n = static_cast<int>(seconds * kRate);
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kRate;
    phase += 2 * M_PI * freq(t) / kRate;
    double v = (1 - noise) * std::sin(phase) + noise * white(rng);
    const double fade = std::min(1.0, std::min(t, seconds - t) * 200);  // no clicks at the ends
    s.push_back(0.8 * v * amp(t) * fade);
  }
  return s;
}

std::vector<double> Concat(std::initializer_list<std::vector<double>> parts) {
  std::vector<double> s;
  for (const auto& part : parts) s.insert(s.end(), part.begin(), part.end());
  return s;
}

std::vector<double> Silence(double seconds) {
  return std::vector<double>(static_cast<size_t>(seconds * kRate), 0.0);
}

std::map<QString, std::vector<double>> Sounds() {
  auto decay = [](double k) { return [k](double t) { return std::exp(-k * t); }; };
  auto flat = [](double) { return 1.0; };
  auto constant = [](double f) { return [f](double) { return f; }; };
  std::map<QString, std::vector<double>> s;
  s["ALARM1"] = Concat({Tone(0.04, constant(2500), decay(60), 0.8, 1), Silence(0.08),
                        Tone(0.06, constant(1800), decay(40), 0.8, 2)});  // camera
  s["ALARM2"] = Tone(0.7, constant(1320), decay(5));                      // ding
  s["ALARM3"] = Tone(
      0.9, [](double t) { return std::fmod(t * 20, 1.0) < 0.5 ? 800 : 1000; },
      [](double t) { return t < 0.4 || t > 0.5 ? 1.0 : 0.0; });  // phone bell
  s["ALARM4"] = Tone(
      0.4, [](double t) { return 1800 - 3500 * t; }, decay(3));  // ray gun 1
  s["ALARM5"] = Tone(
      0.8, [](double t) { return 300 + 180 * std::sin(M_PI * t / 0.8) + 8 * std::sin(30 * t); },
      [](double t) { return std::sin(M_PI * t / 0.8); });  // yawn
  s["ALARM6"] = Tone(
      0.45, [](double t) { return 400 + 3600 * t; },
      [](double t) { return 0.6 + 0.4 * std::sin(2 * M_PI * 25 * t); });  // ray gun 2
  s["ALARM7"] = Tone(
      0.25, [](double t) { return 120 - 200 * t; }, decay(14), 0.35, 7);  // punch
  s["ALARM8"] = Tone(
      0.7, [](double t) { return 220 + 500 * t; }, [](double t) { return std::sin(M_PI * t / 0.7); }, 0.6,
      8);  // fighter
  s["ALARM9"] = Tone(
      0.35, constant(600), [](double t) { return std::sin(M_PI * t / 0.35); }, 0.9, 9);  // swish
  s["ALARM10"] = Concat({Tone(0.12, constant(80), decay(25), 0.4, 10), Silence(0.1),
                         Tone(0.12, constant(80), decay(25), 0.4, 11), Silence(0.1),
                         Tone(0.12, constant(80), decay(25), 0.4, 12)});  // stamping
  s["ALARM11"] = Concat({Tone(0.07, constant(220), decay(45), 0.3, 13), Silence(0.12),
                         Tone(0.07, constant(220), decay(45), 0.3, 14)});  // knocking
  s["ALARM12"] = Concat({Tone(0.14, constant(880), decay(8)), Tone(0.14, constant(1108.7), decay(8)),
                         Tone(0.3, constant(1318.5), decay(6))});  // ringing
  s["ALARM13"] = Tone(
      0.6, constant(300), [](double t) { return std::sin(M_PI * t / 0.6); }, 0.95, 15);  // whoosh
  s["ALARM14"] = Tone(
      0.45, [](double t) { return 700 - 800 * t; }, decay(3));  // ouch
  s["ALARM15"] = Concat({Tone(
                             0.15, [](double t) { return 2400 - 12000 * t; }, flat),
                         Tone(
                             0.15, [](double t) { return 2400 - 12000 * t; }, flat),
                         Tone(
                             0.15, [](double t) { return 2400 - 12000 * t; }, flat)});  // ray gun 3
  s["USERIN"] = Concat({Tone(0.12, constant(660), decay(6)), Tone(0.2, constant(990), decay(6))});
  s["USEROUT"] = Concat({Tone(0.12, constant(990), decay(6)), Tone(0.2, constant(660), decay(6))});
  s["RECVNOTE"] = Concat({Tone(0.12, constant(1046.5), decay(7)), Tone(0.12, constant(1318.5), decay(7)),
                          Tone(0.3, constant(1568), decay(5))});
  return s;
}

// ---------------------------------------------------------------------------------------------

bool WriteQrc(const QString& file, const QStringList& names) {
  QFile f(file);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QTextStream out(&f);
  out << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/\">\n";
  for (const QString& n : names) out << "  <file>" << n << "</file>\n";
  out << "</qresource>\n</RCC>\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: vantori-skinbuilder OUTDIR\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir(out).mkpath("vtri");
  QDir(out).mkpath("KXSound");

  std::map<QString, QImage> pictures;
  const QImage large = FrameTemplate(60, 91, 7.5, 51);
  pictures["FTL"] = large.copy(0, 0, 20, 51);
  pictures["FTC"] = large.copy(30, 0, 1, 51);
  pictures["FTR"] = large.copy(40, 0, 20, 51);
  pictures["FML"] = large.copy(0, 60, 20, 1);
  pictures["FMR"] = large.copy(40, 60, 20, 1);
  pictures["FBL"] = large.copy(0, 71, 20, 20);
  pictures["FBC"] = large.copy(30, 71, 1, 20);
  pictures["FBR"] = large.copy(40, 71, 20, 20);
  const QImage small = FrameTemplate(40, 40, 4.5, 0);
  pictures["FTL2"] = small.copy(0, 0, 13, 13);
  pictures["FTC2"] = small.copy(20, 0, 1, 13);
  pictures["FTR2"] = small.copy(27, 0, 13, 13);
  pictures["FML2"] = small.copy(0, 20, 13, 1);
  pictures["FMR2"] = small.copy(27, 20, 13, 1);
  pictures["FBL2"] = small.copy(0, 27, 13, 13);
  pictures["FBC2"] = small.copy(20, 27, 1, 13);
  pictures["FBR2"] = small.copy(27, 27, 13, 13);

  pictures["FMCLOSEBTSPR"] = TitleSprite('c');
  pictures["FMMAXBTSPR"] = TitleSprite('x');
  pictures["FMRESBTSPR"] = TitleSprite('r');
  pictures["FMMINBTSPR"] = TitleSprite('m');
  pictures["BUTTONSPR"] = Sprite(75, 24, 4, {});
  pictures["TABBUTTONSPR"] = TabSprite();

  const auto icons = IconTable();
  for (const auto& [name, draw] : icons) pictures[name] = Icon16(draw);
  pictures["QMNUPLOAD"] = QuickSprite(icons.at("UPLOAD"));
  pictures["QMNDOWNLOAD"] = QuickSprite(icons.at("DOWNLOAD"));
  pictures["QMNADDFRD"] = QuickSprite(icons.at("NEWFRIEND"));
  pictures["QMNSEARCH"] = QuickSprite(icons.at("SEARCH"));
  pictures["QMNOPTION"] = QuickSprite(icons.at("TOOL"));
  pictures["NEW_CHAT"] = Logo(icons.at("CHATTAB_ENABLE"));
  pictures["NEW_NOTE"] = Logo(icons.at("NOTE_NEW"));
  pictures["NEW_SEARCH"] = Logo(icons.at("SEARCH"));
  pictures["NEW_UPLOAD"] = Logo(icons.at("UPLOAD"));
  pictures["N1_FILLCOIN_OVER"] = Logo(icons.at("MONEYFILL"));
  pictures["KXABOUT2"] = Logo([](P& p) {
    p.Pen(kAccent, 2.4);
    p.drawLine(QPointF(3, 3), QPointF(8, 13));
    p.drawLine(QPointF(8, 13), QPointF(13, 3));
  });
  pictures["RADIOCHECK"] = Radio(true);
  pictures["RADIOUNCHECK"] = Radio(false);
  pictures["SEARCHBG"] = SearchBack();

  QStringList pictureFiles;
  for (const auto& [name, image] : pictures) {
    const QString file = "vtri/" + name + ".png";
    if (!image.save(out + '/' + file, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
    pictureFiles << file;
  }
  QStringList soundFiles;
  for (const auto& [name, samples] : Sounds()) {
    const QString file = "KXSound/" + name + ".wav";
    QFile f(out + '/' + file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(Wav(samples)) < 0) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
    soundFiles << file;
  }
  // Inside each bundle the files sit at its root, named like the resources.
  auto strip = [](QStringList files) {
    for (QString& f : files) f = f.section('/', 1);
    return files;
  };
  if (!WriteQrc(out + "/vtri/vtri.qrc", strip(pictureFiles)) ||
      !WriteQrc(out + "/KXSound/KXSound.qrc", strip(soundFiles))) {
    std::fprintf(stderr, "cannot write the resource collections\n");
    return 1;
  }
  std::printf("%d pictures, %d sounds\n", static_cast<int>(pictureFiles.size()),
              static_cast<int>(soundFiles.size()));
  return 0;
}
