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
  // id, last id, label, popup, routing, accelerators, availability, separator before, first n,
  // checkable, tool chosen, language chosen
  static const std::vector<FilaComando> tabla = {
      {kCmdNuevo, kCmdNuevo, "&Nuevo", kArchivo, F, "", OK, false, 0},
      {kCmdAbrir, kCmdAbrir, "&Abrir...", kArchivo, F, "Ctrl+A", OK, false, 0},
      {kCmdGuardar, kCmdGuardar, "&Guardar", kArchivo, I, "Ctrl+G", OK, false, 0},
      {kCmdGuardarVarias, kCmdGuardarVarias, "Guardar &Varias", kArchivo, I, "", OK, false, 0},
      {kCmdGuardarVariasEn, kCmdGuardarVariasEn, "Guardar Varias &en...", kArchivo, I, "", OK,
       false, 0},
      {kCmdGuardarComo, kCmdGuardarComo, "Guardar &como...", kArchivo, I, "", OK, false, 0},
      {kCmdDuplicar, kCmdDuplicar, "Hacer &Duplicado", kArchivo, I, "", OK, true, 0},
      {kCmdCerrar, kCmdCerrar, "&Cerrar", kArchivo, F, "", OK, false, 0},
      {kCmdCerrarVarias, kCmdCerrarVarias, "Cerrar &varias", kArchivo, F, "", OK, false, 0},
      {kCmdMacroDisco, kCmdMacroDisco, "Ejecutar &Macro en Disco...", kArchivo, F, "", OK, true, 0},
      {kCmdLeerConfiguracion, kCmdLeerConfiguracion, "Leer Configuración", kArchivo, F, "", OK,
       true, 0},
      {kCmdGuardarConfiguracion, kCmdGuardarConfiguracion, "Guardar Configuración", kArchivo, F, "",
       OK, false, 0},
      {kCmdPrefGenerales, kCmdPrefGenerales, "&Generales", "&Archivo/&Preferencias", F, "", OK,
       false, 0},
      {kCmdPrefTiposArchivo, kCmdPrefTiposArchivo, "&Tipos Archivo", "&Archivo/&Preferencias", F,
       "", OK, false, 0},
      {kCmdPrefHistograma, kCmdPrefHistograma, "Ventana &Histograma", "&Archivo/&Preferencias", F,
       "", OK, false, 0},
      {kCmdPrefDatos, kCmdPrefDatos, "Ventana &Datos", "&Archivo/&Preferencias", F, "", OK, false,
       0},
      {kCmdPrefTipoGeneral, kCmdPrefTipoGeneral, "Tipo &GENERAL", "&Archivo/&Preferencias", F, "",
       OK, false, 0},
      {kCmdIdiomaEspanol, kCmdIdiomaEspanol, "Español", "&Archivo/&Idioma", F, "", OK, false, 0,
       true, -1, 0},
      {kCmdIdiomaCatalan, kCmdIdiomaCatalan, "Catalán", "&Archivo/&Idioma", F, "", OK, false, 0,
       true, -1, 1},
      {kCmdIdiomaFrances, kCmdIdiomaFrances, "Francés", "&Archivo/&Idioma", F, "", OK, false, 0,
       true, -1, 2},
      {kCmdIdiomaIngles, kCmdIdiomaIngles, "Inglés", "&Archivo/&Idioma", F, "", OK, false, 0, true,
       -1, 3},
      {kCmdSalir, kCmdSalir, "&Salir", kArchivo, F, "", OK, true, 0},

      {kCmdCurvaGrises, kCmdCurvaGrises, "Cambiar curva &grises", kVisualizar, I, "", OK, false, 0},
      {kCmdInvertir, kCmdInvertir, "&Invertir grises", kVisualizar, I, "Ctrl+F1", OK, false, 0},
      {kCmdZoom11, kCmdZoom11, "&Tamaño normal (1:1)", kVisualizar, I, "Ctrl+1;Alt+1", OK, true, 0,
       true},
      {kCmdReducir2, kCmdReducir9, "1:%d", "Visua&lizar/&Reducir", I, "Ctrl+%d", OK, false, 2,
       true},
      {kCmdAmpliar2, kCmdAmpliar9, "%d:1", "Visua&lizar/&Ampliar", I, "Alt+%d", OK, false, 2, true},
      {kCmdAjustarVentana, kCmdAjustarVentana, "Ajustar a la &ventana", kVisualizar, I,
       "Ctrl+0", OK, false, 0},
      {kCmdMostrarNada, kCmdMostrarNada, "Mostrar &Nada", kVisualizar, I, "", OK, true, 0, true},
      {kCmdMostrarHisto, kCmdMostrarHisto, "Mostrar &Histograma", kVisualizar, I, "", OK, false, 0,
       true},
      {kCmdMostrarDatos, kCmdMostrarDatos, "Mostrar Datos &Imagen", kVisualizar, I, "", OK, false,
       0, true},
      {kCmdMostrarOper, kCmdMostrarOper, "Mostrar &Operaciones Imagen", kVisualizar, I, "", OK,
       false, 0, true},
      {kCmdMostrarCabecera, kCmdMostrarCabecera, "Mostrar &Cabecera archivo", kVisualizar, I, "",
       OK, false, 0, true},
      {kCmdMostrarLinea, kCmdMostrarLinea, "Mostrar valores &Linea", kVisualizar, I, "", OK, false,
       0, true},
      {kCmdMostrarColumna, kCmdMostrarColumna, "Mostrar valores &Columna", kVisualizar, I, "", OK,
       false, 0, true},
      {kCmdVariasNada, kCmdVariasNada, "Mostrar &Nada", "Visua&lizar/&Mostrar en varias", F, "", OK,
       false, 0},
      {kCmdVariasHisto, kCmdVariasHisto, "Mostrar &Histograma", "Visua&lizar/&Mostrar en varias", F,
       "", OK, false, 0},
      {kCmdVariasDatos, kCmdVariasDatos, "Mostrar Datos &Imagen", "Visua&lizar/&Mostrar en varias",
       F, "", OK, false, 0},
      {kCmdVariasOper, kCmdVariasOper, "Mostrar &Operaciones Imagen",
       "Visua&lizar/&Mostrar en varias", F, "", OK, false, 0},
      {kCmdVariasCabecera, kCmdVariasCabecera, "Mostrar &Cabecera archivo",
       "Visua&lizar/&Mostrar en varias", F, "", OK, false, 0},
      {kCmdVariasLinea, kCmdVariasLinea, "Mostrar valores &Linea", "Visua&lizar/&Mostrar en varias",
       F, "", OK, false, 0},
      {kCmdVariasColumna, kCmdVariasColumna, "Mostrar valores &Columna",
       "Visua&lizar/&Mostrar en varias", F, "", OK, false, 0},
      {kCmdIconizarVarias, kCmdIconizarVarias, "&Iconizar varias", kVisualizar, F, "", OK, false,
       0},
      {kCmdRestaurarVarias, kCmdRestaurarVarias, "&Restaurar varias", kVisualizar, F, "", OK, false,
       0},

      {kCmdEspejoHor, kCmdEspejoHor, "Espejo &Horizontal", kPosicionar, I, "", NP, false, 0},
      {kCmdEspejoVer, kCmdEspejoVer, "Espejo &Vertical", kPosicionar, I, "", NP, false, 0},
      {kCmdDesplazar, kCmdDesplazar, "&Desplazar", kPosicionar, I, "", NP, true, 0},
      {kCmdDesplazarRef, kCmdDesplazarRef, "&Desplazar por referencia", kPosicionar, I, "", NP,
       false, 0},
      {kCmdDesplazarRefVarias, kCmdDesplazarRefVarias, "&Desplazar por referencia varias...",
       kPosicionar, I, "", NP, false, 0},
      {kCmdRotar, kCmdRotar, "&Rotar", kPosicionar, I, "", NP, true, 0},
      {kCmdRedimensionar, kCmdRedimensionar, "Red&imensionar", kPosicionar, I, "", NP, false, 0},
      {kCmdRedimensionarRef, kCmdRedimensionarRef, "Red&imensionar por referencia", kPosicionar, I,
       "", NP, false, 0},
      {kCmdCortar, kCmdCortar, "&Cortar", kPosicionar, I, "", NP, false, 0},
      {kCmdCortarRef, kCmdCortarRef, "&Cortar por referencia", kPosicionar, I, "", NP, false, 0},
      {kCmdTransGeneral2, kCmdTransGeneral2, "Trans. General 2 Puntos", kPosicionar, I, "", NP,
       true, 0},
      {kCmdTransGeneral3, kCmdTransGeneral3, "Trans. General 3 Puntos", kPosicionar, I, "", NP,
       false, 0},
      {kCmdTransGeneral4, kCmdTransGeneral4, "Trans. General 4 Puntos", kPosicionar, I, "", NP,
       false, 0},

      {kCmdDeshacer, kCmdDeshacer, "&Deshacer", kTratar, I, "Ctrl+Z", OK, false, 0},
      {kCmdRehacer, kCmdRehacer, "&Rehacer", kTratar, I, "Ctrl+Y", OK, false, 0},
      {kCmdPretratarUna, kCmdPretratarUna, "&Una", "&Tratar/&Pretratamiento", I, "", OK, false, 0},
      {kCmdPretratarVarias, kCmdPretratarVarias, "&Varias", "&Tratar/&Pretratamiento", I, "", OK,
       false, 0},
      {kCmdEscalarGrises, kCmdEscalarGrises, "&Escalar grises", kTratar, I, "", NP, false, 0},
      {kCmdPrimerFiltro, kCmdFiltroGeneral, "Filtro %d", "&Tratar/&Filtros", I, "", NP, false, 1},
      {kCmdDosImagenes, kCmdDosImagenes, "&Operaciones dos imagenes", kTratar, I, "", OK, true, 0},
      {kCmdMedia, kCmdMedia, "Media", "&Tratar/Varias &imagenes", I, "", OK, false, 0},
      {kCmdMediana, kCmdMediana, "Mediana", "&Tratar/Varias &imagenes", I, "", OK, false, 0},
      {kCmdSumar, kCmdSumar, "Sumar", "&Tratar/Varias &imagenes", I, "", OK, false, 0},
      {kCmdSumarRef, kCmdSumarRef, "Sumar por referencia", "&Tratar/Varias &imagenes", I, "", OK,
       false, 0},
      {kCmdSumarRefAgrupando, kCmdSumarRefAgrupando, "Sumar por referencia agrupando...",
       "&Tratar/Varias &imagenes", I, "", OK, false, 0},
      {kCmdMediaRef, kCmdMediaRef, "Media por referencia", "&Tratar/Varias &imagenes", I, "", OK,
       false, 0},
      {kCmdMediaRefAgrupando, kCmdMediaRefAgrupando, "Media por referencia agrupando",
       "&Tratar/Varias &imagenes", I, "", OK, false, 0},
      {kCmdDatosUna, kCmdDatosUna, "&Una", "&Tratar/&Datos", I, "Ctrl+D", OK, true, 0},
      {kCmdDatosVarias, kCmdDatosVarias, "&Varias", "&Tratar/&Datos", F, "", OK, false, 0},
      {kCmdEjecutarMacro, kCmdEjecutarMacro, "Ejecutar &Macro...", kTratar, I, "", OK, true, 0},
      {kCmdGuardarMacro, kCmdGuardarMacro, "&Guardar Macro...", kTratar, I, "", OK, false, 0},

      {kCmdHerramientaNinguna, kCmdHerramientaNinguna, "&Ninguna", kHerramientas, F, "", OK, false,
       0, true, 0},
      {kCmdHerramientaRotar, kCmdHerramientaRotar, "&Rotar", kHerramientas, F, "", OK, false, 0,
       true, 2},
      {kCmdHerramientaDesplazar, kCmdHerramientaDesplazar, "&Desplazar", kHerramientas, F, "", OK,
       false, 0, true, 3},
      {kCmdHerramientaCortar, kCmdHerramientaCortar, "&Cortar", kHerramientas, F, "", OK, false, 0,
       true, 4},
      {kCmdHerramientaRedimensionar, kCmdHerramientaRedimensionar, "&Redimensionar", kHerramientas,
       F, "", OK, false, 0, true, 5},
      {kCmdHerramientaTransGeneral, kCmdHerramientaTransGeneral, "&Trans. General", kHerramientas,
       F, "", OK, false, 0, true, 6},
      {kCmdHerramientaTratamiento, kCmdHerramientaTratamiento, "&Tratamiento", kHerramientas, F, "",
       OK, false, 0, true, 7},
      {kCmdHerramientaAnalisis, kCmdHerramientaAnalisis, "&Análisis", kHerramientas, F, "", OK,
       false, 0, true, 8},
      {kCmdTratarObjetos, kCmdTratarObjetos, "Tratar &Objetos", kHerramientas, F, "", OK, true, 0},
      {kCmdTratarObservatorios, kCmdTratarObservatorios, "Tratar Obser&vatorios", kHerramientas, F,
       "", OK, false, 0},

      {kCmdCascada, kCmdCascada, "&Cascada", kVentana, F, "Shift+F5", OK, false, 0},
      {kCmdMosaicoVer, kCmdMosaicoVer, "&Mosaico Ver.", kVentana, F, "Shift+F4", OK, false, 0},
      {kCmdMosaicoHor, kCmdMosaicoHor, "&Mosaico Hor.", kVentana, F, "", OK, false, 0},
      {kCmdDistribuirIconos, kCmdDistribuirIconos, "Distribuir &Iconos", kVentana, F, "", OK, false,
       0},
      {kCmdVerImagenes, kCmdVerImagenes, "Ver Imagenes", kVentana, F, "", OK, true, 0},

      {kCmdAcerca, kCmdAcerca, "&Acerca", kAyuda, F, "", OK, false, 0},
      {kCmdAyuda, kCmdAyuda, "Ay&uda", kAyuda, F, "", NE, false, 0},
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
      c.marcable = f.marcable;
      c.herramienta = f.herramienta;
      c.lenguaje = f.lenguaje;
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
  if (id >= kCmdPrimerModulo && id <= kCmdUltimoModulo) return kRutaModulos;
  return kRutaNinguna;
}

