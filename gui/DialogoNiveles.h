// The levels dialog: the histogram with black and white markers to drag, numeric fields,
// presets (minimum-maximum, 1 % - 99.5 % percentiles, zscale), "apply to all images" and a live
// preview on the image.
#pragma once

#include <QWidget>
#include <vector>

namespace orva {

class Imagen;

// The histogram of an image between two values with the black and white markers; dragging a
// marker moves that level.
class HistogramaNiveles : public QWidget {
  Q_OBJECT
 public:
  explicit HistogramaNiveles(const Imagen& imagen, QWidget* padre = nullptr);
  void FijaNiveles(int negro, int blanco);
  // Screen column of a value and value of a column, over the shown range.
  double Columna(double valor) const;
  int Valor(double columna) const;
  QSize sizeHint() const override { return {360, 140}; }

 signals:
  void Movidos(int negro, int blanco);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent*) override { arrastre_ = 0; }

 private:
  // The shown range covers the bulk of the pixels and both markers.
  void AjustaRango();
  const Imagen& imagen_;
  int negro_ = 0, blanco_ = 0;
  int desde_ = 0, hasta_ = 1;
  int arrastre_ = 0;  // 1 black, 2 white
};

// Runs the dialog on imagen; otras are the other open images "apply to all" reaches. Returns
// whether it was accepted; cancelling puts every image's levels back.
bool DialogoNiveles(QWidget* padre, Imagen& imagen, const std::vector<Imagen*>& otras);

}  // namespace orva
