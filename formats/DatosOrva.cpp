// The side data file: writing, escaping and the tolerant reader.
#include "formats/DatosOrva.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "astro/LectorTexto.h"
#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"

namespace orva {
namespace {

constexpr const char* kClaveTarjeta = "TARJETAFITS";

std::string Escapa(std::string_view v) {
  std::string r;
  r.reserve(v.size());
  for (char ch : v) {
    if (ch == '\\')
      r += "\\\\";
    else if (ch == '\n')
      r += "\\n";
    else if (ch == '\r')
      r += "\\r";
    else
      r += ch;
  }
  return r;
}

std::string Desescapa(std::string_view v) {
  std::string r;
  r.reserve(v.size());
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '\\' || i + 1 == v.size()) {
      r += v[i];
      continue;
    }
    const char s = v[++i];
    r += s == 'n' ? '\n' : s == 'r' ? '\r' : s;
  }
  return r;
}

void Linea(std::string& t, std::string_view clave, std::string_view valor) {
  t += clave;
  t += '=';
  t += Escapa(valor);
  t += '\n';
}

// "set x y" with integers.
bool LeePunto(std::string_view v, PuntoReferencia& p) {
  LectorTexto l(v);
  int s = 0, x = 0, y = 0;
  if (!l.Entero(s) || !l.Entero(x) || !l.Entero(y)) return false;
  p.definido = static_cast<int16_t>(s != 0);
  p.x = x;
  p.y = y;
  return true;
}

bool LeePuntoTrans(std::string_view v, PuntoTransformacion& p) {
  LectorTexto l(v);
  int s = 0;
  double x = 0, y = 0;
  if (!l.Entero(s) || !l.Real(x) || !l.Real(y)) return false;
  p.definido = s != 0;
  p.x = x;
  p.y = y;
  return true;
}

bool LeeEnteroCompleto(std::string_view v, int32_t& destino) {
  LectorTexto l(v);
  int x = 0;
  if (!l.Entero(x)) return false;
  destino = x;
  return true;
}

}  // namespace

std::string NombreDatosOrva(const std::string& archivoImagen) {
  // An image named through a symbolic link has its side data beside the file itself, where
  // writing through the link puts the image.
  std::error_code e;
  if (std::filesystem::is_symlink(archivoImagen, e)) {
    try {
      return DestinoEscritura(archivoImagen) + ".dat";
    } catch (const JError&) {
      // Not a file behind the link: the name as given.
    }
  }
  return archivoImagen + ".dat";
}

std::string TextoDatosOrva(const Imagen& im) {
  std::string t = kCabeceraDatosOrva;
  t += '\n';
  for (const std::string& clave : ClavesDatosImagen()) {
    // A field without a value is written empty, which readers leave without one.
    Linea(t, clave,
          TieneDatoImagen(im.datos, clave) || clave == "TIPOOBJ" ? TextoDatoImagen(im.datos, clave)
                                                                 : std::string());
  }
  Linea(t, "OFFSETX", std::to_string(im.offsetX));
  Linea(t, "OFFSETY", std::to_string(im.offsetY));
  char b[128];
  for (const auto& [clave, i] : ClavesPuntosReferencia()) {
    const PuntoReferencia& p = im.puntos[static_cast<size_t>(i)];
    std::snprintf(b, sizeof b, "%d %d %d", p.definido != 0, p.x, p.y);
    Linea(t, clave, b);
  }
  for (size_t k = 0; k < im.puntosTrans.size(); ++k) {
    const PuntoTransformacion& p = im.puntosTrans[k];
    // 17 significant digits give the same double back.
    std::snprintf(b, sizeof b, "%d %.17g %.17g", p.definido != 0, p.x, p.y);
    Linea(t, "PTRANS" + std::to_string(k + 1), b);
  }
  std::vector<std::pair<std::string, std::string>> entradas;
  im.Analisis().Guarda(entradas);
  for (const auto& [clave, valor] : entradas) Linea(t, clave, valor);
  // The header cards kept from a FITS file, one line each, last.
  for (const std::string& tarjeta : im.cabecera.Tarjetas()) Linea(t, kClaveTarjeta, tarjeta);
  return t;
}

