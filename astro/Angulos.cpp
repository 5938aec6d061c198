// Right ascensions and sexagesimal angles: validation, text forms and radians.
#include "astro/Angulos.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include "astro/LectorTexto.h"
#include "base/JError.h"

namespace orva {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr int64_t kMsHora = 3600000;  // milliseconds in an hour (or in a degree)

// One reading of "%d<a>%d<b>%d<c>%lf": n counts the integers converted (the real is optional
// and defaults to 0.0).
struct Sexagesimal {
  int n = 0;
  int v[3] = {0, 0, 0};
  double fraccion = 0.0;
  bool negativo = false;  // the first integer was written with '-'
};

Sexagesimal LeeSexagesimal(std::string_view texto, char a, char b, char c) {
  Sexagesimal r;
  LectorTexto lector(texto);
  const char sep[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    if (!lector.Entero(r.v[i])) return r;
    if (i == 0) r.negativo = lector.UltimoNegativo();
    ++r.n;
    if (!lector.Literal(sep[i])) return r;
  }
  double f = 0.0;
  if (lector.Real(f)) r.fraccion = f;
  return r;
}

std::string Fraccion3(double f) {
  char b[64];
  std::snprintf(b, sizeof b, "%.3f", f);
  return b;
}

// Whole milliseconds of a fraction of a second in [0, 1]: truncated, so 1.0 gives 1000, which
// the callers carry into the seconds.
int64_t MilisegundosDeFraccion(double f) {
  return static_cast<int64_t>(f * 1000.0);
}

const Angulo::Limites kLimitesLongitud{180, 10146, 10147, 10148, 10149, 10150};

}  // namespace

// ---- AscensionRecta ----

void AscensionRecta::ValidaComponentes(int horas, int minutos, int segundos,
                                       double fraccion) const {
  if (horas < 0 || horas > 23) throw JError(10137, std::to_string(horas));              // 10137
  if (minutos < 0 || minutos > 59) throw JError(10138, std::to_string(minutos));        // 10138
  if (segundos < 0 || segundos > 59) throw JError(10139, std::to_string(segundos));     // 10139
  if (!(fraccion >= 0.0 && fraccion <= 1.0)) throw JError(10140, Fraccion3(fraccion));  // 10140
}

void AscensionRecta::ValidaTexto(std::string_view texto) const {
  Sexagesimal s = LeeSexagesimal(texto, 'h', 'm', 's');
  if (s.n < 3) throw JError(10136, std::string(texto));  // 10136
  ValidaComponentes(s.v[0], s.v[1], s.v[2], s.fraccion);
}

void AscensionRecta::AsignaTexto(std::string_view texto) {
  if (texto.empty()) {
    *this = AscensionRecta();
    return;
  }
  ValidaTexto(texto);
  Sexagesimal s = LeeSexagesimal(texto, 'h', 'm', 's');
  int64_t total = ((static_cast<int64_t>(s.v[0]) * 60 + s.v[1]) * 60 + s.v[2]) * 1000 +
                  MilisegundosDeFraccion(s.fraccion);
  total %= 24 * kMsHora;  // 23h59m59s and a whole second is 00h00m00s
  horas_ = static_cast<uint8_t>(total / kMsHora);
  minutos_ = static_cast<uint8_t>(total / 60000 % 60);
  segundos_ = static_cast<uint8_t>(total / 1000 % 60);
  milisegundos_ = static_cast<uint16_t>(total % 1000);
}

double AscensionRecta::Radianes() const {
  return ((((milisegundos_ * 0.001 + segundos_) / 60.0 + minutos_) / 60.0) + horas_) * kPi / 12.0;
}

std::string AscensionRecta::Texto() const {
  char b[48];
  std::snprintf(b, sizeof b, "%02dh%02dm%02ds.%03d", horas_, minutos_, segundos_, milisegundos_);
  return b;
}

void AscensionRecta::AsignaRadianes(double radianes) {
  *this = AscensionRecta();
  if (!std::isfinite(radianes)) return;
  const double vuelta = 2.0 * kPi;
  double r = radianes - vuelta * std::floor(radianes / vuelta);
  // Rounding the whole value to the millisecond carries 59.9996 s into the next minute instead
  // of writing 1000 ms.
  int64_t total = std::llround(r * 12.0 / kPi * static_cast<double>(kMsHora));
  total %= 24 * kMsHora;
  if (total < 0) total += 24 * kMsHora;
  horas_ = static_cast<uint8_t>(total / kMsHora);
  minutos_ = static_cast<uint8_t>(total / 60000 % 60);
  segundos_ = static_cast<uint8_t>(total / 1000 % 60);
  milisegundos_ = static_cast<uint16_t>(total % 1000);
}

// ---- Angulo ----

