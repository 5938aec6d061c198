// Gray-scale transforms: curve table, transfer-table construction and application.
#include "processing/EscalaGris.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "macro/Macro.h"
#include "processing/Comun.h"
#include "processing/Simd.h"

namespace orva {

namespace {

std::array<CurvaGris, 13> CurvasIniciales() {
  return {{
      {1,
       2,
       "Expandir",
       "EXPANDIR",
       {"Valor Negro: ", "Valor Blanco: "},
       {"%MIN", "%MAX"},
       {"-32768", "-32768"},
       {"32767", "32767"}},
      {12,
       2,
       "Expandir %",
       "EXPANPERC",
       {"Valor Negro: ", "Valor Blanco: "},
       {"0", "100"},
       {"0", "0"},
       {"100", "100"}},
      {2,
       2,
       "Comprimir",
       "COMPRIMIR",
       {"Valor Bajo: ", "Valor Alto: "},
       {"-32768", "32767"},
       {"-32768", "-32768"},
       {"32767", "32767"}},
      {3,
       3,
       "Algebraico",
       "ALGEBRAICO",
       {"Pivote: ", "Contraste:", "Brillo: "},
       {"4000", "1", "0"},
       {"-32768", "-32", "-32767"},
       {"32767", "32", "32767"}},
      {4, 1, "Logaritmico (10)", "LOG_10", {"Escala: "}, {"5000"}, {"1"}, {"8000"}},
      {13, 1, "Logaritmico (e)", "LOG_E", {"Escala: "}, {"2000"}, {"1"}, {"8000"}},
      {5, 1, "Exponencial", "EXPONENCIAL", {"Contraste: "}, {"1"}, {"0.1"}, {"30"}},
      {6,
       2,
       "Equalizar Histo.",
       "EQUALIZAR",
       {"Gris minimo: ", "Gris maximo: "},
       {"-32768", "32767"},
       {"-32768", "-32768"},
       {"32767", "32767"}},
      {7, 1, "Por Niveles", "NIVELES", {"Num. pasos: "}, {"8 "}, {"2"}, {"40"}},
      {8, 1, "Dentado", "DENTADO", {"Num. dientes: "}, {"4 "}, {"1"}, {"20"}},
      {9,
       4,
       "Contorno",
       "CONTORNO",
       {"Num. de cont.: ", "Ancho: ", "Dato: ", "Fondo: "},
       {"8", "33", "0", "1"},
       {"1", "1", "0", "0"},
       {"40", "99", "65536", "65536"}},
      {10,
       4,
       "Mascara Oscuros",
       "MASC_NEGROS",
       {"Minimo: ", "Mascara: ", "Contraste: ", "Brillo: "},
       {"600", "0", "1", "0"},
       {"-32768", "-32768", "-8", "-32767"},
       {"32767", "32767", "8", "32767"}},
      {11,
       4,
       "Mascara Claros",
       "MASC_BLANC",
       {"Maximo: ", "Mascara: ", "Contraste: ", "Brillo: "},
       {"31000", "0", "1", "0"},
       {"-32768", "-32768", "-8", "-32768"},
       {"32767", "32767", "8", "32767"}},
  }};
}

// The low 16 bits of the integer a curve computes, as a table entry.
int16_t Bajos16(int64_t v) {
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(v) & 0xFFFFu));
}

bool Igual(const std::string& a, const char* b) {
  return strcasecmp(a.c_str(), b) == 0;
}

// Black point of EXPANDIR / EXPANPERC from its text: a keyword, a number or a percentile (a
// whole percentage, read as the other integer parameters).
int NegroDe(const Imagen& im, const std::string& t, bool percentil) {
  if (Igual(t, "%MIN")) return im.Minimo();
  if (Igual(t, "%CIELO") || Igual(t, "%CEL")) return im.ValorModa();
  if (Igual(t, "%MEDIA")) return static_cast<int>(TruncaEntero(im.Media()));
  if (Igual(t, "%NEGRO")) return im.Negro();
  return percentil ? im.Percentil(LeeEntero(t)) : LeeEntero(t);
}

