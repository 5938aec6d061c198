// ODL label parsing: a small hand-written scanner over the label text.
#include "formats/pds/EtiquetaOdl.h"

#include <cctype>

namespace orva {
namespace {

constexpr size_t kSangria = 2;  // spaces per nesting level in the header-pane lines

bool Blanco(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string Mayusculas(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

std::string_view Recorta(std::string_view s) {
  while (!s.empty() && Blanco(s.front())) s.remove_prefix(1);
  while (!s.empty() && Blanco(s.back())) s.remove_suffix(1);
  return s;
}

// Blanks and line ends of a value spread over lines become single spaces.
std::string Junta(std::string_view s) {
  std::string r;
  bool espacio = false;
  for (char c : s) {
    if (Blanco(c)) {
      espacio = true;
      continue;
    }
    if (espacio && !r.empty()) r += ' ';
    espacio = false;
    r += c;
  }
  return r;
}

class Lector {
 public:
  explicit Lector(std::string_view t) : t_(t) {}

  EtiquetaOdl Analiza() {
    EtiquetaOdl e;
    std::vector<std::string> objetos;  // open OBJECT names, outermost first
    std::vector<bool> esObjeto;        // per open block: OBJECT (true) or GROUP
    while (SaltaBlancos()) {
      const size_t inicioLinea = p_;
      std::string clave = Palabra();
      if (clave.empty()) {
        SaltaLinea();
        continue;
      }
      SaltaEspacios();
      const std::string c = Mayusculas(clave);
      const bool cierre = c == "END_OBJECT" || c == "END_GROUP";
      ElementoOdl el;
      el.clave = clave;
      if (p_ < t_.size() && t_[p_] == '=') {
        ++p_;
        Valor(el);
      } else if (c == "END") {
        SaltaLinea();
        e.conFin = true;
        e.fin = p_;
        return e;
      } else {
        // A block's end may stand without its name; any other bare word is no item.
        SaltaLinea();
        if (!cierre) continue;
      }
      if (p_ == inicioLinea) ++p_;  // always progress
      if (c == "OBJECT" || c == "GROUP") {
        el.objeto = objetos.empty() ? std::string() : objetos.back();
        el.nivel = static_cast<int>(esObjeto.size());
        e.elementos.push_back(el);
        esObjeto.push_back(c == "OBJECT");
        if (c == "OBJECT") objetos.push_back(Mayusculas(el.valor));
        continue;
      }
      if (cierre) {
        if (!esObjeto.empty()) {
          if (esObjeto.back() && !objetos.empty()) objetos.pop_back();
          esObjeto.pop_back();
        }
        el.objeto = objetos.empty() ? std::string() : objetos.back();
        el.nivel = static_cast<int>(esObjeto.size());
        e.elementos.push_back(el);
        continue;
      }
      el.objeto = objetos.empty() ? std::string() : objetos.back();
      el.nivel = static_cast<int>(esObjeto.size());
      e.elementos.push_back(std::move(el));
    }
    e.fin = p_;
    return e;
  }

 private:
  // Skips blanks, line ends and comments; false at the end of the text.
  bool SaltaBlancos() {
    for (;;) {
      while (p_ < t_.size() && Blanco(t_[p_])) ++p_;
      if (p_ + 1 < t_.size() && t_[p_] == '/' && t_[p_ + 1] == '*') {
        SaltaComentario();
        continue;
      }
      return p_ < t_.size();
    }
  }
  void SaltaComentario() {
    const size_t f = t_.find("*/", p_ + 2);
    p_ = f == std::string_view::npos ? t_.size() : f + 2;
  }
  // Blanks and comments within the line.
  void SaltaEspacios() {
    for (;;) {
      while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\t')) ++p_;
      if (p_ + 1 < t_.size() && t_[p_] == '/' && t_[p_ + 1] == '*') {
        SaltaComentario();
        continue;
      }
      return;
    }
  }
  void SaltaLinea() {
    while (p_ < t_.size() && t_[p_] != '\n') ++p_;
    if (p_ < t_.size()) ++p_;
  }
  std::string Palabra() {
    const size_t a = p_;
    while (p_ < t_.size()) {
      const char c = t_[p_];
      if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '^' || c == ':' ||
            c == '-' || c == '.')) {
        break;
      }
      ++p_;
    }
    return std::string(t_.substr(a, p_ - a));
  }
  // The text up to the closing character, quotes honoured; the closer is consumed.
  std::string_view HastaCierre(char abre, char cierra) {
    const size_t a = p_;
    int nivel = 0;
    char comilla = 0;
    while (p_ < t_.size()) {
      const char c = t_[p_++];
      if (abre == cierra) {
        if (c == cierra) break;
        continue;
      }
      if (comilla) {
        if (c == comilla) comilla = 0;
        continue;
      }
      if (c == '"' || c == '\'') {
        comilla = c;
      } else if (c == abre) {
        ++nivel;
      } else if (c == cierra && --nivel == 0) {
        break;
      }
    }
    return t_.substr(a, p_ - a);
  }
  void Unidad(ElementoOdl& el) {
    SaltaEspacios();
    if (p_ < t_.size() && t_[p_] == '<') {
      const size_t f = t_.find_first_of(">\n", p_);
      const size_t fin = f == std::string_view::npos ? t_.size() : f;
      el.unidad = std::string(Recorta(t_.substr(p_ + 1, fin - p_ - 1)));
      p_ = fin < t_.size() && t_[fin] == '>' ? fin + 1 : fin;
    }
  }
  void Valor(ElementoOdl& el) {
    SaltaEspacios();
    // A value may start on the next line ("KEY =" then the value).
    if (p_ < t_.size() && (t_[p_] == '\r' || t_[p_] == '\n')) SaltaBlancos();
    if (p_ >= t_.size()) return;
    const char c = t_[p_];
    if (c == '"' || c == '\'') {
      ++p_;
      std::string_view s = HastaCierre(c, c);
      if (!s.empty() && s.back() == c) s.remove_suffix(1);
      el.valor = Junta(s);
      Unidad(el);
      SaltaLinea();
      return;
    }
    if (c == '(' || c == '{') {
      el.valor = Junta(HastaCierre(c, c == '(' ? ')' : '}'));
      Unidad(el);
      SaltaLinea();
      return;
    }
    // A bare value: up to the line's end, a comment or a unit.
    const size_t a = p_;
    while (p_ < t_.size() && t_[p_] != '\n' && t_[p_] != '<' &&
           !(t_[p_] == '/' && p_ + 1 < t_.size() && t_[p_ + 1] == '*')) {
      ++p_;
    }
    el.valor = std::string(Recorta(t_.substr(a, p_ - a)));
    Unidad(el);
    SaltaLinea();
  }

  std::string_view t_;
  size_t p_ = 0;
};

}  // namespace

bool IgualSinCaso(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

const ElementoOdl* EtiquetaOdl::Busca(std::string_view clave, const char* objeto) const {
  for (const ElementoOdl& e : elementos) {
    if (IgualSinCaso(e.clave, clave) && (!objeto || IgualSinCaso(e.objeto, objeto))) return &e;
  }
  return nullptr;
}

std::vector<std::string> EtiquetaOdl::Lineas() const {
  return LineasEtiqueta(elementos);
}

std::vector<std::string> LineasEtiqueta(const std::vector<ElementoOdl>& elementos) {
  std::vector<std::string> r;
  r.reserve(elementos.size());
  for (const ElementoOdl& e : elementos) {
    std::string l(static_cast<size_t>(e.nivel) * kSangria, ' ');
    l += e.clave;
    if (!e.valor.empty() || !e.unidad.empty()) l += " = " + e.valor;
    if (!e.unidad.empty()) l += " <" + e.unidad + ">";
    r.push_back(std::move(l));
  }
  return r;
}

EtiquetaOdl AnalizaEtiquetaOdl(std::string_view texto) {
  const size_t cero = texto.find('\0');
  if (cero != std::string_view::npos) texto = texto.substr(0, cero);
  return Lector(texto).Analiza();
}

std::vector<std::string> PartesValorOdl(std::string_view valor) {
  valor = Recorta(valor);
  if (valor.size() < 2 || !((valor.front() == '(' && valor.back() == ')') ||
                            (valor.front() == '{' && valor.back() == '}'))) {
    return {std::string(valor)};
  }
  valor = valor.substr(1, valor.size() - 2);
  std::vector<std::string> partes;
  std::string actual;
  char comilla = 0;
  for (char c : valor) {
    if (comilla) {
      if (c == comilla) {
        comilla = 0;
      } else {
        actual += c;
      }
      continue;
    }
    if (c == '"' || c == '\'') {
      comilla = c;
    } else if (c == ',') {
      partes.emplace_back(Recorta(actual));
      actual.clear();
    } else {
      actual += c;
    }
  }
  partes.emplace_back(Recorta(actual));
  return partes;
}

}  // namespace orva