bool EsZoom(int id) {
  return id == kCmdZoom11 || (id >= kCmdReducir2 && id <= kCmdReducir9) ||
         (id >= kCmdAmpliar2 && id <= kCmdAmpliar9);
}

std::string LineaZoom(int id) {
  constexpr int kPrimerFactor = 2;
  if (id == kCmdZoom11) return "ZOOM A 1";
  if (id >= kCmdReducir2 && id <= kCmdReducir9)
    return "ZOOM D " + std::to_string(id - kCmdReducir2 + kPrimerFactor);
  if (id >= kCmdAmpliar2 && id <= kCmdAmpliar9)
    return "ZOOM A " + std::to_string(id - kCmdAmpliar2 + kPrimerFactor);
  return {};
}

namespace {
constexpr int kComandosModo[7] = {kCmdMostrarNada,   kCmdMostrarHisto,    kCmdMostrarDatos,
                                  kCmdMostrarOper,   kCmdMostrarCabecera, kCmdMostrarLinea,
                                  kCmdMostrarColumna};
// Each "Mostrar en varias" command follows its single-image one.
constexpr int kComandosVarias[7] = {kCmdVariasNada,   kCmdVariasHisto,    kCmdVariasDatos,
                                    kCmdVariasOper,   kCmdVariasCabecera, kCmdVariasLinea,
                                    kCmdVariasColumna};
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
  for (int m = 0; m < 7; ++m) {
    if (kComandosVarias[m] == id) return kComandosModo[m];
  }
  return 0;
}

