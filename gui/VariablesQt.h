// The desktop side of the variable-star series: the series settings, the field dialog on a
// reference image, the run over open windows or files, and the light-curve window.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "stellar/CampoVariable.h"
#include "stellar/SerieVariable.h"

class QCheckBox;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QScatterSeries;
class QTableWidget;

namespace orva {

class Marco;
class VentanaImagen;

// The variable-star module's desktop commands: 6803 (the field dialog on the active image),
// 6804 and the module's second application item (the light curve), its first application item
// (the series settings). v may be null (no image open). False for other ids.
bool ComandoVariablesQt(Marco& marco, VentanaImagen* v, int id);

// "CAMPO": the field's name, apertures and ephemeris, the image's stars with their roles (those
// given with the right-click menu preset) and catalogue magnitudes, and the file. Accepting
// centres the stars, finds the reference's star list and saves the field; "Cargar" reads a field
// file back into the dialog.
class DialogoCampo : public QDialog {
  Q_OBJECT
 public:
  DialogoCampo(Marco& marco, VentanaImagen& v);
  // Reads the field file named in the dialog into it (the stars by name, new rows for others).
  void Carga();
 public slots:
  void accept() override;

 private:
  void AnadeFila(const std::string& nombre, double x, double y, int papel, double magnitud);
  Marco& marco_;
  VentanaImagen& ventana_;
  QLineEdit* nombre_;
  QLineEdit* radios_[3];
  QLineEdit* epoca_;
  QLineEdit* periodo_;
  QLineEdit* archivo_;
  QTableWidget* tabla_;
};

// The light curve of a measured series: the variable against the first comparison star or the
// ensemble above, the check star below, with or without error bars; a click on a point brings
// up its frame (its window, or the file opened). The time of minimum and its O-C, the frames
// left out with their reasons, and the CSV table and AAVSO report on demand.
class GraficoCurvaLuz : public QWidget {
  Q_OBJECT
 public:
  // Frame k is ventanas[k] when that is not null, else the file archivos[k].
  GraficoCurvaLuz(Marco& marco, CampoVariable campo, ResultadoSerie resultado,
                  std::vector<VentanaImagen*> ventanas, std::vector<std::string> archivos);
  QChartView* Vista() const { return vista_; }
  QChartView* VistaControl() const { return control_; }
  // The clickable points of the variable and of the check star.
  QScatterSeries* Puntos() const { return puntosSerie_; }
  QScatterSeries* PuntosControl() const { return puntosControlSerie_; }
  // The frame of each plotted point of the variable, in series order.
  const std::vector<size_t>& FotogramasPuntos() const { return puntos_; }
  // Brings up frame k.
  void ActivaFotograma(size_t k);
  void GuardaCsv(const std::string& archivo) const;
  void GuardaAavso(const std::string& archivo) const;
  QString TextoMinimo() const;

 private:
  void Dibuja();
  Marco& marco_;
  CampoVariable campo_;
  ResultadoSerie resultado_;
  std::vector<QPointer<VentanaImagen>> ventanas_;
  std::vector<std::string> archivos_;
  std::vector<size_t> puntos_, puntosControl_;
  QComboBox* diferencia_;
  QCheckBox* barras_;
  QChartView* vista_;
  QChartView* control_;
  QScatterSeries* puntosSerie_ = nullptr;
  QScatterSeries* puntosControlSerie_ = nullptr;
  QLabel* minimo_;
  QPlainTextEdit* fallidos_;
};

}  // namespace orva
