// The QOR header lines: writing, growing and reading keyword values.
#include "formats/qor/CabeceraQor.h"

#include <algorithm>
#include <cstring>

namespace orva {

CabeceraQor::Linea CabeceraQor::Vacia() {
  Linea l;
  l.fill(' ');
  l[78] = '\r';
  l[79] = '\n';
  return l;
}

CabeceraQor::CabeceraQor() : lineas_(20, Vacia()) {
  Anade("FORMATO_QOR");
  Anade("LINEAS_CAB", "2");
}

void CabeceraQor::Escribe(Linea& l, std::string_view clave, std::string_view valor, bool conValor) {
  l = Vacia();
  std::string texto(clave);
  if (conValor) {
    texto += '=';
    texto += valor;
  }
  // Characters that would reach column 78 or beyond are cut.
  std::memcpy(l.data(), texto.data(), std::min(texto.size(), kColumnasTexto));
}

void CabeceraQor::Dimensiona(size_t n) {
  if (n > lineas_.size()) lineas_.resize((n + 19) / 20 * 20, Vacia());
  for (size_t i = numLineas_; i < n; ++i) lineas_[i] = Vacia();
  numLineas_ = n;
}

void CabeceraQor::Anade(std::string_view clave, std::string_view valor) {
  Dimensiona(numLineas_ + 1);
  Escribe(lineas_[numLineas_ - 1], clave, valor, true);
}

void CabeceraQor::Anade(std::string_view clave) {
  Dimensiona(numLineas_ + 1);
  Escribe(lineas_[numLineas_ - 1], clave, {}, false);
}

void CabeceraQor::Cambia(std::string_view clave, std::string_view valor) {
  const Linea* l = Busca(clave);
  if (!l) {
    Anade(clave, valor);
    return;
  }
  Escribe(lineas_[static_cast<size_t>(l - lineas_.data())], clave, valor, true);
}

const CabeceraQor::Linea* CabeceraQor::Busca(std::string_view clave) const {
  if (clave.empty() || clave.size() > kColumnasTexto) return nullptr;
  for (size_t i = 0; i < numLineas_; ++i) {
    if (std::string_view(lineas_[i].data(), clave.size()) == clave) return &lineas_[i];
  }
  return nullptr;
}

std::string CabeceraQor::Valor(std::string_view clave) const {
  const Linea* l = Busca(clave);
  if (!l) return {};
  size_t i = clave.size();
  while (i < kColumnasTexto && ((*l)[i] == ' ' || (*l)[i] == '=')) ++i;
  size_t fin = i;
  while (fin < kColumnasTexto && (*l)[fin] != ';' && (*l)[fin] != '\r') ++fin;
  while (fin > i && (*l)[fin - 1] == ' ') --fin;
  return std::string(l->data() + i, fin - i);
}

std::string CabeceraQor::Texto() const {
  std::string t;
  t.reserve(numLineas_ * kLargoLinea);
  for (size_t i = 0; i < numLineas_; ++i) t.append(lineas_[i].data(), kLargoLinea);
  return t;
}

}  // namespace orva
