// A picture read from a file.
#pragma once

#include <cstdint>
#include <memory>

class QImage;
class QPixmap;

namespace kolvane {

class Picture {
 public:
  explicit Picture(const QImage& image);
  ~Picture();

  std::int32_t Width() const;
  std::int32_t Height() const;
  // 1 draws white pixels as transparent; 0 draws the picture as it is.
  std::int32_t Transparent() const { return transparent_; }
  void SetTransparent(std::int32_t mode);

  // The picture as it is drawn, white made transparent when asked.
  const QImage& Image() const;
  QPixmap Pixmap() const;

 private:
  std::unique_ptr<QImage> original_;
  std::unique_ptr<QImage> drawn_;
  std::int32_t transparent_ = 0;
};

}  // namespace kolvane
