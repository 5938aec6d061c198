// The desktop side of the planetary module: photometric cuts in a chart window with their CSV,
// and the measured features exported as CSV.
#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "planetary/Disco.h"

class QChartView;

namespace orva {

class Marco;
class VentanaImagen;

// Runs the module's desktop commands on the active image (the three cuts, the features' CSV);
// false for any other id or image.
bool ComandoPlanetasQt(Marco& marco, VentanaImagen& v, int id);

// A cut drawn as value (and Minnaert-corrected value when asked for) along the cut, with a
// button saving it as CSV.
class GraficoCorte : public QWidget {
  Q_OBJECT

 public:
  GraficoCorte(std::vector<MuestraCorte> muestras, bool corregido, const QString& titulo,
               QWidget* padre);
  const std::vector<MuestraCorte>& Muestras() const { return muestras_; }

 private:
  std::vector<MuestraCorte> muestras_;
  QChartView* vista_ = nullptr;
};

}  // namespace orva