int BlancoDe(const Imagen& im, const std::string& t, bool percentil) {
  if (Igual(t, "%MAX")) return im.Maximo();
  if (Igual(t, "%BLANCO")) return im.Blanco();
  return percentil ? im.Percentil(LeeEntero(t)) : LeeEntero(t);
}

// One row through the full table (one read per pixel, the clamp already in the table).
ORVA_VARIANTES_512
void AplicaFila(int16_t* __restrict fila, const int32_t* __restrict t, size_t n) {
  for (size_t x = 0; x < n; ++x) fila[x] = static_cast<int16_t>(t[fila[x]]);
}

// The rows released to the threads at a time when a table is applied.
constexpr size_t kFilasTramo = 4 * kAltoBanda;

// Polls the cancel every 10 table entries.
void Sondea(Progreso& progreso, int64_t i) {
  if (i % 10 == 0 && progreso.Cancelado()) throw JError(11011);  // 11011
}

}  // namespace

std::array<CurvaGris, 13>& CurvasGris() {
  static std::array<CurvaGris, 13> curvas = CurvasIniciales();
  return curvas;
}

int& CurvaGrisElegida() {
  static int elegida = 0;
  return elegida;
}

int BuscaCurvaGris(std::string_view clave) {
  const auto& c = CurvasGris();
  for (size_t i = 0; i < c.size(); ++i) {
    if (c[i].clave == clave) return static_cast<int>(i);
  }
  return -1;
}

void RestableceCurvasGris() {
  CurvasGris() = CurvasIniciales();
  CurvaGrisElegida() = 0;
}

ParamsEscalaGris ParamsActuales(int curva) {
  ParamsEscalaGris p;
  p.curva = curva;
  p.valores = CurvasGris().at(static_cast<size_t>(curva)).valores;
  return p;
}

void EstiramientoLineal(std::vector<int16_t>& tabla, int lo, int hi, int a, int b, int c, int d) {
  // r = |b - a + 1| / (d - c + 1); a zero output span gives an infinite r (every middle value
  // then maps to c), never a trap.
  const double r = std::fabs(static_cast<double>(b) - a + 1.0) / (static_cast<double>(d) - c + 1.0);
  for (int v = lo; v <= hi; ++v) {
    int64_t s;
    if (r == 0.0) {
      s = v < a ? c : d;
    } else if (a < b) {
      if (v <= a)
        s = c;
      else if (v >= b)
        s = d;
      else
        s = TruncaEntero((v - a) / r + c);
    } else {
      // Inverted (a >= b): from a upward c, up to b d; with a = b the value a gives c.
      if (v >= a)
        s = c;
      else if (v <= b)
        s = d;
      else
        s = TruncaEntero((d + 1.0) - (v - b) / r);
    }
    tabla[static_cast<size_t>(v - lo)] = Bajos16(s);
  }
}

void ConstruyeTablaGris(Imagen& im, const ParamsEscalaGris& p, std::vector<int16_t>& tabla) {
  ConstruyeTablaGris(im, p, tabla, ProgresoActual());
}

