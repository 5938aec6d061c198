// The image operations of the desktop: the dialogs of the gray-scale transforms, the filters and
// the geometry, each ending in one macro line run through the interpreter on the image.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include <array>

#include "core/IdsComandos.h"
// The proposals of the geometry dialogs live in the library; the desktop tests use them too.
#include "processing/PropuestasGeometria.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace orva {

class Imagen;
class Marco;
class VentanaImagen;

// Menu ids of the filters: the items of the filter table from the first on, the general one last.
constexpr int kPrimerFiltro = kCmdPrimerFiltro;
constexpr int kFiltroGeneral = kCmdFiltroGeneral;
// The popup under "&Tratar" of a filter item and its label; false for an id without item.
bool MenuDeFiltro(int id, std::string& popup, std::string& etiqueta);

// Runs an operation command on the window; false when the id is not an operation.
bool ComandoOperacion(Marco& marco, VentanaImagen& v, int id);
// Runs one macro line on the window as the operation commands do (duplicate when DUPLIMA, undo,
// worker thread, progress window titled titulo; a refused line becomes idError). Returns the
// window that holds the result; duplicar makes a new window whatever DUPLIMA says.
VentanaImagen* EjecutaLineaOperacion(Marco& marco, VentanaImagen& v, const std::string& linea,
                                     const std::string& titulo, int idError,
                                     bool duplicar = false);

// The preview box of the gray-scale dialog: histogram columns in mid gray, table in black.
class VistaCurvaGris : public QWidget {
  Q_OBJECT
 public:
  explicit VistaCurvaGris(QWidget* padre = nullptr);
  void Pon(std::vector<int> columnas, std::vector<int> curva);
  const std::vector<int>& Columnas() const { return columnas_; }
  const std::vector<int>& Curva() const { return curva_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  std::vector<int> columnas_, curva_;
};

// "ESCALADO NIVELES GRIS": the curve list, four labelled fields, lo and hi, "Ver Curva".
class DialogoEscalaGris : public QDialog {
  Q_OBJECT
 public:
  DialogoEscalaGris(Imagen& imagen, QWidget* padre);
  // The chosen curve, after acceptance.
  int Curva() const;

 public slots:
  void accept() override;

 private:
  void MuestraCurva(int curva);
  // Checks the fields (12070) and stores them as the curve's current values.
  bool GuardaCampos();
  void VerCurva();

  Imagen& imagen_;
  QListWidget* lista_;
  QLabel* etiquetas_[4];
  QLineEdit* campos_[4];
  VistaCurvaGris* vista_;
};

// "CALCULO DOBLES": object combos and image lists for calibration, trails and the double, the
// known separation, and the four results recomputed on every change.
class DialogoCalculoDobles : public QDialog {
  Q_OBJECT
 public:
  // The DOBLE images in memory; raises 12066-12068 when there is nothing to compute.
  DialogoCalculoDobles(std::vector<const Imagen*> imagenes, QWidget* padre);
  // The four result texts as shown.
  std::array<std::string, 4> Resultados() const;

 private:
  void Llena(int grupo);
  void Recalcula();

  std::vector<const Imagen*> imagenes_;
  QComboBox* combos_[3];
  QListWidget* listas_[3];
  QLineEdit* distancia_;
  QLabel* resultados_[4];
};

}  // namespace orva