void Angulo::ValidaCon(const Limites& l, int grados, int minutos, int segundos, double fraccion) {
  if (grados < -l.gradosMaximos || grados > l.gradosMaximos)
    throw JError(l.idGrados, std::to_string(grados));
  if (minutos < 0 || minutos > 59) throw JError(l.idMinutos, std::to_string(minutos));
  if (segundos < 0 || segundos > 59) throw JError(l.idSegundos, std::to_string(segundos));
  if (!(fraccion >= 0.0 && fraccion <= 1.0)) throw JError(l.idFraccion, Fraccion3(fraccion));
}

void Angulo::ValidaTextoCon(const Limites& l, std::string_view texto) {
  Sexagesimal s = LeeSexagesimal(texto, 'g', 'm', 's');
  if (s.n < 3) throw JError(l.idFormato, std::string(texto));
  ValidaCon(l, s.v[0], s.v[1], s.v[2], s.fraccion);
}

void Angulo::ValidaComponentes(int grados, int minutos, int segundos, double fraccion) const {
  ValidaCon(kLimitesLongitud, grados, minutos, segundos, fraccion);
}

void Angulo::ValidaTexto(std::string_view texto) const {
  ValidaTextoCon(kLimitesLongitud, texto);
}

void Angulo::AsignaTexto(std::string_view texto) {
  if (texto.empty()) {
    Asigna(Angulo());
    return;
  }
  ValidaTexto(texto);
  Sexagesimal s = LeeSexagesimal(texto, 'g', 'm', 's');
  // Validation bounds the degrees to 180, so the carried total fits the fields.
  int64_t total = ((std::abs(static_cast<int64_t>(s.v[0])) * 60 + s.v[1]) * 60 + s.v[2]) * 1000 +
                  MilisegundosDeFraccion(s.fraccion);
  signo_ = static_cast<int8_t>(s.negativo ? -1 : 1);
  grados_ = static_cast<uint16_t>(total / kMsHora);
  minutos_ = static_cast<uint8_t>(total / 60000 % 60);
  segundos_ = static_cast<uint8_t>(total / 1000 % 60);
  milisegundos_ = static_cast<uint16_t>(total % 1000);
}

double Angulo::Radianes() const {
  return signo_ * ((((milisegundos_ * 0.001 + segundos_) / 60.0 + minutos_) / 60.0) + grados_) *
         kPi / 180.0;
}

std::string Angulo::Texto() const {
  char b[48];
  std::snprintf(b, sizeof b, "%s%02dg%02dm%02ds.%03d", signo_ < 0 ? "-" : "", grados_, minutos_,
                segundos_, milisegundos_);
  return b;
}

void Angulo::AsignaRadianes(double radianes) {
  signo_ = 0;
  grados_ = 0;
  minutos_ = segundos_ = 0;
  milisegundos_ = 0;
  if (!std::isfinite(radianes)) return;
  double a = std::fabs(radianes * 180.0 / kPi);
  if (a > 65535.0) a = std::fmod(a, 360.0);
  signo_ = static_cast<int8_t>(radianes > 0.0 ? 1 : (radianes < 0.0 ? -1 : 0));
  // Rounding the whole value to the millisecond of arc carries 59.9996" into the next minute
  // instead of writing 1000 ms.
  int64_t total = std::llround(a * static_cast<double>(kMsHora));
  grados_ = static_cast<uint16_t>(total / kMsHora);
  minutos_ = static_cast<uint8_t>(total / 60000 % 60);
  segundos_ = static_cast<uint8_t>(total / 1000 % 60);
  milisegundos_ = static_cast<uint16_t>(total % 1000);
}

void Angulo::Asigna(const Angulo& otro) {
  signo_ = otro.signo_;
  grados_ = otro.grados_;
  minutos_ = otro.minutos_;
  segundos_ = otro.segundos_;
  milisegundos_ = otro.milisegundos_;
}

// ---- Declinacion, Longitud, Latitud ----

namespace {
const Angulo::Limites kLimitesDeclinacion{90, 10141, 10142, 10143, 10144, 10145};
const Angulo::Limites kLimitesLatitud{90, 10151, 10152, 10153, 10154, 10155};
}  // namespace

void Declinacion::ValidaComponentes(int grados, int minutos, int segundos, double fraccion) const {
  ValidaCon(kLimitesDeclinacion, grados, minutos, segundos, fraccion);
}
void Declinacion::ValidaTexto(std::string_view texto) const {
  ValidaTextoCon(kLimitesDeclinacion, texto);
}

void Longitud::ValidaComponentes(int grados, int minutos, int segundos, double fraccion) const {
  ValidaCon(kLimitesLongitud, grados, minutos, segundos, fraccion);
}
void Longitud::ValidaTexto(std::string_view texto) const {
  ValidaTextoCon(kLimitesLongitud, texto);
}

void Latitud::ValidaComponentes(int grados, int minutos, int segundos, double fraccion) const {
  ValidaCon(kLimitesLatitud, grados, minutos, segundos, fraccion);
}
void Latitud::ValidaTexto(std::string_view texto) const {
  ValidaTextoCon(kLimitesLatitud, texto);
}

}  // namespace orva