void ConstruyeTablaGris(Imagen& im, const ParamsEscalaGris& p, std::vector<int16_t>& tabla,
                        Progreso& progreso) {
  const int lo = Rango().minimo, hi = Rango().maximo;
  const int64_t n = static_cast<int64_t>(hi) - lo + 1;
  tabla.assign(n > 0 ? static_cast<size_t>(n) : 0, 0);
  if (n <= 0) return;
  const CurvaGris& curva = CurvasGris().at(static_cast<size_t>(p.curva));
  const auto& t = p.valores;
  auto entero = [&](int k) { return LeeEntero(t[static_cast<size_t>(k)]); };
  auto real = [&](int k) { return LeeReal(t[static_cast<size_t>(k)]); };
  auto limita = [&](int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, lo, hi)); };
  const size_t nn = static_cast<size_t>(n);

  switch (curva.id) {
    case 1:
    case 12: {
      const bool perc = curva.id == 12;
      EstiramientoLineal(tabla, lo, hi, NegroDe(im, t[0], perc), BlancoDe(im, t[1], perc), lo, hi);
      break;
    }
    case 2:
      EstiramientoLineal(tabla, lo, hi, lo, hi, entero(0), entero(1));
      break;
    case 3: {
      const int pivote = entero(0);
      const double contraste = real(1), brillo = real(2);
      for (size_t i = 0; i < nn; ++i) {
        Sondea(progreso, static_cast<int64_t>(i));
        tabla[i] = limita(TruncaEntero((static_cast<double>(i) - pivote) * contraste + brillo));
      }
      break;
    }
    case 4:
    case 13: {
      const int escala = entero(0);
      for (size_t i = 0; i < nn; ++i) {
        Sondea(progreso, static_cast<int64_t>(i));
        const double l = curva.id == 4 ? std::log10(i + 1.0) : std::log(i + 1.0);
        tabla[i] = limita(TruncaEntero(l * escala + lo));
      }
      break;
    }
    case 5: {
      const double contraste = real(0);
      const double nd = static_cast<double>(n);
      for (size_t i = 0; i < nn; ++i) {
        Sondea(progreso, static_cast<int64_t>(i));
        tabla[i] = limita(TruncaEntero(std::pow(static_cast<double>(i) / nd, contraste) * nd + lo));
      }
      break;
    }
    case 6: {
      const int g1 = std::max(entero(0), lo), g2 = std::min(entero(1), hi);
      // Counts per value of lo..hi (values outside the range are not counted).
      const std::vector<int64_t> cuentas =
          CuentaValores(im.Pixeles().data(), im.Ancho(), im.Alto(), lo, hi, &progreso);
      std::vector<double> acumulado(nn, 0.0);
      double s = 0.0;
      for (int v = g1; v <= g2; ++v) {
        Sondea(progreso, v - g1);
        s += static_cast<double>(cuentas[static_cast<size_t>(v - lo)]);
        acumulado[static_cast<size_t>(v - lo)] = std::trunc(s);
      }
      const double escala = (g2 - g1) / s;
      for (int v = lo; v <= hi; ++v) {
        int64_t r = v;
        // With no pixel in g1..g2 the scale is undefined: those values keep their level.
        if (v >= g1 && v <= g2 && s > 0.0) {
          r = TruncaEntero(acumulado[static_cast<size_t>(v - lo)] * escala + g1);
        }
        tabla[static_cast<size_t>(v - lo)] = Bajos16(r);
      }
      break;
    }
    case 7: {
      // A step below 1 (more steps than levels) would divide by zero: one level per step then.
      const int64_t paso = std::max<int64_t>(1, TruncaEntero(static_cast<double>(n) / real(0)));
      for (size_t i = 0; i < nn; ++i) {
        Sondea(progreso, static_cast<int64_t>(i));
        tabla[i] = Bajos16(static_cast<int64_t>(i) / paso * paso);
      }
      break;
    }
    case 8: {
      const double k = real(0);
      const int64_t paso = std::max<int64_t>(1, TruncaEntero(static_cast<double>(n) / k));
      for (size_t i = 0; i < nn; ++i) {
        Sondea(progreso, static_cast<int64_t>(i));
        const int64_t diente = static_cast<int64_t>(i) / paso;
        const int64_t j = static_cast<int64_t>(i) % paso;
        // Entries from k * step upward keep 0.
        if (static_cast<double>(diente) < k) tabla[i] = Bajos16(TruncaEntero(j * k));
      }
      break;
    }
    case 9: {
      const int64_t bandas = static_cast<int64_t>(entero(0)) + 1;
      const int64_t paso = bandas > 0 ? n / bandas : 0;
      const int64_t ancho = TruncaEntero(entero(1) * 0.01 * static_cast<double>(paso));
      const int dato = entero(2), fondo = entero(3);
      for (size_t i = 0; i < nn; ++i) {
        Sondea(progreso, static_cast<int64_t>(i));
        tabla[i] = fondo == 0 ? 0 : fondo == 1 ? Bajos16(static_cast<int64_t>(i)) : Bajos16(fondo);
      }
      for (int64_t b = 0; b < bandas; ++b) {
        for (int64_t j = 0; j < ancho; ++j) {
          const int64_t e = b * paso + j;
          if (e >= 0 && e < n) tabla[static_cast<size_t>(e)] = Bajos16(dato);
        }
      }
      break;
    }
    case 10:
    case 11: {
      const int m = entero(0), mascara = entero(1);
      // Only the contrast is a decimal; the brightness is a whole gray level.
      const double contraste = real(2);
      const int brillo = entero(3);
      for (int v = lo; v <= hi; ++v) {
        Sondea(progreso, v - lo);
        const bool enmascara = curva.id == 10 ? v < m : v > m;
        tabla[static_cast<size_t>(v - lo)] =
            enmascara
                ? Bajos16(mascara)
                : limita(TruncaEntero((static_cast<double>(v) - m - lo) * contraste + brillo + m));
      }
      break;
    }
    default:
      break;
  }
}