std::string LineaMostrar(int modo) {
  if (modo < 1 || modo > 7) return {};
  return std::string("MOSTRAR ") + kPalabrasModo[modo - 1];
}

int ComandoDeHerramienta(int herramienta) {
  for (const FilaComando& f : TablaComandos()) {
    if (f.herramienta == herramienta) return f.id;
  }
  return 0;
}

int ComandoDeLenguaje(int lenguaje) {
  for (const FilaComando& f : TablaComandos()) {
    if (f.lenguaje == lenguaje) return f.id;
  }
  return 0;
}

EstadoMenu CalculaEstadoMenu(const SituacionMenu& s) {
  EstadoMenu e;
  e.marcados.insert(kCmdMostrarNada);
  if (const int h = ComandoDeHerramienta(s.herramienta)) e.marcados.insert(h);
  if (const int l = ComandoDeLenguaje(s.lenguaje)) e.marcados.insert(l);
  const int propios[] = {kCmdGuardar,  kCmdGuardarVarias, kCmdGuardarVariasEn, kCmdGuardarComo,
                         kCmdDuplicar, kCmdCerrar,        kCmdCerrarVarias};
  const int soloImagen[] = {kCmdCurvaGrises, kCmdInvertir, kCmdMostrarHisto, kCmdMostrarLinea,
                            kCmdMostrarColumna};
  if (s.hayImagen) {
    for (int id : propios) e.activos.insert(id);
    e.popupVisualizar = true;
    if (s.tipoVentana == 0) {
      e.popupsImagen = true;
      for (int id : soloImagen) e.activos.insert(id);
    } else {
      for (int id : soloImagen) e.inactivos.insert(id);
    }
    if (s.comandoZoom != 0 && s.comandoZoom != kCmdZoom11) e.marcados.insert(s.comandoZoom);
    if (const int m = ComandoDeModo(s.modoPanel); m != 0 && m != kCmdMostrarNada) {
      e.marcados.erase(kCmdMostrarNada);
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
      m.Anade(kCmdOrigenHor, "Origen Lin. Hor.", !ver);
      m.Anade(kCmdFinalHor, "Final  Lin. Hor.", !ver);
      m.Anade(kCmdOrigenVer, "Origen Lin. Vert.", !hor);
      m.Anade(kCmdFinalVer, "Final  Lin. Vert.", !hor);
      m.Anade(kCmdDefCentro, "Definir Centro Rotación");
      m.Anade(kCmdDefXRotacion, "Definir X Rotación");
      m.Anade(kCmdDefYRotacion, "Definir Y Rotación");
      m.Anade(kCmdLimpiarPuntos, "Limpiar Puntos");
      break;
    }
    case kDesplazar: {
      m.titulo = "DESPLAZAR";
      const bool min = PuntoCompleto(im, kDespMin), max = PuntoCompleto(im, kDespMax);
      m.Anade(kCmdDefIzquierda, "Definir X Mínima", !min);
      m.Anade(kCmdDefArriba, "Definir Y Mínima", !min);
      m.Anade(kCmdOrigenHor, "Definir Punto Mínimo");
      m.Anade(kCmdDefDerecha, "Definir X Máxima", !max);
      m.Anade(kCmdDefAbajo, "Definir Y Máxima", !max);
      m.Anade(kCmdFinalHor, "Definir Punto Máximo");
      m.Anade(kCmdDefPunto1, "Definir Punto Referencia");
      m.Anade(kCmdLimpiarPuntos, "Limpiar Puntos");
      break;
    }
    case kCortar:
      m.titulo = "CORTAR";
      m.Anade(kCmdDefCentro, "Definir Centro");
      m.Anade(kCmdDefOrigen, "Definir Origen");
      m.Anade(kCmdDefFinal, "Definir Final");
      m.Anade(kCmdDefArriba, "Definir Arriba");
      m.Anade(kCmdDefAbajo, "Definir Abajo");
      m.Anade(kCmdDefIzquierda, "Definir Izquierda");
      m.Anade(kCmdDefDerecha, "Definir Derecha");
      m.Anade(kCmdDefPunto1, "Definir Punto Referencia");
      m.Anade(kCmdLimpiarPuntos, "Limpiar Puntos");
      // The crop settings dialog belongs to the crop operation, not linked here.
      m.Anade(kCmdPrefCortar, "Preferencias", false);
      break;
    case kRedimensionar:
      m.titulo = "REDIMENSIONAR";
      m.Anade(kCmdDefArriba, "Definir Arriba");
      m.Anade(kCmdDefAbajo, "Definir Abajo");
      m.Anade(kCmdDefIzquierda, "Definir Izquierda");
      m.Anade(kCmdDefDerecha, "Definir Derecha");
      m.Anade(kCmdDefOrigen, "Definir Origen");
      m.Anade(kCmdDefFinal, "Definir Final");
      m.Anade(kCmdDefPunto1, "Definir Punto 1");
      m.Anade(kCmdDefPunto2, "Definir Punto 2");
      m.Anade(kCmdLimpiarPuntos, "Limpiar Puntos");
      break;
    case kTransGeneral:
      m.titulo = "TRANSFORM";
      for (int i = 0; i < 4; ++i)
        m.Anade(kCmdDefPunto1 + i, "Definir Punto " + std::to_string(i + 1));
      m.Anade(kCmdLimpiarPuntos, "Limpiar Puntos");
      break;
    case kTratamiento:
      m.titulo = "TRATAR";
      m.Anade(kCmdDefNegro, "Definir Negro");
      m.Anade(kCmdDefBlanco, "Definir Blanco");
      // Zone mean and line saving are treatments this system does not define.
      m.Anade(kCmdMediaZona, "Media Zona", false);
      m.Anade(kCmdGuardarLinea, "Guardar linea", false);
      break;
    default:
      break;
  }
  return m;
}

