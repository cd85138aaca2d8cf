#include "app/ImageButton.h"

#include <qdrawutil.h>
#include <QImage>
#include <QPainter>

#include "core/FormScale.h"

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

ImageButton::ImageButton(const QString& image, const QString& caption, QWidget* parent)
    : QAbstractButton(parent) {
  const std::string file = image.toStdString();
  for (std::size_t i = 0; i < arts_.size(); ++i) {
    const quillo::form::Art& art = quillo::form::kArts[i];
    arts_[i] =
        WithTransparentKey(QPixmap(QString::fromStdString(quillo::form::ArtFile(file, art))));
    arts_[i].setDevicePixelRatio(art.halves / 2.0);
  }
  setText(caption);
  setFocusPolicy(Qt::NoFocus);
}

const QPixmap& ImageButton::image() const {
  const int dpi = qRound(devicePixelRatioF() * quillo::form::kBaseDpi);
  const quillo::form::Art& art = quillo::form::ArtFor(dpi);
  return arts_[static_cast<std::size_t>(&art - quillo::form::kArts)];
}

QSize ImageButton::sizeHint() const {
  const int textWidth = fontMetrics().horizontalAdvance(text());
  const QSize picture = image().deviceIndependentSize().toSize();
  return {picture.width() + kSpacing + textWidth + 8,
          std::max(picture.height(), fontMetrics().height()) + 4};
}

void ImageButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const bool sunken = isDown() || isChecked();
  const QBrush face = palette().brush(QPalette::Button);
  qDrawWinButton(&painter, rect(), palette(), sunken, &face);

  // Places in the form's pixels; Qt draws them at the screen's density, the
  // image from the art drawn for it, pixel for pixel where the two agree.
  const QPixmap& picture = image();
  const QSize size = picture.deviceIndependentSize().toSize();
  const QFontMetrics metrics = fontMetrics();
  const auto place =
      quillo::form::LayOutButton(width(), height(), size.width(), size.height(),
                                 metrics.horizontalAdvance(text()), metrics.height(), sunken);
  if (!picture.isNull()) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRect(QPoint(place.imageLeft, place.imageTop), size), picture);
  }
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(QPoint(place.textLeft, place.textTop + metrics.ascent()), text());
}
