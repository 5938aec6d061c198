// Calendar dates, times of day and date-times with their text forms and Julian days.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orva {

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

  bool operator==(const Hora&) const = default;

 private:
  uint8_t hora_ = 0;
  uint8_t minuto_ = 0;
  uint8_t segundo_ = 0;
  uint16_t milisegundo_ = 0;
};

// A date and a time of day with a cached Julian day (0.0 means not computed yet).
class FechaHora {
 public:
  FechaHora() = default;
  FechaHora(const Fecha& f, const Hora& h) : fecha_(f), hora_(h) {}

  const Fecha& FechaDia() const { return fecha_; }
  const Hora& HoraDia() const { return hora_; }
  void AsignaFecha(const Fecha& f) { fecha_ = f; dj_ = 0.0; }
  void AsignaHora(const Hora& h) { hora_ = h; dj_ = 0.0; }

  // "dd/mm/yyyy hh:mm:ss.mmm".
  std::string Texto() const;

  bool operator==(const FechaHora& o) const { return fecha_ == o.fecha_ && hora_ == o.hora_; }

 private:
  Fecha fecha_;
  Hora hora_;
  mutable double dj_ = 0.0;
};

}  // namespace orva
