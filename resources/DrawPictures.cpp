// Draws the program's three pictures into a bundle's Resources folder:
//   Ordner.pct       the folder icon of the "Select..." buttons
//   about.pct        the About box's backdrop, 499 x 165
//   TrafficCone.pct  the icon of the "About" button
// The files hold PNG data under the names the program looks for. The icons are drawn
// on white, which the program shows as transparent.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

QImage Canvas(int width, int height, QColor background) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(background);
  return image;
}

QImage DrawOrdner() {
  QImage image = Canvas(16, 16, Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor edge(150, 105, 20);
  // The tab, then the folder's back and its front flap.
  QPainterPath back;
  back.moveTo(1.5, 3.5);
  back.lineTo(6.0, 3.5);
  back.lineTo(7.5, 5.0);
  back.lineTo(14.5, 5.0);
  back.lineTo(14.5, 13.5);
  back.lineTo(1.5, 13.5);
  back.closeSubpath();
  p.setPen(QPen(edge, 1.0));
  p.setBrush(QColor(226, 170, 60));
  p.drawPath(back);
  QLinearGradient front(0, 6, 0, 14);
  front.setColorAt(0, QColor(252, 214, 120));
  front.setColorAt(1, QColor(238, 186, 72));
  p.setBrush(front);
  p.drawRect(QRectF(1.5, 6.5, 13.0, 7.0));
  return image;
}

QImage DrawTrafficCone() {
  QImage image = Canvas(16, 16, Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // The base plate.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 60, 66));
  p.drawRoundedRect(QRectF(1.0, 12.5, 14.0, 2.5), 1.0, 1.0);
  // The cone, with two reflective bands.
  QPainterPath cone;
  cone.moveTo(7.0, 1.0);
  cone.lineTo(9.0, 1.0);
  cone.lineTo(13.0, 13.0);
  cone.lineTo(3.0, 13.0);
  cone.closeSubpath();
  QLinearGradient orange(3, 0, 13, 0);
  orange.setColorAt(0, QColor(255, 140, 20));
  orange.setColorAt(1, QColor(220, 90, 10));
  p.setBrush(orange);
  p.setPen(QPen(QColor(170, 70, 10), 0.8));
  p.drawPath(cone);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(236, 236, 230));  // not pure white: the bands must stay visible
  p.setClipPath(cone);
  p.drawRect(QRectF(0, 4.5, 16, 2.0));
  p.drawRect(QRectF(0, 8.5, 16, 2.0));
  return image;
}

QImage DrawAbout() {
  QImage image = Canvas(499, 165, QColor(24, 38, 66));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  QLinearGradient sky(0, 0, 499, 165);
  sky.setColorAt(0, QColor(34, 58, 102));
  sky.setColorAt(1, QColor(14, 24, 44));
  p.fillRect(image.rect(), sky);

  // A faint column of the characters the program carries from one encoding to another,
  // kept to the left of the version label at the right.
  QFont glyphs("DejaVu Sans");
  glyphs.setPixelSize(15);
  p.setFont(glyphs);
  p.setPen(QColor(255, 255, 255, 34));
  const char* rows[] = {"é ß ñ ü ø", "€ ¶ © ™ •", "CR ↵ LF", "à ô ï æ œ"};
  for (int i = 0; i < 4; ++i) p.drawText(QPointF(262, 36 + 32 * i), QString::fromUtf8(rows[i]));

  QFont title("DejaVu Sans");
  title.setPixelSize(46);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(240, 244, 250));
  p.drawText(QPointF(26, 86), "Kolvane");

  QFont subtitle("DejaVu Sans");
  subtitle.setPixelSize(12);
  p.setFont(subtitle);
  p.setPen(QColor(170, 190, 220));
  p.drawText(QPointF(28, 110), "Text encodings and line breaks, converted.");

  // An accent under the name, ending before the version label.
  QLinearGradient accent(26, 0, 340, 0);
  accent.setColorAt(0, QColor(255, 150, 40));
  accent.setColorAt(1, QColor(255, 150, 40, 0));
  p.fillRect(QRectF(26, 122, 314, 3), accent);
  return image;
}

bool Save(const QImage& image, const QDir& dir, const char* name) {
  const QString path = dir.filePath(name);
  if (image.save(path, "PNG")) return true;
  std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <Resources folder>\n", argv[0]);
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(dir.path())) return 1;
  const bool ok = Save(DrawOrdner(), dir, "Ordner.pct") && Save(DrawAbout(), dir, "about.pct") &&
                  Save(DrawTrafficCone(), dir, "TrafficCone.pct");
  return ok ? 0 : 1;
}
