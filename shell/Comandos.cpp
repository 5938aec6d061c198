// The command table of the menu bar, the menu state rules, and the tool menus.
#include "shell/Comandos.h"

#include <cstdio>
#include <initializer_list>

#include "core/Imagen.h"

namespace orva {

namespace {

constexpr auto F = kEnMarco;
constexpr auto I = kEnImagen;
constexpr auto NE = kSinEspecificar;
constexpr auto NP = kSinProcesamiento;
constexpr auto OK = kDisponible;

const char* const kArchivo = "&Archivo";
const char* const kVisualizar = "Visua&lizar";
const char* const kPosicionar = "&Posicionar";
const char* const kTratar = "&Tratar";
const char* const kHerramientas = "&Herramientas";
const char* const kVentana = "&Ventana";
const char* const kAyuda = "A&yuda";

}  // namespace

const std::vector<std::string>& PopupsBarra() {
  static const std::vector<std::string> popups = {kArchivo,    kVisualizar,   kPosicionar, kTratar,
                                                  "&Análisis", kHerramientas, kVentana,    kAyuda};
  return popups;
}

const std::vector<FilaComando>& TablaComandos() {
  // id, last id, label, popup, routing, accelerators, availability, separator before, first n
  static const std::vector<FilaComando> tabla = {
      {5000, 5000, "&Nuevo", kArchivo, F, "", OK, false, 0},
      {5001, 5001, "&Abrir...", kArchivo, F, "Ctrl+A", OK, false, 0},
      {5002, 5002, "&Guardar", kArchivo, I, "Ctrl+G", OK, false, 0},
      {5003, 5003, "Guardar &Varias", kArchivo, I, "", OK, false, 0},
      {5004, 5004, "Guardar Varias &en...", kArchivo, I, "", OK, false, 0},
      {5005, 5005, "Guardar &como...", kArchivo, I, "", OK, false, 0},
      {5006, 5006, "Hacer &Duplicado", kArchivo, I, "", OK, true, 0},
      {5007, 5007, "&Cerrar", kArchivo, F, "", OK, false, 0},
      {5150, 5150, "Cerrar &varias", kArchivo, F, "", OK, false, 0},
      {5008, 5008, "Ejecutar &Macro en Disco...", kArchivo, F, "", OK, true, 0},
      {5010, 5010, "Leer Configuración", kArchivo, F, "", OK, true, 0},
      {5011, 5011, "Guardar Configuración", kArchivo, F, "", OK, false, 0},
      {5124, 5124, "&Generales", "&Archivo/&Preferencias", F, "", OK, false, 0},
      {5125, 5125, "&Tipos Archivo", "&Archivo/&Preferencias", F, "", OK, false, 0},
      {5126, 5126, "Ventana &Histograma", "&Archivo/&Preferencias", F, "", OK, false, 0},
      {5127, 5127, "Ventana &Datos", "&Archivo/&Preferencias", F, "", OK, false, 0},
      {5140, 5140, "Español", "&Archivo/&Idioma", F, "", OK, false, 0},
      {5141, 5141, "Catalán", "&Archivo/&Idioma", F, "", OK, false, 0},
      {5142, 5142, "Francés", "&Archivo/&Idioma", F, "", OK, false, 0},
      {5143, 5143, "Inglés", "&Archivo/&Idioma", F, "", OK, false, 0},
      {5009, 5009, "&Salir", kArchivo, F, "", OK, true, 0},

      {5012, 5012, "Cambiar curva &grises", kVisualizar, I, "", OK, false, 0},
      {5013, 5013, "&Invertir grises", kVisualizar, I, "Ctrl+F1", OK, false, 0},
      {5014, 5014, "&Tamaño normal (1:1)", kVisualizar, I, "Ctrl+1;Alt+1", OK, true, 0},
      {5030, 5037, "1:%d", "Visua&lizar/&Reducir", I, "Ctrl+%d", OK, false, 2},
      {5039, 5046, "%d:1", "Visua&lizar/&Ampliar", I, "Alt+%d", OK, false, 2},
      {5015, 5015, "Mostrar &Nada", kVisualizar, I, "", OK, true, 0},
      {5017, 5017, "Mostrar &Histograma", kVisualizar, I, "", OK, false, 0},
      {5019, 5019, "Mostrar Datos &Imagen", kVisualizar, I, "", OK, false, 0},
      {5021, 5021, "Mostrar &Operaciones Imagen", kVisualizar, I, "", OK, false, 0},
      {5027, 5027, "Mostrar &Cabecera archivo", kVisualizar, I, "", OK, false, 0},
      {5023, 5023, "Mostrar valores &Linea", kVisualizar, I, "", OK, false, 0},
      {5025, 5025, "Mostrar valores &Columna", kVisualizar, I, "", OK, false, 0},
      {5016, 5016, "Mostrar &Nada", "Visua&lizar/&Mostrar en varias", F, "", OK, false, 0},
      {5018, 5018, "Mostrar &Histograma", "Visua&lizar/&Mostrar en varias", F, "", OK, false, 0},
      {5020, 5020, "Mostrar Datos &Imagen", "Visua&lizar/&Mostrar en varias", F, "", OK, false, 0},
      {5022, 5022, "Mostrar &Operaciones Imagen", "Visua&lizar/&Mostrar en varias", F, "", OK,
       false, 0},
      {5028, 5028, "Mostrar &Cabecera archivo", "Visua&lizar/&Mostrar en varias", F, "", OK, false,
       0},
      {5024, 5024, "Mostrar valores &Linea", "Visua&lizar/&Mostrar en varias", F, "", OK, false, 0},
      {5026, 5026, "Mostrar valores &Columna", "Visua&lizar/&Mostrar en varias", F, "", OK, false,
       0},
      {5151, 5151, "&Iconizar varias", kVisualizar, F, "", OK, false, 0},
      {5152, 5152, "&Restaurar varias", kVisualizar, F, "", OK, false, 0},

      {5049, 5049, "Espejo &Horizontal", kPosicionar, I, "", NP, false, 0},
      {5050, 5050, "Espejo &Vertical", kPosicionar, I, "", NP, false, 0},
      {5051, 5051, "&Desplazar", kPosicionar, I, "", NP, true, 0},
      {5052, 5052, "&Desplazar por referencia", kPosicionar, I, "", NP, false, 0},
      {5217, 5217, "&Desplazar por referencia varias...", kPosicionar, I, "", NP, false, 0},
      {5048, 5048, "&Rotar", kPosicionar, I, "", NP, true, 0},
      {5053, 5053, "Red&imensionar", kPosicionar, I, "", NP, false, 0},
      {5054, 5054, "Red&imensionar por referencia", kPosicionar, I, "", NP, false, 0},
      {5055, 5055, "&Cortar", kPosicionar, I, "", NP, false, 0},
      {5056, 5056, "&Cortar por referencia", kPosicionar, I, "", NP, false, 0},
      {5057, 5057, "Trans. General 2 Puntos", kPosicionar, I, "", NE, true, 0},
      {5058, 5058, "Trans. General 3 Puntos", kPosicionar, I, "", NE, false, 0},
      {5059, 5059, "Trans. General 4 Puntos", kPosicionar, I, "", NE, false, 0},

      {kComandoDeshacer, kComandoDeshacer, "&Deshacer", kTratar, I, "Ctrl+Z", OK, false, 0},
      {kComandoRehacer, kComandoRehacer, "&Rehacer", kTratar, I, "Ctrl+Y", OK, false, 0},
      {5060, 5060, "&Una", "&Tratar/&Pretratamiento", I, "", NE, false, 0},
      {5061, 5061, "&Varias", "&Tratar/&Pretratamiento", I, "", NE, false, 0},
      {5062, 5062, "&Escalar grises", kTratar, I, "", NP, false, 0},
      {5063, 5111, "Filtro %d", "&Tratar/&Filtros", I, "", NP, false, 1},
      {5112, 5112, "&Operaciones dos imagenes", kTratar, I, "", NE, true, 0},
      {5113, 5113, "Media", "&Tratar/Varias &imagenes", I, "", NE, false, 0},
      {5114, 5114, "Mediana", "&Tratar/Varias &imagenes", I, "", NE, false, 0},
      {5115, 5115, "Sumar", "&Tratar/Varias &imagenes", I, "", NE, false, 0},
      {5116, 5116, "Sumar por referencia", "&Tratar/Varias &imagenes", I, "", NE, false, 0},
      {5117, 5117, "Sumar por referencia agrupando...", "&Tratar/Varias &imagenes", I, "", NE,
       false, 0},
      {5118, 5118, "Media por referencia", "&Tratar/Varias &imagenes", I, "", NE, false, 0},
      {5119, 5119, "Media por referencia agrupando", "&Tratar/Varias &imagenes", I, "", NE, false,
       0},
      {5122, 5122, "&Una", "&Tratar/&Datos", I, "Ctrl+D", OK, true, 0},
      {5123, 5123, "&Varias", "&Tratar/&Datos", F, "", OK, false, 0},
      {5120, 5120, "Ejecutar &Macro...", kTratar, I, "", OK, true, 0},
      {5121, 5121, "&Guardar Macro...", kTratar, I, "", OK, false, 0},

      {5131, 5131, "&Ninguna", kHerramientas, F, "", OK, false, 0},
      {5133, 5133, "&Rotar", kHerramientas, F, "", OK, false, 0},
      {5134, 5134, "&Desplazar", kHerramientas, F, "", OK, false, 0},
      {5135, 5135, "&Cortar", kHerramientas, F, "", OK, false, 0},
      {5136, 5136, "&Redimensionar", kHerramientas, F, "", OK, false, 0},
      {5137, 5137, "&Trans. General", kHerramientas, F, "", OK, false, 0},
      {5138, 5138, "&Tratamiento", kHerramientas, F, "", OK, false, 0},
      {5139, 5139, "&Análisis", kHerramientas, F, "", OK, false, 0},
      {5128, 5128, "Tratar &Objetos", kHerramientas, F, "", NE, true, 0},
      {5129, 5129, "Tratar Obser&vatorios", kHerramientas, F, "", NE, false, 0},

      {5147, 5147, "&Cascada", kVentana, F, "Shift+F5", OK, false, 0},
      {5146, 5146, "&Mosaico Ver.", kVentana, F, "Shift+F4", OK, false, 0},
      {5145, 5145, "&Mosaico Hor.", kVentana, F, "", OK, false, 0},
      {5148, 5148, "Distribuir &Iconos", kVentana, F, "", OK, false, 0},
      {5130, 5130, "Ver Imagenes", kVentana, F, "", OK, true, 0},

      {5153, 5153, "&Acerca", kAyuda, F, "", OK, false, 0},
      {5154, 5154, "Ay&uda", kAyuda, F, "", NE, false, 0},
  };
  return tabla;
}

namespace {

std::string Numera(const std::string& patron, int n) {
  const size_t p = patron.find("%d");
  if (p == std::string::npos) return patron;
  return patron.substr(0, p) + std::to_string(n) + patron.substr(p + 2);
}

std::vector<std::string> Divide(const std::string& texto, char sep) {
  std::vector<std::string> partes;
  size_t pos = 0;
  while (pos < texto.size()) {
    size_t fin = texto.find(sep, pos);
    if (fin == std::string::npos) fin = texto.size();
    if (fin > pos) partes.push_back(texto.substr(pos, fin - pos));
    pos = fin + 1;
  }
  return partes;
}

}  // namespace

std::vector<Comando> ComandosExpandidos() {
  std::vector<Comando> lista;
  for (const FilaComando& f : TablaComandos()) {
    for (int id = f.id; id <= f.idFin; ++id) {
      const int n = f.primerN + (id - f.id);
      Comando c;
      c.id = id;
      c.etiqueta = f.idFin > f.id ? Numera(f.etiqueta, n) : f.etiqueta;
      c.popup = f.popup;
      c.destino = f.destino;
      for (const std::string& a : Divide(f.atajo, ';')) c.atajos.push_back(Numera(a, n));
      c.disponible = f.disponible;
      c.separadorAntes = f.separadorAntes && id == f.id;
      lista.push_back(std::move(c));
    }
  }
  return lista;
}

const Comando* BuscaComando(int id) {
  static const std::vector<Comando> lista = ComandosExpandidos();
  for (const Comando& c : lista) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

RutaComando Ruta(int id, bool hayImagen) {
  if (const Comando* c = BuscaComando(id); c && c->destino == kEnMarco) return kRutaMarco;
  if (hayImagen) return kRutaImagen;
  if (id >= 6000 && id <= 7999) return kRutaModulos;
  return kRutaNinguna;
}

bool EsZoom(int id) {
  return id == 5014 || (id >= 5030 && id <= 5037) || (id >= 5039 && id <= 5046);
}

std::string LineaZoom(int id) {
  if (id == 5014) return "ZOOM A 1";
  if (id >= 5030 && id <= 5037) return "ZOOM D " + std::to_string(id - 5028);
  if (id >= 5039 && id <= 5046) return "ZOOM A " + std::to_string(id - 5037);
  return {};
}

namespace {
constexpr int kComandosModo[7] = {5015, 5017, 5019, 5021, 5027, 5023, 5025};
const char* const kPalabrasModo[7] = {"NADA", "HISTO", "DATOS", "OPER", "CABE", "LINHOR", "LINVER"};
}  // namespace

int ModoDeComando(int id) {
  for (int m = 0; m < 7; ++m) {
    if (kComandosModo[m] == id) return m + 1;
  }
  return 0;
}

int ComandoDeModo(int modo) {
  return modo >= 1 && modo <= 7 ? kComandosModo[modo - 1] : 0;
}

int ComandoDeVarias(int id) {
  return ModoDeComando(id - 1) != 0 && id % 2 == 0 ? id - 1 : 0;
}

std::string LineaMostrar(int modo) {
  if (modo < 1 || modo > 7) return {};
  return std::string("MOSTRAR ") + kPalabrasModo[modo - 1];
}

EstadoMenu CalculaEstadoMenu(const SituacionMenu& s) {
  EstadoMenu e;
  e.marcados.insert(5015);
  e.marcados.insert(5131 + s.herramienta);
  e.marcados.insert(5140 + s.lenguaje);
  const int propios[] = {5002, 5003, 5004, 5005, 5006, 5007, 5150};
  const int soloImagen[] = {5012, 5013, 5017, 5023, 5025};
  if (s.hayImagen) {
    for (int id : propios) e.activos.insert(id);
    e.popupVisualizar = true;
    if (s.tipoVentana == 0) {
      e.popupsImagen = true;
      for (int id : soloImagen) e.activos.insert(id);
    } else {
      for (int id : soloImagen) e.inactivos.insert(id);
    }
    if (s.comandoZoom != 0 && s.comandoZoom != 5014) e.marcados.insert(s.comandoZoom);
    if (const int m = ComandoDeModo(s.modoPanel); m != 0 && m != 5015) {
      e.marcados.erase(5015);
      e.marcados.insert(m);
    }
  } else {
    for (int id : propios) e.inactivos.insert(id);
  }
  return e;
}

// ---------------------------------------------------------------------------------------------
// Tools

namespace {

bool Definido(const Imagen& im, int p) {
  return im.puntos[static_cast<size_t>(p)].definido != 0;
}

// The full point is marked 1; a single coordinate marks 2 (x) or 4 (y) until both are set.
constexpr int16_t kPunto = 1, kSoloX = 2, kSoloY = 4;
bool PuntoCompleto(const Imagen& im, int p) {
  return (im.puntos[static_cast<size_t>(p)].definido & kPunto) != 0;
}

void PonPunto(Imagen& im, int p, int x, int y) {
  im.puntos[static_cast<size_t>(p)] = {kPunto, x, y};
}
void PonX(Imagen& im, int p, int x) {
  PuntoReferencia& r = im.puntos[static_cast<size_t>(p)];
  r.x = x;
  r.definido = static_cast<int16_t>(r.definido | kSoloX);
  if ((r.definido & (kSoloX | kSoloY)) == (kSoloX | kSoloY)) r.definido = kPunto;
}
void PonY(Imagen& im, int p, int y) {
  PuntoReferencia& r = im.puntos[static_cast<size_t>(p)];
  r.y = y;
  r.definido = static_cast<int16_t>(r.definido | kSoloY);
  if ((r.definido & (kSoloX | kSoloY)) == (kSoloX | kSoloY)) r.definido = kPunto;
}
void Limpia(Imagen& im, std::initializer_list<int> puntos) {
  for (int p : puntos) im.puntos[static_cast<size_t>(p)] = {};
}

}  // namespace

Menu MenuHerramienta(int herramienta, const Imagen& im) {
  Menu m;
  switch (herramienta) {
    case kRotar: {
      m.titulo = "ROTAR";
      const bool hor = Definido(im, kOriRotaHor) || Definido(im, kFinRotaHor);
      const bool ver = Definido(im, kOriRotaVer) || Definido(im, kFinRotaVer);
      m.Anade(5167, "Origen Lin. Hor.", !ver);
      m.Anade(5169, "Final  Lin. Hor.", !ver);
      m.Anade(5170, "Origen Lin. Vert.", !hor);
      m.Anade(5171, "Final  Lin. Vert.", !hor);
      m.Anade(5172, "Definir Centro Rotación");
      m.Anade(5173, "Definir X Rotación");
      m.Anade(5174, "Definir Y Rotación");
      m.Anade(5177, "Limpiar Puntos");
      break;
    }
    case kDesplazar: {
      m.titulo = "DESPLAZAR";
      const bool min = PuntoCompleto(im, kDespMin), max = PuntoCompleto(im, kDespMax);
      m.Anade(5157, "Definir X Mínima", !min);
      m.Anade(5155, "Definir Y Mínima", !min);
      m.Anade(5167, "Definir Punto Mínimo");
      m.Anade(5158, "Definir X Máxima", !max);
      m.Anade(5156, "Definir Y Máxima", !max);
      m.Anade(5169, "Definir Punto Máximo");
      m.Anade(5159, "Definir Punto Referencia");
      m.Anade(5177, "Limpiar Puntos");
      break;
    }
    case kCortar:
      m.titulo = "CORTAR";
      m.Anade(5172, "Definir Centro");
      m.Anade(5166, "Definir Origen");
      m.Anade(5168, "Definir Final");
      m.Anade(5155, "Definir Arriba");
      m.Anade(5156, "Definir Abajo");
      m.Anade(5157, "Definir Izquierda");
      m.Anade(5158, "Definir Derecha");
      m.Anade(5159, "Definir Punto Referencia");
      m.Anade(5177, "Limpiar Puntos");
      // The crop settings dialog belongs to the crop operation, not linked here.
      m.Anade(5163, "Preferencias", false);
      break;
    case kRedimensionar:
      m.titulo = "REDIMENSIONAR";
      m.Anade(5155, "Definir Arriba");
      m.Anade(5156, "Definir Abajo");
      m.Anade(5157, "Definir Izquierda");
      m.Anade(5158, "Definir Derecha");
      m.Anade(5166, "Definir Origen");
      m.Anade(5168, "Definir Final");
      m.Anade(5159, "Definir Punto 1");
      m.Anade(5160, "Definir Punto 2");
      m.Anade(5177, "Limpiar Puntos");
      break;
    case kTransGeneral:
      m.titulo = "TRANSFORM";
      for (int i = 0; i < 4; ++i) m.Anade(5159 + i, "Definir Punto " + std::to_string(i + 1));
      m.Anade(5177, "Limpiar Puntos");
      break;
    case kTratamiento:
      m.titulo = "TRATAR";
      m.Anade(5164, "Definir Negro");
      m.Anade(5165, "Definir Blanco");
      // Zone mean and line saving are treatments this system does not define.
      m.Anade(5175, "Media Zona", false);
      m.Anade(5176, "Guardar linea", false);
      break;
    default:
      break;
  }
  return m;
}

bool ComandoHerramienta(int herramienta, int id, int x, int y, Imagen& im) {
  switch (herramienta) {
    case kRotar:
      switch (id) {
        case 5167:
          PonPunto(im, kOriRotaHor, x, y);
          return true;
        case 5169:
          PonPunto(im, kFinRotaHor, x, y);
          return true;
        case 5170:
          PonPunto(im, kOriRotaVer, x, y);
          return true;
        case 5171:
          PonPunto(im, kFinRotaVer, x, y);
          return true;
        case 5172:
          PonPunto(im, kCentroRota, x, y);
          return true;
        case 5173:
          PonX(im, kCentroRota, x);
          return true;
        case 5174:
          PonY(im, kCentroRota, y);
          return true;
        case 5177:
          Limpia(im, {kOriRotaHor, kFinRotaHor, kOriRotaVer, kFinRotaVer, kCentroRota});
          return true;
      }
      return false;
    case kDesplazar:
      switch (id) {
        case 5157:
          PonX(im, kDespMin, x);
          return true;
        case 5155:
          PonY(im, kDespMin, y);
          return true;
        case 5167:
          PonPunto(im, kDespMin, x, y);
          return true;
        case 5158:
          PonX(im, kDespMax, x);
          return true;
        case 5156:
          PonY(im, kDespMax, y);
          return true;
        case 5169:
          PonPunto(im, kDespMax, x, y);
          return true;
        case 5159:
          PonPunto(im, kDespRef, x, y);
          return true;
        case 5177:
          Limpia(im, {kDespMin, kDespMax, kDespRef});
          return true;
      }
      return false;
    case kCortar:
    case kRedimensionar:
      // The region is kept in the minimum (top-left) and maximum (bottom-right) points.
      switch (id) {
        case 5166:
          PonPunto(im, kDespMin, x, y);
          return true;
        case 5168:
          PonPunto(im, kDespMax, x, y);
          return true;
        case 5155:
          PonY(im, kDespMin, y);
          return true;
        case 5156:
          PonY(im, kDespMax, y);
          return true;
        case 5157:
          PonX(im, kDespMin, x);
          return true;
        case 5158:
          PonX(im, kDespMax, x);
          return true;
      }
      if (herramienta == kCortar) {
        switch (id) {
          case 5172:
            PonPunto(im, kCentroRota, x, y);
            return true;
          case 5159:
            PonPunto(im, kDespRef, x, y);
            return true;
          case 5177:
            Limpia(im, {kDespMin, kDespMax, kDespRef, kCentroRota});
            return true;
        }
      } else {
        switch (id) {
          case 5159:
            PonPunto(im, kRedimRef1, x, y);
            return true;
          case 5160:
            PonPunto(im, kRedimRef2, x, y);
            return true;
          case 5177:
            Limpia(im, {kDespMin, kDespMax, kRedimRef1, kRedimRef2});
            return true;
        }
      }
      return false;
    case kTransGeneral:
      if (id >= 5159 && id <= 5162) {
        im.puntosTrans[static_cast<size_t>(id - 5159)] = {1, static_cast<double>(x),
                                                          static_cast<double>(y)};
        return true;
      }
      if (id == 5177) {
        im.puntosTrans = {};
        return true;
      }
      return false;
    case kTratamiento:
      if (id == 5164 || id == 5165) {
        if (x < 0 || y < 0 || x >= static_cast<long>(im.Ancho()) ||
            y >= static_cast<long>(im.Alto()) || im.esPaleta) {
          return true;  // outside the image there is no level to take
        }
        const int v = im.Pixel(static_cast<long>(x), static_cast<long>(y));
        if (id == 5164) {
          im.FijaNiveles(v, im.Blanco());
        } else {
          im.FijaNiveles(im.Negro(), v);
        }
        im.repintar = 1;
        return true;
      }
      return false;
    default:
      return false;
  }
}

}  // namespace orva
