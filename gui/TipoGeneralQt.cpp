// The GENERAL type's dialog: one table row per setting, bound to working copies that are
// written back only when the dialog is accepted.
#include "gui/TipoGeneralQt.h"

#include <deque>
#include <string>
#include <vector>

#include "base/Cadenas.h"
#include "formats/TiposArchivo.h"
#include "formats/camaras/Camaras.h"
#include "gui/DialogoQt.h"
#include "shell/Configuracion.h"

namespace orva {
namespace {

constexpr int kTituloGeneral = 11121;  // "TIPO ARCHIVO GENERAL"
constexpr int kPrimerId = 100;
constexpr int kMaxDesplazamiento = 2147483647;

struct FilaGeneral {
  const char* clave;  // in TipoArch_GENERAL; "FILTRO" is the registry's filter
  const char* etiqueta;
  int tipo;
  ExtraDialogo extra = {};
  std::vector<std::string> radios = {};
};

const std::vector<FilaGeneral>& Filas() {
  static const std::vector<FilaGeneral> filas = {
      {"FILTRO", "Extensiones:", kItemEdicion},
      {"DESPLAZAMIENTO", "Desplazamiento (bytes):", kItemEdicion,
       RangoEntero{0, kMaxDesplazamiento}},
      {"ANCHO", "Ancho:", kItemEdicion, RangoEntero{1, kMaxLadoGeneral}},
      {"ALTO", "Alto:", kItemEdicion, RangoEntero{1, kMaxLadoGeneral}},
      {"BITS", "Bits por pixel:", kItemDesplegable, std::vector<std::string>{"8", "12", "16"}},
      {"ORDEN",
       "Orden de los bytes",
       kItemRadio,
       {},
       {"Menos significativo primero", "Más significativo primero"}},
      {"SIGNO", "Valores con signo", kItemCasilla},
      {"PREFIJO", "Prefijo de fila (bytes):", kItemEdicion, RangoEntero{0, kMaxBordeGeneral}},
      {"SUFIJO", "Sufijo de fila (bytes):", kItemEdicion, RangoEntero{0, kMaxBordeGeneral}},
  };
  return filas;
}

}  // namespace

int DialogoTipoGeneral(QWidget* padre) {
  RegistroTipoArchivo* registro = BuscaTipoArchivo(kGeneral);
  if (!registro) return 0;
  Configuracion& cfg = Configuracion::Global();
  const std::string seccion = SeccionTipoArchivo(*registro);
  std::deque<std::string> valores;  // stable addresses for the bound values
  std::vector<ItemDialogo> tabla;
  DisenoDialogo diseno;
  diseno.titulo = Cadena(kTituloGeneral);
  int id = kPrimerId;
  for (const FilaGeneral& f : Filas()) {
    valores.push_back(cfg.Valor(seccion, f.clave));
    ItemDialogo it;
    it.tipo = f.tipo;
    it.id = id;
    it.valor = &valores.back();
    it.extra = f.extra;
    if (std::holds_alternative<RangoEntero>(f.extra)) it.legalidad = &LegalidadEntero;
    if (f.tipo == kItemRadio) {
      // The group's caption sits on the negated first id; the buttons carry their own texts.
      diseno.controles.push_back({-id, f.etiqueta});
      it.id2 = id + static_cast<int>(f.radios.size()) - 1;
      for (const std::string& r : f.radios) diseno.controles.push_back({id++, r});
    } else {
      diseno.controles.push_back({id++, f.etiqueta});
    }
    tabla.push_back(std::move(it));
  }
  if (!EjecutarDialogo(std::move(tabla), diseno, 0, padre)) return 0;
  for (size_t i = 0; i < Filas().size(); ++i) {
    const std::string clave = Filas()[i].clave;
    if (clave == "FILTRO") {
      FijaFiltroTipoArchivo(*registro, valores[i]);
    } else {
      cfg.Asigna(seccion, clave, valores[i]);
    }
  }
  return 1;
}

}  // namespace orva
