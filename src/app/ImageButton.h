#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <array>

// A push button that shows an image to the left of its caption, the pair
// centred, drawn raised and sunken like a classic desktop toolbar button. It
// takes no keyboard focus.
class ImageButton : public QAbstractButton {
  Q_OBJECT

 public:
  // image: the file of the 1x art ("logo.bmp"); its denser versions beside
  // it are drawn on denser screens. The colour of each image's bottom-left
  // pixel becomes transparent.
  ImageButton(const QString& image, const QString& caption, QWidget* parent = nullptr);

  // The image as drawn at the button's present density: its pixels those of
  // the art nearest the screen's, its device pixel ratio that art's scale.
  const QPixmap& image() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<QPixmap, 3> arts_;  // as core/FormScale.h lists them
};

// The image with every pixel of its bottom-left pixel's colour made transparent.
QPixmap WithTransparentKey(const QPixmap& image);
