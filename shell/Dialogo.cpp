// The table-driven dialog engine.
#include "shell/Dialogo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "base/Cadenas.h"
#include "base/Numeros.h"

namespace orva {
namespace {

// Types whose values are backed up on opening and restored on cancel.
bool ConCopia(int tipo) {
  return (tipo >= kItemEdicion && tipo <= kItemDesplegable) || tipo == kItemComboEdicion ||
         tipo == kItemEdicionViva;
}

const std::vector<std::string>* Opciones(const ItemDialogo& it) {
  return std::get_if<std::vector<std::string>>(&it.extra);
}

}  // namespace

MotorDialogo::MotorDialogo(std::vector<ItemDialogo> tabla, VistaDialogo& vista) : vista_(vista) {
  for (ItemDialogo& it : tabla) {
    if (it.tipo == kItemFin) break;
    items_.push_back(std::move(it));
  }
}

void MotorDialogo::Llena(ItemDialogo& it) {
  static const std::string vacio;
  const std::string& v = it.valor ? *it.valor : vacio;
  switch (it.tipo) {
    case kItemTextoValor:
    case kItemEdicion:
    case kItemEdicionViva:
      vista_.PonTexto(it.id, v);
      break;
    case kItemTextoCadena:
      vista_.PonTexto(it.id, Cadena(it.id2));
      break;
    case kItemCasilla:
      vista_.PonMarca(it.id, LeeEntero(v) != 0);
      break;
    case kItemRadio: {
      int boton = it.id + LeeEntero(v);
      // A value past the last button (or before the first) checks the first one.
      if (boton > it.id2 || boton < it.id) boton = it.id;
      for (int b = it.id; b <= it.id2; ++b) vista_.PonMarca(b, b == boton);
      break;
    }
    case kItemLista:
    case kItemDesplegable:
    case kItemComboEdicion:
      if (const auto* o = Opciones(it)) vista_.PonEntradas(it.id, *o);
      if (it.tipo == kItemComboEdicion) {
        vista_.PonTexto(it.id, v);
      } else {
        vista_.Selecciona(it.id, v);
      }
      break;
    case kItemListaMultiple:
      if (const auto* o = Opciones(it)) vista_.PonEntradas(it.id, *o);
      if (it.seleccion) {
        for (const std::string& s : *it.seleccion) vista_.Selecciona(it.id, s);
      }
      break;
    default:
      break;
  }
}

int MotorDialogo::Abre(int idTitulo) {
  informar_ = 0;
  if (items_.size() > kMaxItems) {
    vista_.Mensaje(Cadena(10157));  // 10157
    return 0;
  }
  copias_.assign(items_.size(), {});
  validos_.assign(items_.size(), 1);
  for (size_t i = 0; i < items_.size(); ++i) {
    if (ConCopia(items_[i].tipo) && items_[i].valor) copias_[i] = *items_[i].valor;
  }
  for (size_t i = 0; i < items_.size(); ++i) {
    ItemDialogo& it = items_[i];
    if (it.tipo == kItemPropio) {
      const MiControl* c = std::get_if<MiControl>(&it.extra);
      if (!c) {
        std::fputs("PUNTERO A DATOS DE MICONTROL ES NULO\n", stderr);
        continue;
      }
      if (c->inicia) c->inicia(it, *this, informar_);
    } else {
      Llena(it);
    }
    validos_[i] = 1;
    // The first fill never reports: a stored illegal value only marks the item.
    if (it.legalidad && it.tipo != kItemBoton) validos_[i] = Comprueba(i, 0);
  }
  if (idTitulo != 0 && idTitulo != -1) vista_.Titulo(Cadena(idTitulo));
  informar_ = 1;
  return 1;
}

int MotorDialogo::Comprueba(size_t i, int informar) {
  ItemDialogo& it = items_[i];
  if (!it.legalidad) return 1;
  if (enLegalidad_) return validos_[i];
  enLegalidad_ = true;
  int r = 1;
  try {
    r = it.legalidad(*this, it, it.extra, informar);
  } catch (...) {
    enLegalidad_ = false;
    throw;
  }
  enLegalidad_ = false;
  return r;
}

ItemDialogo* MotorDialogo::ItemDe(int control, size_t* indice) {
  for (size_t i = 0; i < items_.size(); ++i) {
    ItemDialogo& it = items_[i];
    if (it.tipo == kItemTextoValor || it.tipo == kItemTextoCadena) continue;
    const bool es =
        it.tipo == kItemRadio ? (control >= it.id && control <= it.id2) : control == it.id;
    if (es) {
      *indice = i;
      return &it;
    }
  }
  return nullptr;
}

void MotorDialogo::Notifica(int control, EventoDialogo evento) {
  size_t i = 0;
  ItemDialogo* it = ItemDe(control, &i);
  if (!it) return;
  std::string basura;
  std::string& v = it->valor ? *it->valor : basura;
  switch (it->tipo) {
    case kItemEdicion:
      if (evento == kCambioTexto) {
        v = vista_.Texto(it->id);
        avisado_ = -1;
      } else if (evento == kPierdeFoco && !enLegalidad_) {
        validos_[i] = Comprueba(i, informar_);
        vista_.PonTexto(it->id, v);
        if (!validos_[i]) vista_.Foco(it->id);
        avisado_ = !validos_[i] && informar_ ? static_cast<int>(i) : -1;
      }
      break;
    case kItemEdicionViva:
      if (evento == kCambioTexto) {
        v = vista_.Texto(it->id);
        validos_[i] = Comprueba(i, informar_);
        if (!validos_[i]) vista_.Foco(it->id);
      }
      break;
    case kItemCasilla:
      if (evento == kClic) {
        v = LeeEntero(v) != 0 ? "0" : "1";
        vista_.PonMarca(it->id, v == "1");
        validos_[i] = Comprueba(i, informar_);
      }
      break;
    case kItemRadio:
      if (evento == kClic) {
        for (int b = it->id; b <= it->id2; ++b) vista_.PonMarca(b, b == control);
        v = std::to_string(control - it->id);
        validos_[i] = Comprueba(i, informar_);
      }
      break;
    case kItemLista:
    case kItemDesplegable:
      if (evento == kCambioSeleccion) {
        const auto s = vista_.Seleccionadas(it->id);
        v = s.empty() ? "" : s.front();
      }
      break;
    case kItemComboEdicion:
      if (evento == kCambioSeleccion) {
        const auto s = vista_.Seleccionadas(it->id);
        v = s.empty() ? "" : s.front();
      } else if (evento == kCambioTexto) {
        v = vista_.Texto(it->id);
      } else {
        break;
      }
      validos_[i] = Comprueba(i, informar_);
      break;
    case kItemListaMultiple:
      if (evento == kCambioSeleccion && it->seleccion)
        *it->seleccion = vista_.Seleccionadas(it->id);
      break;
    case kItemBoton:
      if (evento == kClic) validos_[i] = Comprueba(i, informar_);
      break;
    case kItemPropio:
      if (const MiControl* c = std::get_if<MiControl>(&it->extra); c && c->notifica) {
        c->notifica(*it, *this, evento);
      }
      validos_[i] = Comprueba(i, informar_);
      break;
    default:
      break;
  }
}

void MotorDialogo::Restaura() {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (ConCopia(items_[i].tipo) && items_[i].valor) *items_[i].valor = copias_[i];
  }
}

