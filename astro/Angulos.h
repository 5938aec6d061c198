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
  virtual ~AscensionRecta() = default;
  AscensionRecta(const AscensionRecta&) = default;
  AscensionRecta& operator=(const AscensionRecta&) = default;

  // Empty text gives zero; otherwise validated (JError 10136-10140) before anything is stored.
  void AsignaTexto(std::string_view texto);
  virtual std::string Texto() const;

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
  Angulo() = default;
  virtual ~Angulo() = default;
  Angulo(const Angulo&) = default;
  Angulo& operator=(const Angulo&) = default;

  // Empty text gives zero; otherwise validated by the kind before anything is stored.
  void AsignaTexto(std::string_view texto);
  virtual std::string Texto() const;

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
  int8_t signo_ = 0;
  uint16_t grados_ = 0;
  uint8_t minutos_ = 0;
  uint8_t segundos_ = 0;
  uint16_t milisegundos_ = 0;
};

class Declinacion : public Angulo {};
class Longitud : public Angulo {};
class Latitud : public Angulo {};

}  // namespace orva
