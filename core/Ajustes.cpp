// The process-wide settings and the plain table used when no source is installed.
#include "core/Ajustes.h"

#include <cctype>
#include <map>
#include <utility>
#include <vector>

#include "base/Numeros.h"

namespace orva {
namespace {

std::string Indice(std::string_view seccion, std::string_view clave) {
  std::string k;
  for (char c : seccion) k += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  k += '\n';
  for (char c : clave) k += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return k;
}

class TablaAjustes : public Ajustes {
 public:
  const std::string& Valor(std::string_view seccion, std::string_view clave) const override {
    static const std::string vacio;
    auto it = valores_.find(Indice(seccion, clave));
    return it != valores_.end() ? it->second : vacio;
  }
  int Entero(std::string_view clave) const override {
    const std::string sufijo = Indice({}, clave);
    for (const auto& [k, v] : valores_)
      if (k.size() >= sufijo.size() &&
          k.compare(k.size() - sufijo.size(), sufijo.size(), sufijo) == 0)
        return LeeEntero(v);
    return 0;
  }
  void Asigna(std::string_view seccion, std::string_view clave, std::string_view valor) override {
    valores_[Indice(seccion, clave)] = std::string(valor);
  }
  void Registra(std::string_view seccion, std::string_view clave,
                std::string_view defecto) override {
    valores_.try_emplace(Indice(seccion, clave), defecto);
  }
  void AnadeGanchos(Gancho lee, Gancho guarda) override {
    ganchos_.emplace_back(std::move(lee), std::move(guarda));
  }

 private:
  std::map<std::string, std::string> valores_;
  std::vector<std::pair<Gancho, Gancho>> ganchos_;
};

// Constant-initialized, so a source installed during static initialization is never lost.
Ajustes& (*fuenteInstalada)() = nullptr;

}  // namespace

Ajustes& AjustesActuales() {
  if (fuenteInstalada) return fuenteInstalada();
  static TablaAjustes tabla;
  return tabla;
}

void InstalaFuenteAjustes(Ajustes& (*fuente)()) {
  fuenteInstalada = fuente;
}

}  // namespace orva