int MotorDialogo::Acepta() {
  if (std::any_of(validos_.begin(), validos_.end(), [](int v) { return v != 1; })) {
    Restaura();
    return 0;
  }
  for (ItemDialogo& it : items_) {
    if (!it.valor) continue;
    switch (it.tipo) {
      case kItemEdicion:
      case kItemEdicionViva:
        *it.valor = vista_.Texto(it.id);
        break;
      case kItemCasilla:
        *it.valor = vista_.Marca(it.id) ? "1" : "0";
        break;
      case kItemRadio: {
        int marcado = -1;
        for (int b = it.id; b <= it.id2; ++b) {
          if (vista_.Marca(b)) marcado = b - it.id;
        }
        if (marcado < 0) {
          vista_.Mensaje(Mensaje(10158, std::to_string(it.id)));  // 10158
        } else {
          *it.valor = std::to_string(marcado);
        }
        break;
      }
      case kItemLista:
      case kItemDesplegable: {
        const auto s = vista_.Seleccionadas(it.id);
        if (!s.empty()) *it.valor = s.front();
        break;
      }
      case kItemComboEdicion:
        *it.valor = vista_.Texto(it.id);
        break;
      default:
        break;
    }
  }
  return 1;
}

std::string MotorDialogo::Etiqueta(int id) const {
  auto it = etiquetas_.find(id);
  return it == etiquetas_.end() ? std::string() : it->second;
}

