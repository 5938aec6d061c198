// Dates, times of day and date-times: validation, text forms, Julian day and its inverse,
// sidereal time, the system clock, file dates and the shifting by typed increments.
#include "astro/Tiempo.h"

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>

#include "astro/LectorTexto.h"
#include "base/JError.h"

namespace orva {
namespace {

constexpr int kAnioMinimo = 1900;  // earliest year a user may enter
constexpr int kAnioMaximo = 9999;  // the text form has four digits
constexpr int64_t kSegundosDia = 86400;
constexpr int64_t kMilisegundosDia = 86400000;

std::string FormateaFecha(int dia, int mes, int anio) {
  char b[32];
  std::snprintf(b, sizeof b, "%02d/%02d/%04d", dia, mes, anio);
  return b;
}

void ValidaFecha(int dia, int mes, int anio) {
  if (anio < kAnioMinimo || anio > kAnioMaximo)
    throw JError(10117, std::to_string(anio), std::to_string(kAnioMinimo));
  if (mes < 1 || mes > 12) throw JError(10118, std::to_string(mes));
  if (dia < 1 || dia > 31) throw JError(10119, std::to_string(dia));
  // Every February may have a 29th: the check is only against 30 and 31.
  bool mes30 = mes == 4 || mes == 6 || mes == 9 || mes == 11;
  if ((mes30 && dia == 31) || (mes == 2 && dia >= 30))
    throw JError(10119, FormateaFecha(dia, mes, anio));
}

void ValidaHora(int hora, int minuto, int segundo, int milisegundo) {
  if (hora < 0 || hora > 23) throw JError(10121, std::to_string(hora));
  if (minuto < 0 || minuto > 59) throw JError(10122, std::to_string(minuto));
  if (segundo < 0 || segundo > 59) throw JError(10123, std::to_string(segundo));
  if (milisegundo < 0 || milisegundo > 999) throw JError(10124, std::to_string(milisegundo));
}

// The local broken-down time of t, or false when the clock value cannot be converted.
bool HoraLocal(std::time_t t, std::tm& tm) {
  return localtime_r(&t, &tm) != nullptr;
}

}  // namespace

// ---- Fecha ----

Fecha::Fecha(int dia, int mes, int anio) {
  ValidaFecha(dia, mes, anio);
  *this = Fecha(SinValidar{}, dia, mes, anio);
}

Fecha::Fecha(std::string_view texto) {
  int v[3] = {0, 0, 0};
  if (LeeEnteros(texto, "//", v, 3) < 3) throw JError(10116, std::string(texto));  // 10116
  ValidaFecha(v[0], v[1], v[2]);
  *this = Fecha(SinValidar{}, v[0], v[1], v[2]);
}

std::string Fecha::Texto() const {
  return FormateaFecha(dia_, mes_, anio_);
}

// ---- Hora ----

Hora::Hora(int hora, int minuto, int segundo, int milisegundo) {
  ValidaHora(hora, minuto, segundo, milisegundo);
  hora_ = static_cast<uint8_t>(hora);
  minuto_ = static_cast<uint8_t>(minuto);
  segundo_ = static_cast<uint8_t>(segundo);
  milisegundo_ = static_cast<uint16_t>(milisegundo);
}

Hora::Hora(std::string_view texto) {
  int v[4] = {0, 0, 0, 0};
  int n = LeeEnteros(texto, "::.", v, 4);
  if (n < 3) throw JError(10120, std::string(texto));  // 10120
  *this = Hora(v[0], v[1], v[2], n == 4 ? v[3] : 0);
}

std::string Hora::Texto() const {
  char b[32];
  std::snprintf(b, sizeof b, "%02d:%02d:%02d.%03d", hora_, minuto_, segundo_, milisegundo_);
  return b;
}

double Hora::FraccionDia() const {
  return (((milisegundo_ * 0.001 + segundo_) / 60.0 + minuto_) / 60.0 + hora_) / 24.0;
}

// ---- Julian day ----

double DiaJulianoCalendario(int dia, int mes, int anio, const Hora& hora) {
  // Months are counted from March so that a leap day falls at the end of the counted year.
  int y = anio;
  int m = mes + 1;
  if (mes < 3) {
    y = anio - 1;
    m = mes + 13;
  }
  double dj =
      std::floor(365.25 * y) + std::floor(30.6001 * m) + dia + 1720994.5 + hora.FraccionDia();
  // From 15/10/1582 on, the Gregorian calendar drops the century leap days.
  if ((static_cast<int64_t>(mes) + 12 * static_cast<int64_t>(anio)) * 31 + dia >= 588829) {
    int a = static_cast<int>(0.01 * y);
    dj += 2 - a + a / 4;
  }
  return dj;
}

// ---- FechaHora ----

std::string FechaHora::Texto() const {
  return fecha_.Texto() + " " + hora_.Texto();
}

double FechaHora::DiaJuliano() const {
  if (dj_ == 0.0) dj_ = DiaJulianoCalendario(fecha_.Dia(), fecha_.Mes(), fecha_.Anio(), hora_);
  return dj_;
}

void FechaHora::AsignaDiaJuliano(double dj) {
  auto fueraDeRango = [dj] {
    char b[64];
    std::snprintf(b, sizeof b, "%.5f", dj);
    return JError(12149, b);  // 12149
  };
  if (!(dj >= kDiaJulianoMinimo && dj < kDiaJulianoMaximo)) throw fueraDeRango();

  const double zReal = std::floor(dj + 0.5);
  int64_t z = static_cast<int64_t>(zReal);
  // The time of day is rounded to the millisecond: a double near 2.4e6 days resolves about
  // 40 microseconds, so truncating would turn 00:30:00 into 00:29:59.999 after a round trip.
  int64_t ms = std::llround((dj + 0.5 - zReal) * static_cast<double>(kMilisegundosDia));
  if (ms >= kMilisegundosDia) {
    ms -= kMilisegundosDia;
    ++z;
  }

  int64_t a = z;
  if (z >= 2299161) {  // Gregorian dates from 15/10/1582
    int64_t alfa = static_cast<int64_t>((static_cast<double>(z) - 1867216.25) / 36524.25);
    a = z + 1 + alfa - alfa / 4;
  }
  const int64_t b = a + 1524;
  const int64_t c = static_cast<int64_t>((static_cast<double>(b) - 122.1) / 365.25);
  const int64_t d = static_cast<int64_t>(365.25 * static_cast<double>(c));
  const int64_t e = static_cast<int64_t>(static_cast<double>(b - d) / 30.6001);
  const int dia =
      static_cast<int>(b - d - static_cast<int64_t>(std::floor(30.6001 * static_cast<double>(e))));
  const int mes = static_cast<int>(e < 14 ? e - 1 : e - 13);
  const int anio = static_cast<int>(mes > 2 ? c - 4716 : c - 4715);
  if (anio < 1 || anio > kAnioMaximo) throw fueraDeRango();

  fecha_ = Fecha(Fecha::SinValidar{}, dia, mes, anio);
  hora_ = Hora(static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60),
               static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
  dj_ = dj;
}

double FechaHora::TiempoSidereo() const {
  constexpr double kDosPi = 2.0 * std::numbers::pi;
  const double t = (DiaJuliano() - 2451545.0) / 36525.0;  // Julian centuries from J2000.0
  // Degrees; 13185000.770053742 = 360.98564736629 * 36525.
  const double theta =
      280.46061837 + 13185000.770053742 * t + 0.000387933 * t * t - t * t * t / 38710000.0;
  const double x = theta * std::numbers::pi / 180.0;
  double r = x - kDosPi * std::floor(x / kDosPi);
  if (r >= kDosPi) r = 0.0;  // x a hair below a whole turn rounds up to 2*pi
  return r;
}

void FechaHora::AsignaActual() {
  using namespace std::chrono;
  const auto ahora = system_clock::now();
  const auto ms = duration_cast<milliseconds>(ahora.time_since_epoch()).count() % 1000;
  std::tm tm{};
  if (!HoraLocal(system_clock::to_time_t(ahora), tm)) return;
  fecha_ = Fecha(Fecha::SinValidar{}, tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
  hora_ = Hora(tm.tm_hour, tm.tm_min, tm.tm_sec < 60 ? tm.tm_sec : 59, static_cast<int>(ms));
  dj_ = 0.0;
}

void FechaHora::AsignaFechaArchivo(const std::string& ruta) {
  *this = FechaHora();
  struct stat st {};
  std::tm tm{};
  // The modification time is the file's own date; the access time would only tell when the
  // file was last read, which opening it has just changed.
  if (::stat(ruta.c_str(), &st) != 0 || !HoraLocal(st.st_mtime, tm)) return;
  const int anio = tm.tm_year + 1900;
  if (anio < 1 || anio > kAnioMaximo) return;
  fecha_ = Fecha(Fecha::SinValidar{}, tm.tm_mday, tm.tm_mon + 1, anio);
  hora_ = Hora(tm.tm_hour, tm.tm_min, tm.tm_sec < 60 ? tm.tm_sec : 59, 0);
}

// ---- Increments ----

int LeeIncrementoDias(std::string_view texto) {
  if (texto.empty()) return 0;
  std::size_t i = (texto[0] == '+' || texto[0] == '-') ? 1 : 0;
  if (i == texto.size()) throw JError(12145);  // a sign without digits
  for (std::size_t k = i; k < texto.size(); ++k)
    if (texto[k] < '0' || texto[k] > '9') throw JError(12145);  // 12145
  int64_t valor = 0;
  for (std::size_t k = i; k < texto.size(); ++k) {
    valor = valor * 10 + (texto[k] - '0');
    if (valor > 2147483647) throw JError(12145);  // beyond any representable date anyway
  }
  return static_cast<int>(texto[0] == '-' ? -valor : valor);
}

int64_t LeeIncrementoHora(std::string_view texto) {
  int v[3] = {0, 0, 0};
  if (LeeEnteros(texto, "::", v, 3) != 3) throw JError(12146);           // 12146
  if (v[1] < 0 || v[1] > 59) throw JError(12147, std::to_string(v[1]));  // 12147
  if (v[2] < 0 || v[2] > 59) throw JError(12148, std::to_string(v[2]));  // 12148
  // The hours carry their own sign; a leading '-' also makes minutes and seconds negative, so
  // "-0:45:00" is 45 minutes back.
  std::size_t p = texto.find_first_not_of(" \t\n\v\f\r");
  const bool negativo = p != std::string_view::npos && texto[p] == '-';
  const int64_t m = negativo ? -v[1] : v[1];
  const int64_t s = negativo ? -v[2] : v[2];
  return 3600 * static_cast<int64_t>(v[0]) + 60 * m + s;
}

void FechaHora::Incrementa(bool conDias, std::string_view incrementoDias, bool conHora,
                           std::string_view incrementoHora) {
  const int64_t dias = conDias ? LeeIncrementoDias(incrementoDias) : 0;
  const int64_t segundos = conHora ? LeeIncrementoHora(incrementoHora) : 0;

  FechaHora nuevo = *this;  // a failure below leaves *this untouched
  int64_t diasTotales = dias;
  if (conHora) {
    int64_t t = 3600 * static_cast<int64_t>(hora_.Horas()) + 60 * hora_.Minutos() +
                hora_.Segundos() + segundos;
    // Whole days are carried out so that 0 <= t <= 86399.
    if (t >= kSegundosDia) {
      diasTotales += t / kSegundosDia;
      t %= kSegundosDia;
    } else if (t < 0) {
      const int64_t prestados = (kSegundosDia - 1 - t) / kSegundosDia;
      diasTotales -= prestados;
      t += prestados * kSegundosDia;
    }
    nuevo.hora_ = Hora(static_cast<int>(t / 3600), static_cast<int>(t / 60 % 60),
                       static_cast<int>(t % 60), 0);
    nuevo.dj_ = 0.0;
  }
  if (conDias || diasTotales != 0)
    nuevo.AsignaDiaJuliano(nuevo.DiaJuliano() + static_cast<double>(diasTotales));
  *this = nuevo;
}

}  // namespace orva
