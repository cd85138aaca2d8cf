#include "app/ImageButton.h"

#include <qdrawutil.h>
#include <QImage>
#include <QPainter>

#include "core/FormLayout.h"

namespace {

// Between the image and the caption.
constexpr int kSpacing = quillo::form::kImageCaptionGap;

}  // namespace

QPixmap WithTransparentKey(const QPixmap& image) {
  if (image.isNull()) return image;
  QImage pixels = image.toImage().convertToFormat(QImage::Format_ARGB32);
  const QRgb key = pixels.pixel(0, pixels.height() - 1);
  for (int y = 0; y < pixels.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(pixels.scanLine(y));
    for (int x = 0; x < pixels.width(); ++x) {
      if (row[x] == key) row[x] = qRgba(0, 0, 0, 0);
    }
  }
  return QPixmap::fromImage(pixels);
}

ImageButton::ImageButton(const QPixmap& image, const QString& caption, QWidget* parent)
    : QAbstractButton(parent), image_(WithTransparentKey(image)) {
  setText(caption);
  setFocusPolicy(Qt::NoFocus);
}

QSize ImageButton::sizeHint() const {
  const int textWidth = fontMetrics().horizontalAdvance(text());
  return {image_.width() + kSpacing + textWidth + 8,
          std::max(image_.height(), fontMetrics().height()) + 4};
}

void ImageButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const bool sunken = isDown() || isChecked();
  const QBrush face = palette().brush(QPalette::Button);
  qDrawWinButton(&painter, rect(), palette(), sunken, &face);

  const QFontMetrics metrics = fontMetrics();
  const auto place =
      quillo::form::LayOutButton(width(), height(), image_.width(), image_.height(),
                                 metrics.horizontalAdvance(text()), metrics.height(), sunken);
  if (!image_.isNull()) painter.drawPixmap(place.imageLeft, place.imageTop, image_);
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(QPoint(place.textLeft, place.textTop + metrics.ascent()), text());
}
