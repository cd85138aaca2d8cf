#pragma once

#include <QAbstractButton>
#include <QPixmap>

// A push button that shows an image to the left of its caption, the pair
// centred, drawn raised and sunken like a classic desktop toolbar button. It
// takes no keyboard focus.
class ImageButton : public QAbstractButton {
  Q_OBJECT

 public:
  // The colour of the image's bottom-left pixel becomes transparent.
  ImageButton(const QPixmap& image, const QString& caption, QWidget* parent = nullptr);

  const QPixmap& image() const { return image_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap image_;
};

// The image with every pixel of its bottom-left pixel's colour made transparent.
QPixmap WithTransparentKey(const QPixmap& image);
