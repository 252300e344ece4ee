#include "Picture.h"

#include <QFile>
#include <QImage>
#include <QPixmap>

#include "FolderItem.h"

namespace kolvane {

Picture::Picture(const QImage& image)
    : original_(std::make_unique<QImage>(image)), drawn_(std::make_unique<QImage>(image)) {}

Picture::~Picture() = default;

std::int32_t Picture::Width() const { return original_->width(); }
std::int32_t Picture::Height() const { return original_->height(); }

void Picture::SetTransparent(std::int32_t mode) {
  transparent_ = mode;
  if (mode != 1) {
    *drawn_ = *original_;
    return;
  }
  QImage img = original_->convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < img.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      if ((line[x] & 0x00FFFFFF) == 0x00FFFFFF) line[x] = 0;
    }
  }
  *drawn_ = img;
}

const QImage& Picture::Image() const { return *drawn_; }

QPixmap Picture::Pixmap() const { return QPixmap::fromImage(*drawn_); }

Ref<Picture> FolderItem::OpenAsPicture() const {
  QImage image;
  if (!image.load(QFile::decodeName(QByteArray::fromStdString(path_)))) return nullptr;
  return New<Picture>(image);
}

}  // namespace kolvane