int MotorDialogo::PrimerIlegal() {
  for (size_t i = 0; i < items_.size(); ++i) {
    ItemDialogo& it = items_[i];
    if (!it.legalidad || it.tipo == kItemBoton || it.tipo == kItemPropio) continue;
    if (it.valor &&
        (it.tipo == kItemEdicion || it.tipo == kItemEdicionViva || it.tipo == kItemComboEdicion)) {
      *it.valor = vista_.Texto(it.id);
    }
    // A value refused a moment ago on leaving its field is not reported twice.
    const bool informar = static_cast<int>(i) != avisado_;
    validos_[i] = Comprueba(i, informar ? 1 : 0);
    if (!validos_[i]) {
      avisado_ = -1;
      vista_.Foco(it.id);
      return it.id;
    }
  }
  avisado_ = -1;
  return 0;
}

void MotorDialogo::Cancela() {
  Restaura();
}

void MotorDialogo::Pinta() {
  for (ItemDialogo& it : items_) {
    if (it.tipo != kItemPropio) continue;
    if (const MiControl* c = std::get_if<MiControl>(&it.extra); c && c->pinta) c->pinta(it, *this);
  }
}

namespace {

// The label as a name: without accelerator marks and the closing colon.
std::string NombreCampo(std::string etiqueta) {
  etiqueta.erase(std::remove(etiqueta.begin(), etiqueta.end(), '&'), etiqueta.end());
  while (!etiqueta.empty() && (etiqueta.back() == ' ' || etiqueta.back() == ':')) {
    etiqueta.pop_back();
  }
  return etiqueta;
}

void InformaRango(MotorDialogo& d, const ItemDialogo& item, const std::string& valor,
                  const std::string& minimo, const std::string& maximo) {
  const std::string etiqueta = NombreCampo(d.Etiqueta(item.id));
  if (etiqueta.empty()) {
    d.Vista().Mensaje(Mensaje(10160, valor, minimo, maximo));  // 10160
  } else {
    d.Vista().Mensaje(Mensaje(12070, etiqueta, minimo, maximo));  // 12070
  }
}

}  // namespace

int LegalidadEntero(MotorDialogo& d, ItemDialogo& item, const ExtraDialogo& extra, int informar) {
  const RangoEntero* r = std::get_if<RangoEntero>(&extra);
  if (!r) {
    if (informar) d.Vista().Mensaje(Cadena(10159));  // 10159
    return 1;
  }
  const std::string texto = item.valor ? *item.valor : std::string();
  const std::optional<int> v = LeeEnteroComprobado(texto);
  if (v && *v >= r->minimo && *v <= r->maximo) return 1;
  if (informar) {
    InformaRango(d, item, v ? std::to_string(*v) : texto, std::to_string(r->minimo),
                 std::to_string(r->maximo));
  }
  return 0;
}

int LegalidadReal(MotorDialogo& d, ItemDialogo& item, const ExtraDialogo& extra, int informar) {
  const RangoReal* r = std::get_if<RangoReal>(&extra);
  if (!r) {
    if (informar) d.Vista().Mensaje(Cadena(10159));  // 10159
    return 1;
  }
  const std::string texto = item.valor ? *item.valor : std::string();
  const std::optional<double> v = LeeRealComprobado(texto);
  if (v && *v >= r->minimo && *v <= r->maximo) return 1;
  if (informar) {
    auto f = [](double x) {
      char b[64];
      std::snprintf(b, sizeof b, "%.2lf", x);
      return std::string(b);
    };
    InformaRango(d, item, v ? f(*v) : texto, f(r->minimo), f(r->maximo));
  }
  return 0;
}

int LegalidadSiempre(MotorDialogo&, ItemDialogo&, const ExtraDialogo&, int) {
  return 1;
}

}  // namespace orva
