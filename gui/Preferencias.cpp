// Settings dialogs as dialog tables bound to working copies of the settings; accepting writes
// them back, cancelling leaves the settings untouched.
#include "gui/Preferencias.h"

#include <deque>
#include <memory>

#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "formats/TiposArchivo.h"
#include "gui/DialogoQt.h"
#include "shell/Configuracion.h"

namespace orva {

namespace {

constexpr int kMinPixel = -32768, kMaxPixel = 32767;

// One field of a settings dialog: item type, key, label and its range or choices.
struct Campo {
  int tipo;
  std::string clave;
  std::string etiqueta;
  ExtraDialogo extra = {};
  std::vector<std::string> radios = {};  // labels of the radio buttons
};

// Builds the table over copies of the settings, runs it, and writes the copies back on accept.
int DialogoAjustes(QWidget* padre, const std::string& titulo, const std::vector<Campo>& campos,
                   int filasPorColumna = 0) {
  Configuracion& cfg = Configuracion::Global();
  std::deque<std::string> valores;  // stable addresses for the bound values
  std::vector<ItemDialogo> tabla;
  DisenoDialogo diseno;
  diseno.titulo = titulo;
  diseno.filasPorColumna = filasPorColumna;
  int id = 100;
  for (const Campo& c : campos) {
    valores.push_back(cfg.Valor(c.clave));
    ItemDialogo it;
    it.tipo = c.tipo;
    it.id = id;
    it.valor = &valores.back();
    it.extra = c.extra;
    if (std::holds_alternative<RangoEntero>(c.extra)) it.legalidad = &LegalidadEntero;
    if (std::holds_alternative<RangoReal>(c.extra)) it.legalidad = &LegalidadReal;
    if (c.tipo == kItemRadio) {
      // The group's caption sits on the negated first id; the buttons carry their own texts.
      diseno.controles.push_back({-id, c.etiqueta});
      it.id2 = id + static_cast<int>(c.radios.size()) - 1;
      for (size_t i = 0; i < c.radios.size(); ++i) {
        diseno.controles.push_back({id + static_cast<int>(i), c.radios[i]});
      }
      id += static_cast<int>(c.radios.size());
    } else {
      diseno.controles.push_back({id, c.etiqueta});
      ++id;
    }
    tabla.push_back(std::move(it));
  }
  if (!EjecutarDialogo(std::move(tabla), diseno, 0, padre)) return 0;
  size_t i = 0;
  for (const Campo& c : campos) {
    for (const EntradaConfig& e : cfg.Entradas()) {
      if (e.clave == c.clave) {
        cfg.Asigna(e.seccion, e.clave, valores[i]);
        break;
      }
    }
    ++i;
  }
  cfg.ActualizaDerivados();
  return 1;
}

std::vector<std::string> ClavesTipos(bool conLector) {
  std::vector<std::string> r;
  for (const RegistroTipoArchivo& t : ListaTiposArchivo()) {
    if (!conLector || t.lee || t.guarda) r.push_back(t.clave);
  }
  return r;
}

std::vector<std::string> ClavesObjeto() {
  std::vector<std::string> r;
  for (int t = 0; t < kNumTiposObjeto; ++t) r.push_back(PalabraTipoObjeto(t));
  return r;
}

}  // namespace

int DialogoGenerales(QWidget* padre) {
  const RangoEntero pixel{kMinPixel, kMaxPixel};
  return DialogoAjustes(padre, "DATOS GENERALES DE CONFIGURACION",
                        {
                            {kItemCasilla, "DUPLIMA", "Duplicar imagen antes de tratarla"},
                            {kItemCasilla, "ASKEXIT", "Preguntar al cerrar imágenes modificadas"},
                            {kItemCasilla, "MAXIMIZAR", "Ventana principal maximizada"},
                            {kItemCasilla, "GUARCONF", "Guardar configuración al salir"},
                            {kItemEdicion, "TIPOCURSOR", "Cursor (0-17)", RangoEntero{0, 17}},
                            {kItemEdicion, "CONTNEGRO", "Nivel negro", pixel},
                            {kItemEdicion, "CONTBLANCO", "Nivel blanco", pixel},
                            {kItemEdicion, "VALORMIN", "Valor mínimo", pixel},
                            {kItemEdicion, "VALORMAX", "Valor máximo", pixel},
                            {kItemEdicion, "VALORDEF", "Valor fuera de imagen", pixel},
                            {kItemEdicion, "DIRARCHIVOS", "Directorio archivos"},
                            {kItemEdicion, "DIRGUARDAR", "Directorio guardar"},
                            {kItemEdicion, "DIRMACROS", "Directorio macros"},
                            {kItemEdicion, "MACROINICIAL", "Macro inicial"},
                            {kItemCasilla, "EJECMACINI", "Ejecutar macro inicial"},
                            {kItemDesplegable, "TIPOOBJINI", "Tipo objeto inicial", ClavesObjeto()},
                            {kItemCasilla, "SACARLOG", "Sacar log"},
                        },
                        9);
}

int DialogoTiposArchivo(QWidget* padre) {
  return DialogoAjustes(
      padre, "CONFIGURAR TIPOS DE ARCHIVOS",
      {
          {kItemDesplegable, "TIPARCHLEER", "Tipo al leer", ClavesTipos(true)},
          {kItemDesplegable, "TIPARCHGUARDAR", "Tipo al guardar", ClavesTipos(true)},
          {kItemCasilla, "TIPOAUTO", "Detectar el tipo automáticamente"},
          {kItemCasilla, "IMGREAL", "Imagen real"},
          {kItemCasilla, "LEEDATORVA", "Leer archivo de datos"},
          {kItemCasilla, "GUARDATORVA", "Guardar archivo de datos"},
          {kItemCasilla, "GUARMISMOTIPO", "Guardar con el mismo tipo"},
          {kItemCasilla, "CAMBEXTEN", "Cambiar extensión"},
          {kItemEdicion, "EXTENTRAT", "Extensión de los tratados"},
          {kItemCasilla, "FILAUNOABAJO", "FITS: primera fila abajo"},
      });
}

int DialogoHistograma(QWidget* padre) {
  const RangoEntero positivo{1, 1000000};
  return DialogoAjustes(padre, "DATOS HISTOGRAMA",
                        {
                            {kItemEdicion, "TAMHISX", "Ancho", RangoEntero{32, 4000}},
                            {kItemEdicion, "TAMHISY", "Alto", RangoEntero{32, 4000}},
                            {kItemEdicion, "INCDIVHOR", "Divisiones horizontales", positivo},
                            {kItemEdicion, "INCDIVVER", "Divisiones verticales", positivo},
                            {kItemEdicion, "INCNUMHOR", "Números horizontales", positivo},
                            {kItemEdicion, "INCNUMVER", "Números verticales", positivo},
                            {kItemEdicion, "MAXVALVER", "Máximo vertical", positivo},
                            {kItemRadio, "TIPOESCALA", "Escala", {}, {"Lineal", "Logarítmica"}},
                        });
}

int DialogoVentanaDatos(QWidget* padre) {
  return DialogoAjustes(padre, "VENTANA DATOS IMAGEN",
                        {
                            {kItemEdicion, "TAMDATX", "Ancho", RangoEntero{32, 4000}},
                            {kItemEdicion, "TAMDATY", "Alto", RangoEntero{32, 4000}},
                            {kItemEdicion, "TAMFUEN", "Tamaño fuente", RangoEntero{6, 40}},
                            {kItemCasilla, "DATMIN", "Minimizada"},
                        });
}

int DialogoImagenNueva(QWidget* padre, std::string& nombre, int& ancho, int& alto) {
  Configuracion& cfg = Configuracion::Global();
  std::string n = nombre, x = cfg.Valor("IMGNUEVAX"), y = cfg.Valor("IMGNUEVAY");
  std::vector<ItemDialogo> tabla(3);
  tabla[0] = {kItemEdicion, 100, 0, &n, {}, {}, nullptr};
  tabla[1] = {kItemEdicion, 101, 0, &x, &LegalidadEntero, RangoEntero{1, 20000}, nullptr};
  tabla[2] = {kItemEdicion, 102, 0, &y, &LegalidadEntero, RangoEntero{1, 20000}, nullptr};
  DisenoDialogo d{"DATOS IMAGEN NUEVA", {{100, "Nombre"}, {101, "Ancho"}, {102, "Alto"}}, 0};
  if (!EjecutarDialogo(std::move(tabla), d, 0, padre)) return 0;
  cfg.Asigna("ImagenNueva", "IMGNUEVAX", x);
  cfg.Asigna("ImagenNueva", "IMGNUEVAY", y);
  nombre = n.empty() ? "NUEVA" : n;
  ancho = cfg.Entero("IMGNUEVAX");
  alto = cfg.Entero("IMGNUEVAY");
  return 1;
}

int DialogoCurvaGrises(QWidget* padre, Imagen& imagen) {
  std::string negro = std::to_string(imagen.Negro()), blanco = std::to_string(imagen.Blanco());
  std::vector<ItemDialogo> tabla(2);
  tabla[0] = {kItemEdicion, 100, 0, &negro, &LegalidadEntero, RangoEntero{kMinPixel, kMaxPixel},
              nullptr};
  tabla[1] = {kItemEdicion, 101, 0, &blanco, &LegalidadEntero, RangoEntero{kMinPixel, kMaxPixel},
              nullptr};
  DisenoDialogo d{"CAMBIAR CURVA GRISES", {{100, "Negro"}, {101, "Blanco"}}, 0};
  if (!EjecutarDialogo(std::move(tabla), d, 0, padre)) return 0;
  imagen.FijaNiveles(std::stoi(negro), std::stoi(blanco));
  imagen.repintar = 1;
  return 1;
}

std::vector<std::string> SeleccionImagenes(QWidget* padre,
                                           const std::vector<std::string>& nombres) {
  std::vector<std::string> elegidas;
  std::vector<ItemDialogo> tabla(1);
  tabla[0].tipo = kItemListaMultiple;
  tabla[0].id = 100;
  tabla[0].extra = nombres;
  tabla[0].seleccion = &elegidas;
  DisenoDialogo d{"SELECCIÓN DE IMAGENES", {{100, "Imagenes"}}, 0};
  if (!EjecutarDialogo(std::move(tabla), d, 0, padre)) return {};
  return elegidas;
}

int DialogoMacroDisco(QWidget* padre) {
  return DialogoAjustes(
      padre, "EJECUTAR MACRO EN DISCO",
      {
          {kItemEdicion, "MACRODISCO", "Macro"},
          {kItemEdicion, "DIRGUARDAR", "Directorio de salida"},
          {kItemCasilla, "GUARMISMOTIPO", "Guardar con el mismo tipo"},
          {kItemDesplegable, "TIPARCHGUARDAR", "Tipo al guardar", ClavesTipos(true)},
          {kItemCasilla, "CAMBEXTEN", "Cambiar extensión"},
          {kItemEdicion, "EXTENTRAT", "Extensión de los tratados"},
      });
}

}  // namespace orva