bool AplicaDatosOrva(Imagen& im, std::string_view texto) {
  auto siguiente = [&texto](std::string_view& linea) {
    if (texto.empty()) return false;
    size_t fin = texto.find('\n');
    if (fin == std::string_view::npos) fin = texto.size();
    linea = texto.substr(0, fin);
    texto.remove_prefix(std::min(texto.size(), fin + 1));
    if (!linea.empty() && linea.back() == '\r') linea.remove_suffix(1);
    return true;
  };
  std::string_view linea;
  if (!siguiente(linea) || linea != kCabeceraDatosOrva) return false;

  const auto& clavesDatos = ClavesDatosImagen();
  Cabecera tarjetas;
  while (siguiente(linea)) {
    const size_t igual = linea.find('=');
    if (igual == std::string_view::npos || igual == 0) continue;
    const std::string_view clave = linea.substr(0, igual);
    const std::string valor = Desescapa(linea.substr(igual + 1));
    try {
      if (clave == "TIPOOBJ") {
        // The analysis data follows the type, so a new type is set through the image (and
        // the same type keeps the data it has).
        const int tipo = TipoObjetoPorPalabra(valor);
        if (tipo != im.TipoObjeto()) im.CambiaTipoObjeto(tipo);
      } else if (std::find(clavesDatos.begin(), clavesDatos.end(), clave) != clavesDatos.end()) {
        AsignaDatoImagen(im.datos, clave, valor);
      } else if (clave == kClaveTarjeta) {
        tarjetas.Anade(valor);
      } else if (clave == "OFFSETX") {
        LeeEnteroCompleto(valor, im.offsetX);
      } else if (clave == "OFFSETY") {
        LeeEnteroCompleto(valor, im.offsetY);
      } else if (clave.size() == 7 && clave.substr(0, 6) == "PTRANS" && clave[6] >= '1' &&
                 clave[6] <= '4') {
        PuntoTransformacion p;
        if (LeePuntoTrans(valor, p)) im.puntosTrans[static_cast<size_t>(clave[6] - '1')] = p;
      } else {
        bool punto = false;
        for (const auto& [c, i] : ClavesPuntosReferencia()) {
          if (c != clave) continue;
          punto = true;
          PuntoReferencia p;
          if (LeePunto(valor, p)) im.puntos[static_cast<size_t>(i)] = p;
        }
        if (!punto) im.Analisis().Lee(clave, valor);
      }
    } catch (const JError&) {
      // a value that does not parse is skipped
    }
  }
  // The file's cards replace the image's own when it has any.
  if (!tarjetas.Vacia()) im.cabecera = std::move(tarjetas);
  return true;
}

void GuardaDatosOrva(const Imagen& imagen, const std::string& archivoImagen) {
  EscribeArchivoSeguro(NombreDatosOrva(archivoImagen), TextoDatosOrva(imagen));
}

bool LeeDatosOrva(Imagen& imagen, const std::string& archivoImagen) {
  const std::string nombre = NombreDatosOrva(archivoImagen);
  errno = 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(nombre.c_str(), "rb"), &std::fclose);
  if (!f) {
    if (errno == ENOENT) return false;
    throw JError(10125, nombre, std::strerror(errno));  // 10125
  }
  std::string texto;
  char b[4096];
  size_t n;
  // A side data file is small; one far beyond any real one is not read past 16 MB.
  while ((n = std::fread(b, 1, sizeof b, f.get())) > 0 && texto.size() < (size_t{16} << 20)) {
    texto.append(b, n);
  }
  if (std::ferror(f.get())) {
    throw JError(10126, nombre, std::to_string(sizeof b), std::strerror(errno));  // 10126
  }
  AplicaDatosOrva(imagen, texto);
  return true;
}

}  // namespace orva
