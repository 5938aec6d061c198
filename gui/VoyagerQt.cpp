// The spacecraft frames' module on the desktop.
#include "gui/VoyagerQt.h"

#include <QFileDialog>
#include <string>
#include <utility>

#include "base/Cadenas.h"
#include "base/EscrituraSegura.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "gui/Marco.h"
#include "gui/Operaciones.h"
#include "gui/VentanaImagen.h"
#include "spacecraft/ModuloVoyager.h"

namespace orva {

namespace {
constexpr int kErrorLinea = 12051;
constexpr int kTituloMarcas = 12591;
constexpr const char* kSufijoMarcas = "_marcas.csv";

// Beside the image, named after it.
std::string NombreMarcasCsv(const Imagen& im) {
  return im.directorio + (im.nombre.empty() ? "reticula" : im.nombre) + kSufijoMarcas;
}

// The marks shown on the image written as the command line writes them. The table is taken
// before the dialog opens, so what is saved is what was on screen; the save dialog asks before
// replacing a file and the writer never replaces anything but a regular file. Errors reach the
// desktop's message box through the caller.
void ExportaMarcas(Marco& marco, const Imagen& im) {
  const DatosVoyager* d = DatosVoyagerDe(im);
  if (!d || d->marcas.empty()) return;
  const std::string tabla = TablaMarcas(d->rejilla, d->marcas);
  QFileDialog dialogo(&marco, QString::fromStdString(Cadena(kTituloMarcas)));
  dialogo.setObjectName("DialogoMarcasCsv");
  dialogo.setOption(QFileDialog::DontUseNativeDialog);
  dialogo.setAcceptMode(QFileDialog::AcceptSave);
  dialogo.setNameFilter("CSV (*.csv)");
  dialogo.setDefaultSuffix("csv");
  dialogo.selectFile(QString::fromStdString(NombreMarcasCsv(im)));
  if (dialogo.exec() != QDialog::Accepted || dialogo.selectedFiles().isEmpty()) return;
  EscribeArchivoSeguro(dialogo.selectedFiles().front().toStdString(), tabla);
}
}  // namespace

bool ComandoVoyagerQt(Marco& marco, VentanaImagen& v, int id) {
  if (v.imagen().TipoObjeto() != kVoyager) return false;
  if (id == kExportarMarcas) {
    ExportaMarcas(marco, std::as_const(v.imagen()));
    return true;
  }
  const std::string linea = LineaComandoVoyager(id);
  if (linea.empty()) return false;
  EjecutaLineaOperacion(marco, v, linea, "RETICULA", kErrorLinea);
  return true;
}

}  // namespace orva
