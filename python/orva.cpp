// The compiled half of the Python package `orva`: images as NumPy int16 arrays plus a dict of
// their data, handed to the library's reader, writer, macro interpreter and stellar measures.
//
// Every library call runs with the GIL released and under one process-wide lock: the library
// keeps process-wide state (the image list, the settings, the slots of the macro interpreter),
// so calls from several Python threads take turns, while the operations themselves still run on
// the library's own thread pool. Nothing Python is touched while the lock is held.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analyses/Dobles.h"
#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/TiposObjeto.h"
#include "formats/DatosOrva.h"
#include "formats/TiposArchivo.h"
#include "macro/Macro.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"
#include "shell/Idioma.h"
#include "shell/Lote.h"
#include "stacking/Combinacion.h"
#include "stacking/Maestros.h"
#include "stacking/Pretratamiento.h"
#include "stellar/BuscaEstrellas.h"
#include "stellar/Centroide.h"
#include "stellar/DatosVariables.h"
#include "stellar/EstrellasRegistro.h"
#include "stellar/EstadoMedida.h"
#include "stellar/Fotometria.h"

namespace py = pybind11;

namespace orva {
namespace {

// The largest thread count set_threads accepts (the command line's limit).
constexpr int kMaxHilos = 1024;
// The most sigma-clipping passes a call may ask for (the command line's limit).
constexpr int kMaxIteracionesPython = 100;

std::mutex& CerrojoBiblioteca() {
  static std::mutex m;
  return m;
}

// Runs f without the GIL and under the library lock.
template <class F>
auto EnBiblioteca(F&& f) {
  py::gil_scoped_release libre;
  std::lock_guard<std::mutex> cerrojo(CerrojoBiblioteca());
  return f();
}

// An image as plain values, so that it crosses between Python and the library without either
// side touching the other's objects.
struct ImagenPlana {
  uint32_t ancho = 0, alto = 0;
  std::vector<int16_t> pixeles;
  std::vector<std::pair<std::string, std::string>> campos;  // DatosImagen keys with a value
  std::optional<std::vector<std::string>> cabecera;
  std::optional<std::vector<std::string>> operaciones;
  std::optional<std::string> estado;  // the side data file's text
  std::string tipo;                   // the file type key
  int bits = 16;
  double cero = 0.0, escala = 1.0;
  std::optional<std::string> paleta;  // 768 bytes, palette images only
};

ImagenPlana Aplana(const Imagen& im) {
  ImagenPlana p;
  p.ancho = im.Ancho();
  p.alto = im.Alto();
  p.pixeles = im.Pixeles();
  for (const std::string& clave : ClavesDatosImagen()) {
    // The object type always has a keyword (DESCONOCIDO until given).
    if (clave == "TIPOOBJ" || TieneDatoImagen(im.datos, clave)) {
      p.campos.emplace_back(clave, TextoDatoImagen(im.datos, clave));
    }
  }
  p.cabecera = im.cabecera.Tarjetas();
  p.operaciones = im.Operaciones();
  p.estado = TextoDatosOrva(im);
  p.tipo = im.claveTipoArchivo;
  p.bits = im.bitsPixel;
  p.cero = im.mapeo.cero;
  p.escala = im.mapeo.escala;
  if (im.esPaleta) p.paleta = std::string(im.paleta.begin(), im.paleta.end());
  return p;
}

// Builds the image in im from p: the side data text first, then the fields and cards given,
// which take precedence over it. A field's bad text raises its JError.
void Restituye(ImagenPlana&& p, Imagen& im) {
  im.CambiaPixeles(p.ancho, p.alto, std::move(p.pixeles));
  im.bitsPixel = p.bits;
  im.mapeo = MapeoValores{p.cero, p.escala};
  if (p.paleta) {
    im.esPaleta = 1;
    std::copy(p.paleta->begin(), p.paleta->end(), im.paleta.begin());
  }
  if (const RegistroTipoArchivo* r = BuscaTipoArchivo(p.tipo)) {
    im.tipoArchivo = r->id;
    im.claveTipoArchivo = r->clave;
  }
  if (p.estado) AplicaDatosOrva(im, *p.estado);
  for (const auto& [clave, valor] : p.campos) {
    if (clave == "TIPOOBJ") {
      const int tipo = TipoObjetoPorPalabra(valor);
      if (tipo != im.TipoObjeto()) im.CambiaTipoObjeto(tipo);
    } else {
      AsignaDatoImagen(im.datos, clave, valor);
    }
  }
  if (p.cabecera) {
    im.cabecera.Limpia();
    for (const std::string& t : *p.cabecera) im.cabecera.Anade(t);
  }
  if (p.operaciones) im.CambiaOperaciones(std::move(*p.operaciones));
  im.Actualiza();
  im.Modificada(0);
}

// ---------------------------------------------------------------------------------------------
// Python <-> plain values (GIL held, no library lock).

std::string Mayusculas(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The file type of a key given by the caller, any case; ValueError when none.
int TipoPorClave(const std::string& clave) {
  const RegistroTipoArchivo* r = BuscaTipoArchivo(Mayusculas(clave));
  if (!r) throw py::value_error("unknown file type '" + clave + "'");
  return r->id;
}

// The bits per pixel a source file may have had (-32: reals).
constexpr int kBitsPixel[] = {8, 12, 16, 32, -32};

// The keys of the data dict besides the DatosImagen fields (upper case).
constexpr const char* kClavesPropias[] = {"header", "operations", "state",  "type",
                                          "bits",   "bzero",      "bscale", "palette"};

ImagenPlana DePython(const py::array_t<int16_t, py::array::c_style | py::array::forcecast>& a,
                     const py::object& datos) {
  if (a.ndim() != 2) throw py::value_error("the image must be a 2-D array (rows, columns)");
  if (a.shape(0) <= 0 || a.shape(1) <= 0) throw py::value_error("the image is empty");
  if (a.shape(0) > UINT32_MAX || a.shape(1) > UINT32_MAX) {
    throw py::value_error("the image is too large");
  }
  ImagenPlana p;
  p.alto = static_cast<uint32_t>(a.shape(0));
  p.ancho = static_cast<uint32_t>(a.shape(1));
  p.pixeles.assign(a.data(), a.data() + a.size());
  if (datos.is_none()) return p;
  const py::dict d = datos.cast<py::dict>();
  const auto& claves = ClavesDatosImagen();
  for (const auto& [k, v] : d) {
    const std::string clave = py::cast<std::string>(k);
    if (std::find(claves.begin(), claves.end(), clave) != claves.end()) {
      if (!v.is_none()) p.campos.emplace_back(clave, py::cast<std::string>(py::str(v)));
    } else if (std::find_if(std::begin(kClavesPropias), std::end(kClavesPropias),
                            [&](const char* c) { return clave == c; }) ==
               std::end(kClavesPropias)) {
      throw py::value_error("unknown image data key '" + clave + "'");
    }
  }
  auto valor = [&](const char* clave) -> std::optional<py::object> {
    if (!d.contains(clave) || d[clave].is_none()) return std::nullopt;
    return py::reinterpret_borrow<py::object>(d[clave]);
  };
  if (auto v = valor("header")) p.cabecera = v->cast<std::vector<std::string>>();
  if (auto v = valor("operations")) p.operaciones = v->cast<std::vector<std::string>>();
  if (auto v = valor("state")) p.estado = v->cast<std::string>();
  if (auto v = valor("type")) p.tipo = Mayusculas(v->cast<std::string>());
  if (auto v = valor("bits")) {
    p.bits = v->cast<int>();
    if (std::find(std::begin(kBitsPixel), std::end(kBitsPixel), p.bits) == std::end(kBitsPixel)) {
      throw py::value_error("bits is 8, 12, 16, 32 or -32, not " + std::to_string(p.bits));
    }
  }
  if (auto v = valor("bzero")) p.cero = v->cast<double>();
  if (auto v = valor("bscale")) p.escala = v->cast<double>();
  if (!std::isfinite(p.cero) || !std::isfinite(p.escala) || p.escala == 0.0) {
    throw py::value_error("bzero and bscale must be finite numbers, bscale not 0");
  }
  if (auto v = valor("palette")) {
    p.paleta = v->cast<std::string>();
    if (p.paleta->size() != std::tuple_size_v<decltype(ImagenPixeles::paleta)>) {
      throw py::value_error("palette needs 768 bytes (256 entries of red, green, blue)");
    }
  }
  return p;
}

py::array_t<int16_t> Arreglo(const ImagenPlana& p) {
  py::array_t<int16_t> a({static_cast<py::ssize_t>(p.alto), static_cast<py::ssize_t>(p.ancho)});
  std::memcpy(a.mutable_data(), p.pixeles.data(), p.pixeles.size() * sizeof(int16_t));
  return a;
}

py::dict Diccionario(const ImagenPlana& p) {
  py::dict d;
  for (const auto& [clave, valor] : p.campos) d[py::str(clave)] = valor;
  d["header"] = p.cabecera.value_or(std::vector<std::string>{});
  d["operations"] = p.operaciones.value_or(std::vector<std::string>{});
  d["state"] = p.estado.value_or(std::string{});
  d["type"] = p.tipo;
  d["bits"] = p.bits;
  d["bzero"] = p.cero;
  d["bscale"] = p.escala;
  if (p.paleta) d["palette"] = py::bytes(*p.paleta);
  return d;
}

py::tuple Par(const ImagenPlana& p) {
  return py::make_tuple(Arreglo(p), Diccionario(p));
}

// ---------------------------------------------------------------------------------------------
// The functions of the module.

py::tuple Lee(const std::string& archivo, const py::object& tipo) {
  const int t = tipo.is_none() ? kTipoDesconocido : TipoPorClave(tipo.cast<std::string>());
  const ImagenPlana p = EnBiblioteca([&] {
    Imagen im;
    LeeArchivo(archivo, im, t);
    return Aplana(im);
  });
  return Par(p);
}

// Writes as the given type, else the type the extension names, else TIPARCHGUARDAR; through a
// temporary file, an existing file replaced only once the new one is complete.
void Escribe(const std::string& archivo,
             const py::array_t<int16_t, py::array::c_style | py::array::forcecast>& a,
             const py::object& datos, const py::object& tipo) {
  ImagenPlana p = DePython(a, datos);
  const int t = tipo.is_none() ? EnBiblioteca([&] { return TipoPorExtension(archivo); })
                               : TipoPorClave(tipo.cast<std::string>());
  EnBiblioteca([&] {
    Imagen im;
    Restituye(std::move(p), im);
    GuardaArchivo(archivo, im, t);
    return 0;
  });
}

py::tuple Ejecuta(const py::array_t<int16_t, py::array::c_style | py::array::forcecast>& a,
                  const std::vector<std::string>& lineas, const py::object& datos) {
  ImagenPlana p = DePython(a, datos);
  const ImagenPlana r = EnBiblioteca([&] {
    Imagen im;
    Restituye(std::move(p), im);
    if (!lineas.empty() && EjecutaMacro(im, lineas) == 0) throw JError(11011);  // 11011
    im.Actualiza();
    return Aplana(im);
  });
  return Par(r);
}

struct Estrella {
  ObjetoEstelar e;
  const char* estado;
};

py::list Estrellas(const py::array_t<int16_t, py::array::c_style | py::array::forcecast>& a,
                   const std::string& metodo, bool borrar, const py::object& datos) {
  MetodoBusqueda m;
  if (metodo == "pcvista") {
    m = MetodoBusqueda::kPCVista;
  } else if (metodo == "tass") {
    m = MetodoBusqueda::kTASS;
  } else {
    throw py::value_error("method is 'pcvista' or 'tass', not '" + metodo + "'");
  }
  ImagenPlana p = DePython(a, datos);
  const std::vector<Estrella> lista = EnBiblioteca([&] {
    Imagen im;
    Restituye(std::move(p), im);
    // A variable-star image keeps the stars its data gave it.
    if (im.TipoObjeto() != kVariable) im.CambiaTipoObjeto(kVariable);
    ProgresoSilencioso progreso;
    BuscaEstrellas(im, m, borrar, progreso);
    const ParametrosFotometria param = LeeParametrosFotometria();
    std::vector<Estrella> r;
    for (const ObjetoEstelar& e : DatosVariablesDe(im).Estrellas()) {
      r.push_back({e, EstadoMedidaEstrella(im, e, param).palabra});
    }
    return r;
  });
  py::list r;
  for (const Estrella& s : lista) {
    const ObjetoEstelar& e = s.e;
    r.append(py::dict(py::arg("name") = e.nombre, py::arg("x") = e.x, py::arg("y") = e.y,
                      py::arg("sky") = e.cielo, py::arg("skydev") = e.desvCielo,
                      py::arg("npix") = e.numPixeles, py::arg("rawsum") = e.sumaBruta,
                      py::arg("cleansum") = e.sumaLimpia, py::arg("mag") = e.magnitud,
                      py::arg("status") = s.estado));
  }
  return r;
}

py::dict Fotometria(const py::array_t<int16_t, py::array::c_style | py::array::forcecast>& a,
                    double x, double y, const py::object& datos) {
  ImagenPlana p = DePython(a, datos);
  struct Medida {
    ResultadoFotometria r;
    EstadoMedida e;
    std::string texto;
  };
  const Medida m = EnBiblioteca([&] {
    Imagen im;
    Restituye(std::move(p), im);
    const ParametrosFotometria param = LeeParametrosFotometria();
    Medida m;
    m.r = MideEstrella(im, x, y, param);
    m.e = EstadoMedidaEn(im, x, y, param, m.r);
    if (!m.e.Bien()) m.texto = JError(m.e.id, m.e.arg1, m.e.arg2).Mensaje();
    return m;
  });
  py::dict d(py::arg("sky") = m.r.cielo, py::arg("skydev") = m.r.desvCielo,
             py::arg("npix") = m.r.numPixeles, py::arg("rawsum") = m.r.sumaBruta,
             py::arg("cleansum") = m.r.sumaLimpia, py::arg("mag") = m.r.magnitud,
             py::arg("status") = m.e.palabra);
  // A failed measurement says why, as the command line does on stderr.
  d["error_id"] = m.e.id;
  d["error"] = m.texto;
  return d;
}

py::dict Doble(const py::array_t<int16_t, py::array::c_style | py::array::forcecast>& a,
               std::pair<double, double> pa, std::pair<double, double> pb,
               const py::object& datos) {
  ImagenPlana p = DePython(a, datos);
  const auto [ca, cb] = EnBiblioteca([&] {
    Imagen im;
    Restituye(std::move(p), im);
    const ParametrosCentroide param = LeeParametrosCentroide();
    return std::make_pair(CentroideEstrella(im, pa.first, pa.second, param),
                          CentroideEstrella(im, pb.first, pb.second, param));
  });
  return py::dict(py::arg("a") = py::make_tuple(ca.x, ca.y),
                  py::arg("b") = py::make_tuple(cb.x, cb.y),
                  py::arg("pa") = AnguloPosicion(ca.x, ca.y, cb.x, cb.y),
                  py::arg("sep") = std::hypot(cb.x - ca.x, cb.y - ca.y));
}

// ---------------------------------------------------------------------------------------------
// Calibration, registration and stacking.

// A frame of a series as the caller gave it: a file name, or an image.
struct FotogramaPlano {
  std::string archivo;  // empty for an image
  std::optional<ImagenPlana> imagen;
};

// The frames of a Python list (GIL held): each a path (str) or an (array, data) pair; the
// package's wrapper has turned path-like objects into str and arrays into int16.
std::vector<FotogramaPlano> Fotogramas(const py::list& lista) {
  if (lista.empty()) throw py::value_error("no frames");
  std::vector<FotogramaPlano> r;
  for (const py::handle& h : lista) {
    FotogramaPlano f;
    if (py::isinstance<py::str>(h)) {
      f.archivo = h.cast<std::string>();
    } else {
      const py::tuple par = h.cast<py::tuple>();
      if (par.size() != 2) throw py::value_error("a frame is a path or an (array, data) pair");
      f.imagen = DePython(
          par[0].cast<py::array_t<int16_t, py::array::c_style | py::array::forcecast>>(),
          py::reinterpret_borrow<py::object>(par[1]));
    }
    r.push_back(std::move(f));
  }
  return r;
}

// The library's view of those frames (library lock held): files are read when a frame is
// needed, images rebuilt from a copy, so that the caller's values never change.
FuenteFotogramas Fuente(const std::vector<FotogramaPlano>& fotogramas) {
  FuenteFotogramas f;
  f.numero = fotogramas.size();
  f.carga = [&fotogramas](size_t i, Imagen& im) {
    const FotogramaPlano& x = fotogramas[i];
    if (x.imagen) {
      ImagenPlana copia = *x.imagen;
      Restituye(std::move(copia), im);
    } else {
      LeeArchivo(x.archivo, im);
    }
  };
  f.nombre = [&fotogramas](size_t i) {
    return fotogramas[i].imagen ? "frame " + std::to_string(i + 1) : fotogramas[i].archivo;
  };
  f.archivo = [&fotogramas](size_t i) { return fotogramas[i].archivo; };
  return f;
}

// An optional master: None, a path, or an (array, data) pair.
std::optional<FotogramaPlano> MaestroOpcional(const py::object& o) {
  if (o.is_none()) return std::nullopt;
  py::list l;
  l.append(o);
  return std::move(Fotogramas(l).front());
}

void CargaMaestro(const std::optional<FotogramaPlano>& m, Imagen& im) {
  if (!m) return;
  if (m->imagen) {
    ImagenPlana copia = *m->imagen;
    Restituye(std::move(copia), im);
  } else {
    LeeArchivo(m->archivo, im);
  }
}

MetodoCombinacion MetodoPython(const std::string& v) {
  if (v == "mean") return MetodoCombinacion::kMedia;
  if (v == "median") return MetodoCombinacion::kMediana;
  if (v == "sum") return MetodoCombinacion::kSuma;
  if (v == "sigma") return MetodoCombinacion::kSigma;
  throw py::value_error("method is 'mean', 'median', 'sum' or 'sigma', not '" + v + "'");
}

AjustesCombinacion AjustesPython(const std::string& metodo, double kappa, int iteraciones,
                                 const std::string& norma) {
  AjustesCombinacion a;
  a.metodo = MetodoPython(metodo);
  if (!(kappa > 0.0) || !std::isfinite(kappa)) throw py::value_error("kappa must be positive");
  if (iteraciones < 1 || iteraciones > kMaxIteracionesPython) {
    throw py::value_error("iterations from 1 to " + std::to_string(kMaxIteracionesPython));
  }
  a.kappa = kappa;
  a.iteraciones = iteraciones;
  if (norma == "none") {
    a.normalizacion = Normalizacion::kNinguna;
  } else if (norma == "add") {
    a.normalizacion = Normalizacion::kAditiva;
  } else if (norma == "mul") {
    a.normalizacion = Normalizacion::kMultiplicativa;
  } else if (norma == "both") {
    a.normalizacion = Normalizacion::kAmbas;
  } else {
    throw py::value_error("norm is 'none', 'add', 'mul' or 'both', not '" + norma + "'");
  }
  return a;
}

py::tuple Maestro(const py::list& lista, const std::string& tipo, const std::string& metodo,
                  double kappa, int iteraciones, const py::object& bias, const py::object& dark) {
  TipoMaestro t;
  if (tipo == "bias") {
    t = TipoMaestro::kBias;
  } else if (tipo == "dark") {
    t = TipoMaestro::kDark;
  } else if (tipo == "flat") {
    t = TipoMaestro::kFlat;
  } else {
    throw py::value_error("kind is 'bias', 'dark' or 'flat', not '" + tipo + "'");
  }
  const AjustesCombinacion a = AjustesPython(metodo, kappa, iteraciones, "none");
  if (a.metodo == MetodoCombinacion::kSuma) throw py::value_error("a master is not a sum");
  const std::vector<FotogramaPlano> fotogramas = Fotogramas(lista);
  const std::optional<FotogramaPlano> b = MaestroOpcional(bias), d = MaestroOpcional(dark);
  const ImagenPlana r = EnBiblioteca([&] {
    Imagen mb, md, resultado;
    Maestros previos;
    if (b) {
      CargaMaestro(b, mb);
      previos.bias = &mb;
    }
    if (d) {
      CargaMaestro(d, md);
      previos.dark = &md;
    }
    ProgresoSilencioso progreso;
    CreaMaestro(t, Fuente(fotogramas), a, previos, resultado, progreso);
    return Aplana(resultado);
  });
  return Par(r);
}

py::tuple Calibra(const py::array_t<int16_t, py::array::c_style | py::array::forcecast>& arr,
                  const py::object& datos, const py::object& bias, const py::object& dark,
                  const py::object& flat, bool reparar, double kappaReparacion, bool overscan) {
  if (!(kappaReparacion > 0.0) || !std::isfinite(kappaReparacion)) {
    throw py::value_error("repair_kappa must be positive");
  }
  ImagenPlana p = DePython(arr, datos);
  const std::optional<FotogramaPlano> mb = MaestroOpcional(bias), md = MaestroOpcional(dark),
                                      mf = MaestroOpcional(flat);
  struct Salida {
    ImagenPlana imagen;
    ResultadoPretratamiento r;
  };
  const Salida s = EnBiblioteca([&] {
    Imagen luz, ib, id, iff;
    Restituye(std::move(p), luz);
    Maestros m;
    CargaMaestro(mb, ib);
    CargaMaestro(md, id);
    CargaMaestro(mf, iff);
    if (mb) m.bias = &ib;
    if (md) m.dark = &id;
    if (mf) m.flat = &iff;
    AjustesPretratamiento a;
    a.overscan = overscan;
    a.reparar = reparar;
    a.kappaReparacion = kappaReparacion;
    ProgresoSilencioso progreso;
    Salida s;
    s.r = Pretrata(luz, m, a, progreso);
    s.imagen = Aplana(luz);
    return s;
  });
  py::dict info(py::arg("clamped") = s.r.recortados, py::arg("repaired") = s.r.reparados,
                py::arg("dark_factor") = s.r.factorDark, py::arg("overscan") = s.r.overscan);
  return py::make_tuple(Arreglo(s.imagen), Diccionario(s.imagen), info);
}

py::list Matriz(const Transformacion2D& t) {
  py::list m;
  for (int f = 0; f < 3; ++f) m.append(py::make_tuple(t.h[3 * f], t.h[3 * f + 1], t.h[3 * f + 2]));
  return m;
}

py::dict DictRegistro(const ResultadoRegistro& r) {
  py::dict d(py::arg("ok") = r.exito, py::arg("matched") = r.emparejadas, py::arg("rms") = r.rms,
             py::arg("error_id") = r.idError, py::arg("error") = r.Mensaje());
  d["matrix"] = r.exito ? py::object(Matriz(r.transformacion)) : py::object(py::none());
  return d;
}

// The reference is frame 0 of the series; each other frame is registered on its stars.
SerieRegistrada RegistraSeriePython(const std::vector<FotogramaPlano>& fotogramas) {
  RegistraConfigEstrellasRegistro();
  ProgresoSilencioso progreso;
  return RegistraFotogramas(Fuente(fotogramas), LeeOpcionesEstrellasRegistro(),
                            LeeParametrosRegistro(), progreso);
}

py::list Registra(const py::object& referencia, const py::list& lista) {
  py::list todos;
  todos.append(referencia);
  for (const py::handle& h : lista) todos.append(h);
  const std::vector<FotogramaPlano> fotogramas = Fotogramas(todos);
  const SerieRegistrada serie = EnBiblioteca([&] { return RegistraSeriePython(fotogramas); });
  py::list r;
  for (size_t i = 1; i < serie.resultados.size(); ++i) r.append(DictRegistro(serie.resultados[i]));
  return r;
}

py::tuple Apila(const py::list& lista, const std::string& metodo, double kappa, int iteraciones,
                const std::string& norma, const std::string& alinear) {
  AjustesCombinacion a = AjustesPython(metodo, kappa, iteraciones, norma);
  if (alinear != "none" && alinear != "stars" && alinear != "ref") {
    throw py::value_error("align is 'none', 'ref' or 'stars', not '" + alinear + "'");
  }
  a.porReferencia = alinear == "ref";
  const std::vector<FotogramaPlano> fotogramas = Fotogramas(lista);
  struct Salida {
    ImagenPlana imagen;
    ResultadoCombinacion detalle;
    int64_t recortados = 0;
    std::vector<size_t> usados;
    std::vector<std::pair<size_t, ResultadoRegistro>> dejados;
  };
  const Salida s = EnBiblioteca([&] {
    Salida s;
    std::vector<FotogramaPlano> quedan;
    std::vector<Transformacion2D> t;
    if (alinear == "stars") {
      const SerieRegistrada serie = RegistraSeriePython(fotogramas);
      for (size_t i = 0; i < serie.resultados.size(); ++i) {
        if (!serie.resultados[i].exito) s.dejados.emplace_back(i, serie.resultados[i]);
      }
      for (size_t i : serie.indices) quedan.push_back(fotogramas[i]);
      s.usados = serie.indices;
      t = serie.transformaciones;
    } else {
      quedan = fotogramas;
      for (size_t i = 0; i < fotogramas.size(); ++i) s.usados.push_back(i);
    }
    Imagen resultado;
    ProgresoSilencioso progreso;
    s.recortados = ApilaFotogramas(Fuente(quedan), a, t, resultado, &s.detalle, progreso);
    s.imagen = Aplana(resultado);
    return s;
  });
  py::list figuras;
  for (size_t k = 0; k < s.detalle.figuras.size(); ++k) {
    const FiguraFotograma& f = s.detalle.figuras[k];
    figuras.append(py::dict(py::arg("index") = s.usados[k], py::arg("name") = f.nombre,
                            py::arg("sky") = f.fondo, py::arg("dispersion") = f.dispersion,
                            py::arg("scale") = f.escala, py::arg("dx") = f.dx,
                            py::arg("dy") = f.dy, py::arg("rejected") = f.rechazados,
                            py::arg("exptime") = f.tiempoExp));
  }
  py::list dejados;
  for (const auto& [i, r] : s.dejados) {
    py::dict d = DictRegistro(r);
    d["index"] = i;
    dejados.append(d);
  }
  py::dict info(py::arg("frames") = figuras, py::arg("left_out") = dejados,
                py::arg("clamped") = s.recortados,
                py::arg("total_exposure") = s.detalle.tiempoTotal);
  return py::make_tuple(Arreglo(s.imagen), Diccionario(s.imagen), info);
}

// The batch plan of `orva macro`: every result's name and type, with its refusals.
py::list Plan(const std::vector<std::string>& entradas, const std::string& carpeta,
              const py::object& tipo, bool enSitio) {
  const int t = tipo.is_none() ? 0 : TipoPorClave(tipo.cast<std::string>());
  const std::vector<ArchivoLote> plan = EnBiblioteca([&] {
    AjustesLote ajustes = LeeAjustesLote();
    ajustes.tipoFijo = t;
    ajustes.carpetaSalida = carpeta;
    std::vector<ArchivoLote> plan = PlanificaLote(entradas, ajustes);
    CompruebaLote(plan, ajustes, enSitio);
    return plan;
  });
  py::list r;
  for (const ArchivoLote& a : plan) {
    const RegistroTipoArchivo* reg = BuscaTipoArchivo(a.tipo);
    r.append(py::make_tuple(a.entrada, a.salida, reg ? py::cast(reg->clave) : py::none()));
  }
  return r;
}

// The lines of a macro file; 10125 when there is no such file.
std::vector<std::string> CargaMacroPython(const std::string& archivo) {
  return EnBiblioteca([&] { return CargaMacroExistente(archivo); });
}

py::list Tipos() {
  py::list r;
  for (const RegistroTipoArchivo& t : ListaTiposArchivo()) {
    r.append(py::dict(py::arg("key") = t.clave, py::arg("id") = t.id, py::arg("filter") = t.filtro,
                      py::arg("read") = t.lee != nullptr, py::arg("write") = t.guarda != nullptr));
  }
  return r;
}

// The value of a setting; with a value, sets it first (as the command line's --set).
std::string Ajuste(const std::string& seccion, const std::string& clave, const py::object& valor) {
  std::optional<std::string> nuevo;
  if (!valor.is_none()) nuevo = py::cast<std::string>(py::str(valor));
  const std::optional<std::string> r = EnBiblioteca([&] {
    Configuracion& cfg = Configuracion::Global();
    if (!cfg.Conocida(seccion, clave)) return std::optional<std::string>{};
    if (nuevo) {
      cfg.Asigna(seccion, clave, *nuevo);
      cfg.ActualizaDerivados();
      if (clave == "FILTRO") {
        for (RegistroTipoArchivo& r : ListaTiposArchivo()) {
          r.filtro = cfg.Valor(SeccionTipoArchivo(r), "FILTRO");
        }
      }
    }
    return std::optional<std::string>(cfg.Valor(seccion, clave));
  });
  if (!r) throw py::key_error("unknown setting " + seccion + "." + clave);
  return *r;
}

// Start-up, once at import: the defaults of every setting (no settings file is read or
// written), no progress output, every file type, macro command and analysis module installed.
void Arranca() {
  ModoSilencioso() = true;
  ListaTiposArchivo();  // the registry binds its settings first
  Configuracion& cfg = Configuracion::Global();
  cfg.ActualizaDerivados();
  AplicaIdioma(cfg);
  InstalaSistema();
  RegistraConfigPCVista();
}

// The Python class of the library's errors (orva.Error); the module holds it for good.
PyObject* claseError = nullptr;

// A JError as orva.Error: id, message, and "<id>: <text>" on one line as its text.
void TraduceError(std::exception_ptr p) {
  try {
    if (p) std::rethrow_exception(p);
  } catch (const JError& e) {
    std::string linea = e.Mensaje();
    std::replace_if(
        linea.begin(), linea.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    py::object ex =
        py::reinterpret_borrow<py::object>(claseError)(std::to_string(e.Id()) + ": " + linea);
    ex.attr("id") = e.Id();
    ex.attr("message") = e.Mensaje();
    PyErr_SetObject(claseError, ex.ptr());
  }
}

void FijaHilosPython(int n) {
  if (n < 0 || n > kMaxHilos) {
    throw py::value_error("threads from 0 (every core) to " + std::to_string(kMaxHilos));
  }
  EnBiblioteca([&] {
    FijaHilos(n);
    return 0;
  });
}

}  // namespace
}  // namespace orva

PYBIND11_MODULE(_orva, m) {
  using namespace orva;
  using py::arg;
  m.doc() = "The ORVA image library: read, write, macro lines and stellar measures.";
  Arranca();
  claseError = PyErr_NewException("orva.Error", PyExc_Exception, nullptr);
  m.attr("Error") = py::handle(claseError);
  py::register_exception_translator(&TraduceError);
  m.attr("__version__") = ORVA_VERSION;

  const py::none nada;
  m.def("read", &Lee, arg("path"), arg("type") = nada);
  m.def("write", &Escribe, arg("path"), arg("array"), arg("data") = nada, arg("type") = nada);
  m.def("run", &Ejecuta, arg("array"), arg("lines"), arg("data") = nada);
  m.def("stars", &Estrellas, arg("array"), arg("method") = "pcvista", arg("clear") = false,
        arg("data") = nada);
  m.def("phot", &Fotometria, arg("array"), arg("x"), arg("y"), arg("data") = nada);
  m.def("double", &Doble, arg("array"), arg("a"), arg("b"), arg("data") = nada);
  m.def("plan", &Plan, arg("inputs"), arg("out_dir") = "", arg("type") = nada,
        arg("in_place") = false);
  m.def("load_macro", &CargaMacroPython, arg("path"));
  m.def("master", &Maestro, arg("frames"), arg("kind"), arg("method") = "sigma",
        arg("kappa") = kKappaDefecto, arg("iterations") = kIteracionesDefecto, arg("bias") = nada,
        arg("dark") = nada);
  m.def("calibrate", &Calibra, arg("array"), arg("data") = nada, arg("bias") = nada,
        arg("dark") = nada, arg("flat") = nada, arg("repair") = false,
        arg("repair_kappa") = kKappaReparacionDefecto, arg("overscan") = true);
  m.def("register", &Registra, arg("reference"), arg("frames"));
  m.def("stack", &Apila, arg("frames"), arg("method") = "sigma", arg("kappa") = kKappaDefecto,
        arg("iterations") = kIteracionesDefecto, arg("norm") = "none", arg("align") = "none");
  m.def("types", &Tipos, "The file types: key, id, extension filter, whether read and write.");
  m.def("setting", &Ajuste, arg("section"), arg("key"), arg("value") = nada,
        "The value of a setting of the library (section, key); with a value, sets it first "
        "(in this process only). KeyError for a setting the library does not have.");
  m.def("set_threads", &FijaHilosPython, arg("n"),
        "The threads of the image operations: 0 means every core. Results are the same for "
        "every count.");
  m.def(
      "threads", [] { return HilosOperaciones(); }, "The threads of the image operations.");
}