namespace {

// What a tool command does at the pixel it was given.
enum AccionHerramienta {
  kFijaPunto,     // the point at (x, y)
  kFijaX,         // only the x of the point
  kFijaY,         // only the y of the point
  kLimpiaPuntos,  // clears the listed points
  kFijaTrans,     // general transform point n (the first listed)
  kLimpiaTrans,   // clears the general transform points
  kFijaNegro,     // the black level from the pixel
  kFijaBlanco,    // the white level from the pixel
};

struct FilaHerramienta {
  int herramienta;
  int id;
  AccionHerramienta accion;
  std::initializer_list<int> puntos;
};

// Crop and resize keep their region in the minimum (top-left) and maximum (bottom-right) points.
const FilaHerramienta kTablaHerramientas[] = {
    {kRotar, kCmdOrigenHor, kFijaPunto, {kOriRotaHor}},
    {kRotar, kCmdFinalHor, kFijaPunto, {kFinRotaHor}},
    {kRotar, kCmdOrigenVer, kFijaPunto, {kOriRotaVer}},
    {kRotar, kCmdFinalVer, kFijaPunto, {kFinRotaVer}},
    {kRotar, kCmdDefCentro, kFijaPunto, {kCentroRota}},
    {kRotar, kCmdDefXRotacion, kFijaX, {kCentroRota}},
    {kRotar, kCmdDefYRotacion, kFijaY, {kCentroRota}},
    {kRotar,
     kCmdLimpiarPuntos,
     kLimpiaPuntos,
     {kOriRotaHor, kFinRotaHor, kOriRotaVer, kFinRotaVer, kCentroRota}},

    {kDesplazar, kCmdDefIzquierda, kFijaX, {kDespMin}},
    {kDesplazar, kCmdDefArriba, kFijaY, {kDespMin}},
    {kDesplazar, kCmdOrigenHor, kFijaPunto, {kDespMin}},
    {kDesplazar, kCmdDefDerecha, kFijaX, {kDespMax}},
    {kDesplazar, kCmdDefAbajo, kFijaY, {kDespMax}},
    {kDesplazar, kCmdFinalHor, kFijaPunto, {kDespMax}},
    {kDesplazar, kCmdDefPunto1, kFijaPunto, {kDespRef}},
    {kDesplazar, kCmdLimpiarPuntos, kLimpiaPuntos, {kDespMin, kDespMax, kDespRef}},

    {kCortar, kCmdDefOrigen, kFijaPunto, {kDespMin}},
    {kCortar, kCmdDefFinal, kFijaPunto, {kDespMax}},
    {kCortar, kCmdDefArriba, kFijaY, {kDespMin}},
    {kCortar, kCmdDefAbajo, kFijaY, {kDespMax}},
    {kCortar, kCmdDefIzquierda, kFijaX, {kDespMin}},
    {kCortar, kCmdDefDerecha, kFijaX, {kDespMax}},
    {kCortar, kCmdDefCentro, kFijaPunto, {kCentroRota}},
    {kCortar, kCmdDefPunto1, kFijaPunto, {kDespRef}},
    {kCortar, kCmdLimpiarPuntos, kLimpiaPuntos, {kDespMin, kDespMax, kDespRef, kCentroRota}},

    {kRedimensionar, kCmdDefOrigen, kFijaPunto, {kDespMin}},
    {kRedimensionar, kCmdDefFinal, kFijaPunto, {kDespMax}},
    {kRedimensionar, kCmdDefArriba, kFijaY, {kDespMin}},
    {kRedimensionar, kCmdDefAbajo, kFijaY, {kDespMax}},
    {kRedimensionar, kCmdDefIzquierda, kFijaX, {kDespMin}},
    {kRedimensionar, kCmdDefDerecha, kFijaX, {kDespMax}},
    {kRedimensionar, kCmdDefPunto1, kFijaPunto, {kRedimRef1}},
    {kRedimensionar, kCmdDefPunto2, kFijaPunto, {kRedimRef2}},
    {kRedimensionar,
     kCmdLimpiarPuntos,
     kLimpiaPuntos,
     {kDespMin, kDespMax, kRedimRef1, kRedimRef2}},

    {kTransGeneral, kCmdDefPunto1, kFijaTrans, {0}},
    {kTransGeneral, kCmdDefPunto2, kFijaTrans, {1}},
    {kTransGeneral, kCmdDefPunto3, kFijaTrans, {2}},
    {kTransGeneral, kCmdDefPunto4, kFijaTrans, {3}},
    {kTransGeneral, kCmdLimpiarPuntos, kLimpiaTrans, {}},

    {kTratamiento, kCmdDefNegro, kFijaNegro, {}},
    {kTratamiento, kCmdDefBlanco, kFijaBlanco, {}},
};

}  // namespace

