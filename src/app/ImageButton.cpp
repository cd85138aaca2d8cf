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

  // Image and caption as one block, centred; a pressed button moves it by
  // one pixel right and down.
  const QFontMetrics metrics = fontMetrics();
  const int textWidth = metrics.horizontalAdvance(text());
  const int imageWidth = image_.width();
  const int spacing = imageWidth > 0 && !text().isEmpty() ? kSpacing : 0;
  const int shift = sunken ? 1 : 0;
  const int left = (width() - (imageWidth + spacing + textWidth) + 1) / 2 + shift;

  if (!image_.isNull()) {
    painter.drawPixmap(left, (height() - image_.height() + 1) / 2 + shift, image_);
  }
  const QRect textRect(left + imageWidth + spacing, shift, textWidth, height());
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}