void AplicaEscalaGris(Imagen& im, const ParamsEscalaGris& p, Progreso& progreso) {
  if (p.curva < 0 || p.curva >= static_cast<int>(CurvasGris().size())) return;
  std::vector<int16_t> tabla;
  ConstruyeTablaGris(im, p, tabla, progreso);
  if (tabla.empty()) return;
  const int lo = Rango().minimo, hi = Rango().maximo;
  // The table over the whole 16-bit range, the clamp to lo..hi folded in: one read per pixel.
  std::vector<int32_t> completa(65536);
  for (int v = -32768; v <= 32767; ++v) {
    completa[static_cast<size_t>(v + 32768)] =
        tabla[static_cast<size_t>(std::clamp(v, lo, hi) - lo)];
  }
  const int32_t* t = completa.data() + 32768;
  int16_t* px = im.Pixeles().data();
  const size_t ancho = im.Ancho(), alto = im.Alto();
  // A curve remaps the values, so they no longer stand for the file's physical ones.
  im.mapeo = MapeoValores{};
  // The calling thread asks for the cancel before each row, in order, as the rows of a stretch
  // are released; the rows released are then replaced in bands on the operations' threads. So
  // a cancel leaves exactly the rows before it replaced, whatever the thread count.
  try {
    for (size_t y0 = 0; y0 < alto; y0 += kFilasTramo) {
      const size_t y1 = std::min(alto, y0 + kFilasTramo);
      size_t libres = y0;
      while (libres < y1 && !progreso.Cancelado()) ++libres;
      ParaBandas(static_cast<long>(libres - y0), nullptr, [&](long, long desde, long hasta) {
        for (size_t y = y0 + static_cast<size_t>(desde); y < y0 + static_cast<size_t>(hasta); ++y) {
          AplicaFila(px + y * ancho, t, ancho);
        }
      });
      if (libres < y1) throw JError(11011);  // 11011
      progreso.Avance(static_cast<double>(y1) / static_cast<double>(alto));
    }
  } catch (...) {
    im.Modificada(1);  // bands already replaced stay replaced
    throw;
  }
  im.Modificada(1);
  const int id = CurvasGris()[static_cast<size_t>(p.curva)].id;
  if (id == 7 || id == 8 || id == 9) im.FijaNiveles(lo, hi);
}

void AplicaEscalaGris(Imagen& im, const ParamsEscalaGris& p) {
  AplicaEscalaGris(im, p, ProgresoActual());
}

std::string LineaEscalaGris(const ParamsEscalaGris& p) {
  const CurvaGris& c = CurvasGris().at(static_cast<size_t>(p.curva));
  std::string l = "ESCALGRIS " + c.clave + " ";
  for (int k = 0; k < c.numParametros; ++k) l += p.valores[static_cast<size_t>(k)] + " ";
  return l;
}

namespace {

// Index of the first field out of range, -1 when all pass.
int CampoIlegal(int curva, const std::array<std::string, 4>& valores) {
  const CurvaGris& c = CurvasGris().at(static_cast<size_t>(curva));
  for (int k = 0; k < c.numParametros; ++k) {
    const size_t i = static_cast<size_t>(k);
    if (!valores[i].empty() && valores[i][0] == '%') continue;
    // A field with no number fails; NaN cannot be read, infinities fall outside.
    const std::optional<double> v = LeeRealComprobado(valores[i]);
    if (!v || !(*v >= LeeReal(c.minimos[i]) && *v <= LeeReal(c.maximos[i]))) return k;
  }
  return -1;
}

}  // namespace

