// The desktop program: settings, file types, frame, command line, modules, start-up macro.
#include <QApplication>
#include <QMessageBox>
#include <filesystem>
#include <memory>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "macro/Macro.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"
#include "shell/Idioma.h"

int main(int argc, char** argv) {
  using namespace orva;
  QApplication app(argc, argv);
  const std::string archivo = ArchivoConfiguracion();
  ArrancaConfiguracion(archivo);
  AplicaIdioma(Configuracion::Global());
  InstalaSistema();

  Marco marco;
  marco.archivoConfig = archivo;
  std::vector<std::string> archivos;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.find("/D") != std::string::npos && a.size() == 2) {
      ModoSilencioso() = true;
    } else if (a.rfind("/C=", 0) == 0) {
      // The name up to the first '.', blank or the end, with extension INI, beside the settings.
      std::string nombre = a.substr(3);
      nombre = nombre.substr(0, nombre.find_first_of(". "));
      const auto dir = std::filesystem::path(archivo).parent_path();
      LeeConfiguracion((dir / (nombre + ".INI")).string());
    } else {
      archivos.push_back(a);
    }
  }
  if (Configuracion::Global().Valor("MAXIMIZAR") == "1") {
    marco.showMaximized();
  } else {
    marco.resize(1000, 700);
    marco.show();
  }
  marco.RefrescaMenus();
  for (const std::string& a : archivos) marco.AbreArchivo(a);

  const Configuracion& cfg = Configuracion::Global();
  if (cfg.Valor("EJECMACINI") == "1" && !cfg.Valor("MACROINICIAL").empty()) {
    // The start-up macro runs on an empty image; what it reads into it opens in a window.
    auto im = std::make_unique<Imagen>();
    try {
      EjecutaMacro(*im, CargaMacro(cfg.Valor("MACROINICIAL")));
      if (!im->Vacia()) marco.MuestraImagen(std::move(im));
    } catch (const JError&) {
      QMessageBox::warning(&marco, QString::fromStdString(Cadena(12000)),
                           QString::fromStdString(Cadena(12005)));
    }
  }
  return app.exec();
}
