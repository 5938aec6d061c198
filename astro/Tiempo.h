// Calendar dates, times of day and date-times with their text forms and Julian days.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orva {

class FechaHora;

// Calendar date, written "dd/mm/yyyy".
class Fecha {
 public:
  Fecha() = default;
  // Validated; raises JError 10117-10119.
  Fecha(int dia, int mes, int anio);
  // Validated text "d/m/y"; raises JError 10116-10119.
  explicit Fecha(std::string_view texto);

  int Dia() const { return dia_; }
  int Mes() const { return mes_; }
  int Anio() const { return anio_; }
  std::string Texto() const;

  bool operator==(const Fecha&) const = default;

 private:
  friend class FechaHora;  // dates from a Julian day or a clock may precede 1900
  struct SinValidar {};
  Fecha(SinValidar, int dia, int mes, int anio)
      : dia_(static_cast<uint8_t>(dia)),
        mes_(static_cast<uint8_t>(mes)),
        anio_(static_cast<uint16_t>(anio)) {}

  uint8_t dia_ = 1;
  uint8_t mes_ = 1;
  uint16_t anio_ = 1970;
};

// Time of day, written "hh:mm:ss.mmm".
class Hora {
 public:
  Hora() = default;
  // Validated; raises JError 10121-10124.
  Hora(int hora, int minuto, int segundo, int milisegundo = 0);
  // Validated text "h:m:s[.ms]"; raises JError 10120-10124. The digits after the point are
  // milliseconds as an integer: "12:00:00.5" is 5 ms.
  explicit Hora(std::string_view texto);

  int Horas() const { return hora_; }
  int Minutos() const { return minuto_; }
  int Segundos() const { return segundo_; }
  int Milisegundos() const { return milisegundo_; }
  std::string Texto() const;

  // Fraction of the day, 0 <= f < 1.
  double FraccionDia() const;

  bool operator==(const Hora&) const = default;

 private:
  uint8_t hora_ = 0;
  uint8_t minuto_ = 0;
  uint8_t segundo_ = 0;
  uint16_t milisegundo_ = 0;
};

// Julian day of a calendar date and time of day (no time zone applied). Dates before
// 15/10/1582 are counted in the Julian calendar, later ones in the Gregorian calendar.
double DiaJulianoCalendario(int dia, int mes, int anio, const Hora& hora);

// Julian days this system turns back into dates: years 1 to 9999.
inline constexpr double kDiaJulianoMinimo = 1721423.5;  // 01/01/0001 00:00 (Julian calendar)
inline constexpr double kDiaJulianoMaximo = 5373484.5;  // 01/01/10000 00:00

// A date and a time of day with a cached Julian day (0.0 means not computed yet).
class FechaHora {
 public:
  FechaHora() = default;
  FechaHora(const Fecha& f, const Hora& h) : fecha_(f), hora_(h) {}

  const Fecha& FechaDia() const { return fecha_; }
  const Hora& HoraDia() const { return hora_; }
  void AsignaFecha(const Fecha& f) {
    fecha_ = f;
    dj_ = 0.0;
  }
  void AsignaHora(const Hora& h) {
    hora_ = h;
    dj_ = 0.0;
  }

  // "dd/mm/yyyy hh:mm:ss.mmm".
  std::string Texto() const;

  // Julian day, computed from the fields on first use and cached.
  double DiaJuliano() const;
  // Date and time from a Julian day, rounded to the nearest millisecond; the day becomes the
  // cache. Days outside kDiaJulianoMinimo..kDiaJulianoMaximo (or not finite) raise JError 12149
  // and leave the value as it was.
  void AsignaDiaJuliano(double dj);
  // Greenwich mean sidereal time in radians, 0 <= t < 2*pi (the time of day taken as UT).
  double TiempoSidereo() const;

  // The local date and time of the system clock, with milliseconds.
  void AsignaActual();
  // The local date and time of the last modification of a file, milliseconds 0; a file that
  // cannot be examined gives 01/01/1970 00:00:00.000.
  void AsignaFechaArchivo(const std::string& ruta);

  // Shifts the date-time by the increments of the image-data dialog. Each text is read only
  // when its box is on: the day increment is "[+/-]digits" (empty is 0; JError 12145), the time
  // increment "[+/-]h:m:s" (JError 12146-12148; a leading '-' makes minutes and seconds negative
  // too). Milliseconds are dropped, whole days are carried into the date. Both texts are checked
  // before anything changes.
  void Incrementa(bool conDias, std::string_view incrementoDias, bool conHora,
                  std::string_view incrementoHora);

  bool operator==(const FechaHora& o) const { return fecha_ == o.fecha_ && hora_ == o.hora_; }

 private:
  Fecha fecha_;
  Hora hora_;
  mutable double dj_ = 0.0;
};

// Reads a day-increment text ("[+/-]digits", empty gives 0); raises JError 12145.
int LeeIncrementoDias(std::string_view texto);
// Reads a time-increment text "[+/-]h:m:s" into signed seconds; raises JError 12146-12148.
int64_t LeeIncrementoHora(std::string_view texto);

}  // namespace orva
