// The double-star analysis module.
#include "analyses/ModuloDobles.h"

#include "analyses/Dobles.h"
#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "stellar/Centroide.h"

namespace orva {

ModuloDobles::ModuloDobles() : ModuloBasico({kDoble}, {Cadena(14000)}) {}

Menu ModuloDobles::MenuAnalisis(const Imagen&) {
  Menu m;
  m.Anade(kPreferenciasDobles, Cadena(6400));
  m.Anade(kCalcularDobles, Cadena(6401));
  return m;
}

Menu ModuloDobles::MenuContextual(const Imagen& imagen) {
  static const DatosDobles kVacios;
  const DatosDobles* p = DatosDoblesDe(imagen);
  const DatosDobles& d = p ? *p : kVacios;
  const Trazo& t1 = d.trazos[0];
  const Trazo& t2 = d.trazos[1];
  Menu m;
  m.titulo = Cadena(3013);
  m.Anade(kDefinirPrincipal, Cadena(kDefinirPrincipal), !d.a.definido);
  m.Anade(kDefinirSecundaria, Cadena(kDefinirSecundaria), !d.b.definido);
  m.Anade(kInicioTrazo1, Cadena(kInicioTrazo1), !t1.inicioDefinido);
  m.Anade(kFinalTrazo1, Cadena(kFinalTrazo1), !t1.finalDefinido);
  m.Anade(kInicioTrazo2, Cadena(kInicioTrazo2), !t2.inicioDefinido);
  m.Anade(kFinalTrazo2, Cadena(kFinalTrazo2), !t2.finalDefinido);
  m.Anade(kEstrInicial1, Cadena(kEstrInicial1), !t1.estrOrigenDefinida);
  m.Anade(kEstrFinal1, Cadena(kEstrFinal1), !t1.estrFinalDefinida);
  m.Anade(kEstrInicial2, Cadena(kEstrInicial2), !t2.estrOrigenDefinida);
  m.Anade(kEstrFinal2, Cadena(kEstrFinal2), !t2.estrFinalDefinida);
  m.elementos.push_back(ElementoMenu::Separador());
  m.Anade(kLimpiarPuntos, Cadena(kLimpiarPuntos));
  return m;
}

void ModuloDobles::ComandoContextual(Imagen& imagen, int, int id, PuntoImagen pt) {
  DatosDobles& d = DatosDoblesDe(imagen);
  const ParametrosCentroide p = LeeParametrosCentroide();
  switch (id) {
    case kDefinirPrincipal:
    case kDefinirSecundaria:
      DefineComponente(imagen, d, id == kDefinirSecundaria, pt.x, pt.y, p);
      break;
    case kInicioTrazo1:
    case kFinalTrazo1:
      DefineExtremoTrazo(imagen, d, 0, id == kFinalTrazo1, pt.x, pt.y, p);
      break;
    case kInicioTrazo2:
    case kFinalTrazo2:
      DefineExtremoTrazo(imagen, d, 1, id == kFinalTrazo2, pt.x, pt.y, p);
      break;
    case kEstrInicial1:
    case kEstrFinal1:
      DefineEstrellaTrazo(imagen, d, 0, id == kEstrFinal1, pt.x, pt.y, p);
      break;
    case kEstrInicial2:
    case kEstrFinal2:
      DefineEstrellaTrazo(imagen, d, 1, id == kEstrFinal2, pt.x, pt.y, p);
      break;
    case kLimpiarPuntos:
      d.Limpia();
      break;
    default:
      break;
  }
}

void ModuloDobles::Informacion(const Imagen& imagen, std::vector<std::string>& lineas) {
  if (const DatosDobles* d = DatosDoblesDe(imagen)) {
    for (std::string& l : LineasDobles(*d)) lineas.push_back(std::move(l));
  }
  InformacionDefecto(imagen, lineas);
}

void ModuloDobles::Pintar(const Imagen& imagen, Lienzo& lienzo) {
  const DatosDobles* d = DatosDoblesDe(imagen);
  if (!d) return;
  constexpr Color kMarca{0, 255, 0}, kLinea{255, 255, 0}, kBlanco{255, 255, 255};
  constexpr double kTam = 5, kDesplTexto = 10;
  auto marca = [&](const PuntoDoble& p, const char* letra) {
    lienzo.Cruz(p.x, p.y, kTam, kMarca);
    if (letra) lienzo.Texto(p.x + kDesplTexto, p.y, letra, kBlanco);
  };
  if (d->a.definido) marca(d->a.centroide, "A");
  if (d->b.definido) marca(d->b.centroide, "B");
  for (const Trazo& t : d->trazos) {
    // Trail points carry no letter; the drifting star's two positions are O and F.
    if (t.inicioMedido) marca(t.inicio, t.letraInicio == 'E' ? "O" : nullptr);
    if (t.finalMedido) marca(t.fin, t.letraFin == 'E' ? "F" : nullptr);
    if (t.inicioMedido && t.finalMedido) {
      lienzo.Linea(t.inicio.x, t.inicio.y, t.fin.x, t.fin.y, kLinea);
    }
  }
}

std::unique_ptr<DatosAnalisis> ModuloDobles::CrearDatos(Imagen&) {
  return std::make_unique<DatosDobles>();
}

}  // namespace orva