void CompruebaCamposGris(int curva, const std::array<std::string, 4>& valores) {
  const int k = CampoIlegal(curva, valores);
  if (k < 0) return;
  const CurvaGris& c = CurvasGris().at(static_cast<size_t>(curva));
  const size_t i = static_cast<size_t>(k);
  throw JError(12070, c.etiquetas[i], c.minimos[i], c.maximos[i]);  // 12070
}

bool CamposGrisValidos(int curva, const std::array<std::string, 4>& valores) {
  return CampoIlegal(curva, valores) < 0;
}

void PreparaDialogoGris(int curva) {
  CurvaGris& c = CurvasGris().at(static_cast<size_t>(curva));
  if (c.id == 1) {
    c.valores[0] = "%NEGRO";
    c.valores[1] = "%BLANCO";
  }
}

void EjecutaEscalaGrisMacro(Imagen& im, const std::vector<std::string>& args) {
  if (args.empty()) NumeroArgumentos(0, Mensaje(kAlMenos, "1"));
  const int curva = BuscaCurvaGris(args[0]);
  if (curva < 0) PalabraNoAdmitida(args, 0);
  CurvaGris& c = CurvasGris()[static_cast<size_t>(curva)];
  if (static_cast<int>(args.size()) != 1 + c.numParametros) {
    NumeroArgumentos(args.size(), std::to_string(1 + c.numParametros));
  }
  ParamsEscalaGris p;
  p.curva = curva;
  for (int k = 0; k < c.numParametros; ++k) {
    const size_t i = static_cast<size_t>(k);
    p.valores[i] = args[i + 1];
    if (!p.valores[i].empty() && p.valores[i][0] == '%') continue;  // keywords are not checked
    ArgumentoReal(args, i + 1, LeeReal(c.minimos[i]), LeeReal(c.maximos[i]));
  }
  c.valores = p.valores;
  CurvaGrisElegida() = curva;
  SesionProgreso sesion(std::string("ESCALADO DE GRISES"));
  AplicaEscalaGris(im, p);
}

bool EjecutaEscalaGris(Imagen& im, const std::vector<std::string>& args) {
  return SinMotivo([&] { EjecutaEscalaGrisMacro(im, args); });
}

std::vector<int> ColumnasHistogramaGris(const Imagen& im, int ancho, int alto) {
  std::vector<int> col(static_cast<size_t>(std::max(ancho, 0)), 0);
  const int lo = Rango().minimo, hi = Rango().maximo;
  const int64_t n = static_cast<int64_t>(hi) - lo + 1;
  if (ancho <= 0 || n <= 0) return col;
  std::vector<int32_t> maximos(col.size(), 0);
  for (int v = std::max<int>(lo, im.PrimerHistograma());
       v <= std::min<int>(hi, im.UltimoHistograma()); ++v) {
    const size_t x = static_cast<size_t>((v - lo) * static_cast<int64_t>(ancho) / n);
    maximos[x] = std::max(maximos[x], im.Histograma(v));
  }
  const double escala = alto / std::log(8001.0);
  for (size_t x = 0; x < col.size(); ++x) {
    col[x] = static_cast<int>(TruncaEntero(std::log(maximos[x] + 1.0) * escala));
  }
  return col;
}

std::vector<int> CurvaTablaGris(const std::vector<int16_t>& tabla, int ancho, int alto) {
  std::vector<int> alturas(static_cast<size_t>(std::max(ancho, 0)), 0);
  const int64_t n = static_cast<int64_t>(tabla.size());
  if (n == 0) return alturas;
  const int lo = Rango().minimo;
  for (size_t x = 0; x < alturas.size(); ++x) {
    const int64_t e = tabla[static_cast<size_t>(static_cast<int64_t>(x) * n / ancho)];
    alturas[x] = static_cast<int>((e - lo) * alto / n);
  }
  return alturas;
}

}  // namespace orva
