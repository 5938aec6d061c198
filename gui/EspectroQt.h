// The desktop side of the spectra module: the band dialog, the plot window, the CSV table and the
// wavelength calibration dialog.
#pragma once

#include <QDialog>
#include <QWidget>

class QChartView;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace orva {

class DatosEspectro;
class Marco;
class VentanaImagen;

// Runs a command of the spectra module's "Análisis" menu that needs the desktop (the band
// dialog before measuring, the new image, the plot, the table, the calibration); false for
// other ids.
bool ComandoEspectro(Marco& marco, VentanaImagen& v, int id);

// The spectra module's preferences item (its id among the modules' application-level items):
// the continuum settings dialog; false for other ids.
bool PreferenciasEspectro(QWidget* padre, int id);

// "PREFERENCIAS ESPECTROS": MedianaRadio (1..1000) and MedianaFactor (above 0) of PREFANAESPEC.
class DialogoPreferenciasEspectro : public QDialog {
  Q_OBJECT
 public:
  explicit DialogoPreferenciasEspectro(QWidget* padre);
 public slots:
  void accept() override;

 private:
  QLineEdit* radio_;
  QLineEdit* factor_;
};

// "BANDA ESPECTRO": the width of the band and the distance of its sky bands.
class DialogoBandaEspectro : public QDialog {
  Q_OBJECT
 public:
  DialogoBandaEspectro(DatosEspectro& datos, QWidget* padre);
 public slots:
  void accept() override;

 private:
  DatosEspectro& datos_;
  QSpinBox* ancho_;
  QLineEdit* cielo_;
};

// "CALIBRACION ESPECTRO": one "pixel:wavelength" pair per line (the found lines offered with
// an empty wavelength) and the degree of the polynomial.
class DialogoCalibracionEspectro : public QDialog {
  Q_OBJECT
 public:
  DialogoCalibracionEspectro(DatosEspectro& datos, QWidget* padre);
 public slots:
  void accept() override;

 private:
  DatosEspectro& datos_;
  QPlainTextEdit* pares_;
  QSpinBox* grado_;
};

// The plot of a measured spectrum: flux and continuum against pixel or wavelength, the lines
// marked. A window of its own.
class GraficoEspectro : public QWidget {
  Q_OBJECT
 public:
  GraficoEspectro(const DatosEspectro& datos, const QString& titulo, QWidget* padre);
  QChartView* Vista() const { return vista_; }

 private:
  QChartView* vista_;
};

}  // namespace orva
