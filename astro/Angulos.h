// Right ascensions and signed sexagesimal angles (declination, longitude, latitude).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orva {

// Right ascension, written "00h00m00s.000".
class AscensionRecta {
 public:
  AscensionRecta() = default;
  // Validated text, as AsignaTexto.
  explicit AscensionRecta(std::string_view texto) { AsignaTexto(texto); }
  virtual ~AscensionRecta() = default;
  AscensionRecta(const AscensionRecta&) = default;
  AscensionRecta& operator=(const AscensionRecta&) = default;

  // Hours 0..23 (10137), minutes 0..59 (10138), seconds 0..59 (10139), fraction of second
  // 0..1 inclusive (10140), checked in that order.
  virtual void ValidaComponentes(int horas, int minutos, int segundos, double fraccion) const;
  // Reads "%dh%dm%ds%lf" (the fraction starts at the point: ".25" is a quarter second); fewer
  // than three integers raise 10136, then the components are checked.
  virtual void ValidaTexto(std::string_view texto) const;
  virtual double Radianes() const;
  virtual std::string Texto() const;

  // Rounds to the nearest millisecond, carrying into seconds, minutes and hours; any value is
  // first reduced by whole turns into [0, 2*pi). A value that is not finite gives zero.
  void AsignaRadianes(double radianes);
  // Empty text gives zero; otherwise validated (JError 10136-10140) before anything is stored.
  void AsignaTexto(std::string_view texto);

  int Horas() const { return horas_; }
  int Minutos() const { return minutos_; }
  int Segundos() const { return segundos_; }
  int Milisegundos() const { return milisegundos_; }

  bool operator==(const AscensionRecta& o) const {
    return horas_ == o.horas_ && minutos_ == o.minutos_ && segundos_ == o.segundos_ &&
           milisegundos_ == o.milisegundos_;
  }

 protected:
  uint8_t horas_ = 0;
  uint8_t minutos_ = 0;
  uint8_t segundos_ = 0;
  uint16_t milisegundos_ = 0;
};

// Signed angle in degrees, written "[-]00g00m00s.000"; the sign is kept apart from the degrees.
class Angulo {
 public:
  // Range of the degrees and the message ids (format, degrees, minutes, seconds, fraction) of
  // one kind of angle.
  struct Limites {
    int gradosMaximos;
    int idFormato;
    int idGrados;
    int idMinutos;
    int idSegundos;
    int idFraccion;
  };

  Angulo() = default;
  virtual ~Angulo() = default;
  Angulo(const Angulo&) = default;
  Angulo& operator=(const Angulo&) = default;

  // Sign +1, -1 or 0 (exactly zero); rounds to the nearest millisecond of arc, carrying into
  // seconds, minutes and degrees. Magnitudes beyond the 16-bit degrees field are reduced by
  // whole turns; a value that is not finite gives zero.
  virtual void AsignaRadianes(double radianes);
  // Copies sign, degrees, minutes, seconds and milliseconds.
  virtual void Asigna(const Angulo& otro);
  // Degrees (signed, as read) in the kind's range, minutes 0..59, seconds 0..59, fraction of
  // second 0..1 inclusive, checked in that order. A plain angle (azimuth, altitude, zenith
  // distance) takes the range -180..180 and the longitude messages 10147-10150.
  virtual void ValidaComponentes(int grados, int minutos, int segundos, double fraccion) const;
  // Reads "%dg%dm%ds%lf"; fewer than three integers raise the kind's format message (10146 for
  // a plain angle), then the components are checked.
  virtual void ValidaTexto(std::string_view texto) const;
  virtual double Radianes() const;
  virtual std::string Texto() const;

  // Empty text gives zero; otherwise validated by the kind before anything is stored. The sign
  // is that of the degrees as written, so "-00g30m00s" is minus half a degree.
  void AsignaTexto(std::string_view texto);

  int Signo() const { return signo_; }
  int Grados() const { return grados_; }
  int Minutos() const { return minutos_; }
  int Segundos() const { return segundos_; }
  int Milisegundos() const { return milisegundos_; }

  bool operator==(const Angulo& o) const {
    return signo_ == o.signo_ && grados_ == o.grados_ && minutos_ == o.minutos_ &&
           segundos_ == o.segundos_ && milisegundos_ == o.milisegundos_;
  }

 protected:
  static void ValidaCon(const Limites& l, int grados, int minutos, int segundos, double fraccion);
  static void ValidaTextoCon(const Limites& l, std::string_view texto);

  int8_t signo_ = 0;
  uint16_t grados_ = 0;
  uint8_t minutos_ = 0;
  uint8_t segundos_ = 0;
  uint16_t milisegundos_ = 0;
};

// Declination: degrees -90..90, messages 10141-10145.
class Declinacion : public Angulo {
 public:
  void ValidaComponentes(int grados, int minutos, int segundos, double fraccion) const override;
  void ValidaTexto(std::string_view texto) const override;
};

// Observatory longitude, positive toward the west: degrees -180..180, messages 10146-10150.
class Longitud : public Angulo {
 public:
  void ValidaComponentes(int grados, int minutos, int segundos, double fraccion) const override;
  void ValidaTexto(std::string_view texto) const override;
};

// Observatory latitude: degrees -90..90, messages 10151-10155.
class Latitud : public Angulo {
 public:
  void ValidaComponentes(int grados, int minutos, int segundos, double fraccion) const override;
  void ValidaTexto(std::string_view texto) const override;
};

}  // namespace orva