bool ComandoHerramienta(int herramienta, int id, int x, int y, Imagen& im) {
  const FilaHerramienta* fila = nullptr;
  for (const FilaHerramienta& f : kTablaHerramientas) {
    if (f.herramienta == herramienta && f.id == id) fila = &f;
  }
  if (!fila) return false;
  const int punto = fila->puntos.size() > 0 ? *fila->puntos.begin() : 0;
  switch (fila->accion) {
    case kFijaPunto:
      PonPunto(im, punto, x, y);
      break;
    case kFijaX:
      PonX(im, punto, x);
      break;
    case kFijaY:
      PonY(im, punto, y);
      break;
    case kLimpiaPuntos:
      Limpia(im, fila->puntos);
      break;
    case kFijaTrans:
      im.puntosTrans[static_cast<size_t>(punto)] = {1, static_cast<double>(x),
                                                    static_cast<double>(y)};
      break;
    case kLimpiaTrans:
      im.puntosTrans = {};
      break;
    case kFijaNegro:
    case kFijaBlanco: {
      if (x < 0 || y < 0 || x >= static_cast<long>(im.Ancho()) ||
          y >= static_cast<long>(im.Alto()) || im.esPaleta) {
        break;  // outside the image there is no level to take
      }
      const int v = im.Pixel(static_cast<long>(x), static_cast<long>(y));
      if (fila->accion == kFijaNegro) {
        im.FijaNiveles(v, im.Blanco());
      } else {
        im.FijaNiveles(im.Negro(), v);
      }
      im.repintar = 1;
      break;
    }
  }
  return true;
}

}  // namespace orva
