// Header cards kept from a FITS file, and the world-coordinate update of geometric operations.
#include "core/Cabecera.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace orva {
namespace {

constexpr size_t kLargoClave = 8;
constexpr size_t kLargoHistoria = 72;  // text columns of a HISTORY card
constexpr double kGradosRadian = 3.14159265358979323846 / 180.0;

bool Digitos(std::string_view s) {
  if (s.empty() || s.size() > 3) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool Empieza(std::string_view s, std::string_view p) {
  return s.size() >= p.size() && s.substr(0, p.size()) == p;
}

// "CD1_2", "PV2_1", "A_3_0": the prefix followed by digits, '_' and digits.
bool DosIndices(std::string_view s, std::string_view prefijo) {
  if (!Empieza(s, prefijo)) return false;
  s.remove_prefix(prefijo.size());
  const size_t r = s.find('_');
  return r != std::string_view::npos && Digitos(s.substr(0, r)) && Digitos(s.substr(r + 1));
}

// The key without its alternate-description letter (A..Z), when it has one that a WCS key may
// carry: "CRPIX1A" -> "CRPIX1".
std::string_view SinAlterna(std::string_view c) {
  if (c.size() > 1 && c.back() >= 'A' && c.back() <= 'Z' &&
      std::isdigit(static_cast<unsigned char>(c[c.size() - 2]))) {
    c.remove_suffix(1);
  }
  return c;
}

bool EsDistorsion(std::string_view c) {
  for (std::string_view p : {"A_", "B_", "AP_", "BP_"}) {
    if (DosIndices(c, p)) return true;
  }
  for (std::string_view k : {"A_ORDER", "B_ORDER", "AP_ORDER", "BP_ORDER", "A_DMAX", "B_DMAX"}) {
    if (c == k) return true;
  }
  // IRAF's attribute cards of its own distorted projections.
  return Empieza(c, "WAT") && c.size() == 8 && c[4] == '_';
}

// IRAF's physical coordinates: physical = LTM logical + LTV.
bool EsFisica(std::string_view c) {
  return c == "LTV1" || c == "LTV2" || DosIndices(c, "LTM");
}

std::string Alterna(std::string_view base, char alterna) {
  std::string c(base);
  if (alterna != ' ') c += alterna;
  return c;
}

}  // namespace

std::string TextoExacto(double v) {
  char b[40];
  for (int p = 15; p <= 17; ++p) {
    std::snprintf(b, sizeof b, "%.*G", p, v);
    if (std::strtod(b, nullptr) == v) break;
  }
  std::string t = b;
  if (std::isfinite(v) && t.find_first_of(".E") == std::string::npos) t += ".0";
  return t;
}

std::string Cabecera::Clave(std::string_view tarjeta) {
  std::string c(tarjeta.substr(0, std::min(tarjeta.size(), kLargoClave)));
  while (!c.empty() && c.back() == ' ') c.pop_back();
  return c;
}

bool Cabecera::EsEstructural(std::string_view tarjeta) {
  const std::string c = Clave(tarjeta);
  static constexpr std::array<std::string_view, 18> kClaves = {
      "SIMPLE",  "BITPIX",  "NAXIS",  "EXTEND",   "BZERO",    "BSCALE",
      "BLANK",   "END",     "PCOUNT", "GCOUNT",   "XTENSION", "CHECKSUM",
      "DATASUM", "EXTNAME", "EXTVER", "EXTLEVEL", "INHERIT",  "TFIELDS"};
  for (std::string_view k : kClaves) {
    if (c == k) return true;
  }
  if (Empieza(c, "NAXIS") && Digitos(std::string_view(c).substr(5))) return true;
  // Tile-compression and table keys, should a compressed header come through untranslated.
  if (c == "ZIMAGE" || c == "ZBITPIX" || c == "ZCMPTYPE" || c == "ZSIMPLE" || c == "ZEXTEND" ||
      Empieza(c, "ZNAXIS") || Empieza(c, "ZTILE") || Empieza(c, "ZNAME") || Empieza(c, "ZVAL") ||
      Empieza(c, "TTYPE") || Empieza(c, "TFORM")) {
    return true;
  }
  // The reference comment every FITS writer puts in a primary header.
  if (c == "COMMENT") {
    const std::string_view texto = tarjeta.size() > 10 ? tarjeta.substr(10) : std::string_view();
    return Empieza(texto, "FITS (Flexible Image Transport System) format is") ||
           Empieza(texto, "and Astrophysics', volume 376, page 359");
  }
  return false;
}

bool Cabecera::EsClaveWcs(std::string_view clave) {
  if (EsDistorsion(clave) || EsFisica(clave)) return true;
  const std::string_view c = SinAlterna(clave);
  for (std::string_view p :
       {"CTYPE", "CRPIX", "CRVAL", "CDELT", "CUNIT", "CROTA", "CRDER", "CSYER", "CNAME"}) {
    if (Empieza(c, p) && Digitos(c.substr(p.size()))) return true;
  }
  for (std::string_view p : {"CD", "PC", "PV", "PS"}) {
    if (DosIndices(c, p)) return true;
  }
  for (std::string_view k : {"WCSAXES", "WCSNAME", "LONPOLE", "LATPOLE", "RADESYS", "RADECSYS"}) {
    // These carry the alternate letter directly after the name.
    if (clave == k || (clave.size() == k.size() + 1 && Empieza(clave, k) && clave.back() >= 'A' &&
                       clave.back() <= 'Z')) {
      return true;
    }
  }
  return false;
}

void Cabecera::Anade(std::string_view tarjeta) {
  if (tarjeta.size() > kLargoTarjeta) tarjeta = tarjeta.substr(0, kLargoTarjeta);
  for (char c : tarjeta) {
    if (c < ' ' || c > '~') return;
  }
  if (Clave(tarjeta).empty() && tarjeta.find_first_not_of(' ') == std::string_view::npos) return;
  if (EsEstructural(tarjeta)) return;
  std::string t(tarjeta);
  t.resize(kLargoTarjeta, ' ');
  tarjetas_.push_back(std::move(t));
}

void Cabecera::AnadeHistoria(std::string_view texto) {
  do {
    // Cut at the last blank that fits, else at the card's width.
    size_t largo = std::min(texto.size(), kLargoHistoria);
    if (largo < texto.size()) {
      const size_t blanco = texto.substr(0, largo + 1).find_last_of(' ');
      if (blanco != std::string_view::npos && blanco > 0) largo = blanco;
    }
    std::string t = "HISTORY ";
    for (char c : texto.substr(0, largo)) t += c >= ' ' && c <= '~' ? c : ' ';
    texto.remove_prefix(largo);
    while (!texto.empty() && texto.front() == ' ') texto.remove_prefix(1);
    t.resize(kLargoTarjeta, ' ');
    tarjetas_.push_back(std::move(t));
  } while (!texto.empty());
}

long Cabecera::Busca(std::string_view clave) const {
  for (size_t i = 0; i < tarjetas_.size(); ++i) {
    if (Clave(tarjetas_[i]) == clave && tarjetas_[i].compare(8, 2, "= ") == 0) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

bool Cabecera::Numero(std::string_view clave, double& v) const {
  const long i = Busca(clave);
  if (i < 0) return false;
  std::string valor = tarjetas_[static_cast<size_t>(i)].substr(10);
  const size_t barra = valor.find('/');
  if (barra != std::string::npos) valor.resize(barra);
  for (char& c : valor) {
    if (c == 'D' || c == 'd') c = 'E';  // Fortran exponents
  }
  const char* p = valor.c_str();
  char* fin = nullptr;
  const double x = std::strtod(p, &fin);
  if (fin == p || !std::isfinite(x)) return false;
  while (*fin == ' ') ++fin;
  if (*fin != '\0') return false;
  v = x;
  return true;
}

void Cabecera::PonNumero(std::string_view clave, double v, size_t despues) {
  const long i = Busca(clave);
  std::string comentario;
  if (i >= 0) {
    const std::string& viejo = tarjetas_[static_cast<size_t>(i)];
    const size_t barra = viejo.find('/', 10);
    if (barra != std::string::npos) comentario = viejo.substr(barra);
  }
  char b[96];
  std::snprintf(b, sizeof b, "%-8.8s= %20s", std::string(clave).c_str(), TextoExacto(v).c_str());
  std::string t = b;
  if (!comentario.empty()) {
    while (!comentario.empty() && comentario.back() == ' ') comentario.pop_back();
    t += ' ' + comentario;
  }
  t.resize(kLargoTarjeta, ' ');
  if (i >= 0) {
    tarjetas_[static_cast<size_t>(i)] = std::move(t);
  } else {
    const size_t pos = std::min(despues + 1, tarjetas_.size());
    tarjetas_.insert(tarjetas_.begin() + static_cast<long>(pos), std::move(t));
  }
}

void Cabecera::Quita(std::string_view clave) {
  std::erase_if(tarjetas_, [&](const std::string& t) { return Clave(t) == clave; });
}

bool Cabecera::TieneWcs() const {
  for (const std::string& t : tarjetas_) {
    if (EsClaveWcs(Clave(t))) return true;
  }
  return false;
}

void Cabecera::QuitaWcs(std::string_view operacion) {
  if (!TieneWcs()) return;
  std::erase_if(tarjetas_, [](const std::string& t) { return EsClaveWcs(Clave(t)); });
  AnadeHistoria("ORVA: WCS removed, no exact update for " + std::string(operacion));
}

void Cabecera::MueveWcs(const MapaPixeles& m, std::string_view operacion) {
  if (!TieneWcs()) return;
  const double det = m.a11 * m.a22 - m.a12 * m.a21;
  const bool traslacion = m.a11 == 1.0 && m.a12 == 0.0 && m.a21 == 0.0 && m.a22 == 1.0;
  const bool diagonal = m.a12 == 0.0 && m.a21 == 0.0;
  bool distorsion = false;
  for (const std::string& t : tarjetas_) distorsion = distorsion || EsDistorsion(Clave(t));
  if (!(std::isfinite(det) && det != 0.0) || (distorsion && !traslacion)) {
    QuitaWcs(operacion);
    return;
  }
  // The position of the last WCS card, where new ones go.
  auto ultimaWcs = [this] {
    size_t u = tarjetas_.size();
    for (size_t i = 0; i < tarjetas_.size(); ++i) {
      if (EsClaveWcs(Clave(tarjetas_[i]))) u = i;
    }
    return u;
  };
  // IRAF's physical coordinates, logical = LTM physical + LTV: LTV moves as CRPIX does,
  // LTM becomes A^-1 LTM.
  bool fisicas = false;
  for (const std::string& t : tarjetas_) fisicas = fisicas || EsFisica(Clave(t));
  if (fisicas) {
    double l[4] = {1.0, 0.0, 0.0, 1.0}, v1 = 0.0, v2 = 0.0;
    const char* nombres[4] = {"LTM1_1", "LTM1_2", "LTM2_1", "LTM2_2"};
    for (int i = 0; i < 4; ++i) Numero(nombres[i], l[i]);
    Numero("LTV1", v1);
    Numero("LTV2", v2);
    const double d1 = v1 - m.tx - 1.0, d2 = v2 - m.ty - 1.0;
    PonNumero("LTV1", (m.a22 * d1 - m.a12 * d2) / det + 1.0, ultimaWcs());
    PonNumero("LTV2", (-m.a21 * d1 + m.a11 * d2) / det + 1.0, ultimaWcs());
    if (!traslacion) {
      const double r[4] = {(m.a22 * l[0] - m.a12 * l[2]) / det, (m.a22 * l[1] - m.a12 * l[3]) / det,
                           (-m.a21 * l[0] + m.a11 * l[2]) / det,
                           (-m.a21 * l[1] + m.a11 * l[3]) / det};
      for (int i = 0; i < 4; ++i) PonNumero(nombres[i], r[i], ultimaWcs());
    }
  }
  const std::string alternas = " ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  for (char a : alternas) {
    auto k = [a](std::string_view base) { return Alterna(base, a); };
    bool hay = false;
    for (std::string_view base : {"CRPIX1", "CRPIX2", "CTYPE1", "CTYPE2", "CD1_1", "PC1_1"}) {
      hay = hay || Busca(k(base)) >= 0;
    }
    if (!hay) continue;
    // old = A new + t (0-based), so with 1-based pixels p_old - r_old = A (p_new - r_new) for
    // r_new = A^-1 (r_old - t - 1) + 1.
    double r1 = 0.0, r2 = 0.0;
    Numero(k("CRPIX1"), r1);
    Numero(k("CRPIX2"), r2);
    const double d1 = r1 - m.tx - 1.0, d2 = r2 - m.ty - 1.0;
    PonNumero(k("CRPIX1"), (m.a22 * d1 - m.a12 * d2) / det + 1.0, ultimaWcs());
    PonNumero(k("CRPIX2"), (-m.a21 * d1 + m.a11 * d2) / det + 1.0, ultimaWcs());
    if (traslacion) continue;

    // The linear part becomes M A, for M the CD matrix, or the PC matrix (CDELT scales rows).
    auto producto = [&](const std::string& prefijo, std::array<double, 4> mat) {
      const std::array<double, 4> r = {
          mat[0] * m.a11 + mat[1] * m.a21, mat[0] * m.a12 + mat[1] * m.a22,
          mat[2] * m.a11 + mat[3] * m.a21, mat[2] * m.a12 + mat[3] * m.a22};
      const char* nombres[4] = {"1_1", "1_2", "2_1", "2_2"};
      for (int i = 0; i < 4; ++i) PonNumero(k(prefijo + nombres[i]), r[i], ultimaWcs());
    };
    auto lee = [&](const std::string& prefijo, std::array<double, 4>& mat) {
      const char* nombres[4] = {"1_1", "1_2", "2_1", "2_2"};
      bool alguno = false;
      for (int i = 0; i < 4; ++i) alguno = Numero(k(prefijo + nombres[i]), mat[i]) || alguno;
      return alguno;
    };
    std::array<double, 4> cd = {0.0, 0.0, 0.0, 0.0};
    std::array<double, 4> pc = {1.0, 0.0, 0.0, 1.0};
    double c1 = 1.0, c2 = 1.0, rota = 0.0;
    Numero(k("CDELT1"), c1);
    Numero(k("CDELT2"), c2);
    const bool conRota = Numero(k("CROTA2"), rota) && rota != 0.0;
    // Both matrices, when a writer left both, so that either reading stays right.
    const bool conCd = lee("CD", cd), conPc = lee("PC", pc);
    if (conCd) producto("CD", cd);
    if (conPc) producto("PC", pc);
    if (conCd || conPc) continue;
    if (!conRota && diagonal) {
      PonNumero(k("CDELT1"), c1 * m.a11, ultimaWcs());
      PonNumero(k("CDELT2"), c2 * m.a22, ultimaWcs());
      continue;
    }
    // The rotation angle form, turned into its PC matrix.
    if (c1 == 0.0 || c2 == 0.0) {
      QuitaWcs(operacion);
      return;
    }
    const double co = std::cos(rota * kGradosRadian), se = std::sin(rota * kGradosRadian);
    producto("PC", {co, -c2 / c1 * se, c1 / c2 * se, co});
    Quita(k("CROTA1"));
    Quita(k("CROTA2"));
  }
}

}  // namespace orva
