// Batch processing on disk: plan, check, run.
#include "shell/Lote.h"

#include <poll.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <stdexcept>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "macro/Macro.h"
#include "shell/Configuracion.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

// The type reading would give the file: detected when TIPOAUTO is on, else TIPARCHLEER.
int TipoEntrada(const std::string& archivo) {
  const Configuracion& c = Configuracion::Global();
  int tipo = kTipoDesconocido;
  if (c.Entero("TIPOAUTO") != 0) {
    try {
      tipo = DetectaTipoArchivo(archivo);
    } catch (const JError&) {
      tipo = kTipoDesconocido;  // reading will say why
    }
    if (tipo == kDatosOrva) tipo = kTipoDesconocido;
  }
  if (tipo == kTipoDesconocido) {
    const RegistroTipoArchivo* r = BuscaTipoArchivo(c.Valor("Archivos", "TIPARCHLEER"));
    if (r) tipo = r->id;
  }
  return tipo;
}

// The extension of a type: its first filter pattern "*.EXT", in lower case; empty when none.
std::string ExtensionTipo(int tipo) {
  const RegistroTipoArchivo* r = BuscaTipoArchivo(tipo);
  if (!r) return {};
  const std::string patron = r->filtro.substr(0, r->filtro.find(';'));
  if (patron.size() <= 2 || patron.compare(0, 2, "*.") != 0 || patron == "*.*") return {};
  std::string ext = patron.substr(1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// What names one file: device and inode when it exists, else its absolute path with links of
// its folders resolved.
std::string Identidad(const std::string& ruta) {
  struct stat st {};
  if (::stat(ruta.c_str(), &st) == 0) {
    return "#" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  }
  std::error_code e;
  const fs::path p = fs::weakly_canonical(fs::absolute(ruta, e), e);
  return e ? fs::absolute(ruta).lexically_normal().string() : p.string();
}

// An input that does not exist has nothing to lose: reading it fails and nothing is written.
bool Existe(const std::string& ruta) {
  struct stat st {};
  return ::stat(ruta.c_str(), &st) == 0;
}

}  // namespace

std::vector<std::string> CargaMacroExistente(const std::string& archivo) {
  struct stat st {};
  if (::stat(archivo.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    throw JError(10125, archivo, std::strerror(ENOENT));  // 10125
  }
  return CargaMacro(archivo);
}

AjustesLote LeeAjustesLote() {
  const Configuracion& c = Configuracion::Global();
  AjustesLote a;
  a.mismoTipo = c.Entero("GUARMISMOTIPO") == 1;
  const RegistroTipoArchivo* r = BuscaTipoArchivo(c.Valor("Archivos", "TIPARCHGUARDAR"));
  a.tipoGuardar = r ? r->id : kTipoDesconocido;
  if (c.Entero("CAMBEXTEN") == 1) a.extension = c.Valor("EXTENTRAT");
  return a;
}

std::vector<ArchivoLote> PlanificaLote(const std::vector<std::string>& entradas,
                                       const AjustesLote& ajustes) {
  std::vector<ArchivoLote> plan;
  plan.reserve(entradas.size());
  for (const std::string& entrada : entradas) {
    const int tipoEntrada = TipoEntrada(entrada);
    ArchivoLote a;
    a.entrada = entrada;
    a.tipo = ajustes.tipoFijo                        ? ajustes.tipoFijo
             : ajustes.mismoTipo && tipoEntrada != 0 ? tipoEntrada
                                                     : ajustes.tipoGuardar;
    fs::path salida = ajustes.carpetaSalida.empty()
                          ? fs::path(entrada)
                          : fs::path(ajustes.carpetaSalida) / fs::path(entrada).filename();
    std::string ext = ajustes.extension;
    if (ext.empty() && a.tipo != tipoEntrada) ext = ExtensionTipo(a.tipo);
    if (!ext.empty()) {
      if (ext.front() != '.') ext.insert(ext.begin(), '.');
      salida.replace_extension(ext);
    }
    a.salida = salida.string();
    a.sobreEntrada = Existe(entrada) && Identidad(a.salida) == Identidad(entrada);
    plan.push_back(std::move(a));
  }
  return plan;
}

void CompruebaLote(const std::vector<ArchivoLote>& plan, const AjustesLote& ajustes, bool enSitio) {
  if (!ajustes.carpetaSalida.empty()) {
    struct stat st {};
    if (::stat(ajustes.carpetaSalida.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      throw JError(12222, ajustes.carpetaSalida);  // 12222
    }
  }
  std::map<std::string, size_t> salidas, entradas;
  for (size_t i = 0; i < plan.size(); ++i) {
    if (Existe(plan[i].entrada)) entradas.emplace(Identidad(plan[i].entrada), i);
  }
  for (size_t i = 0; i < plan.size(); ++i) {
    const ArchivoLote& a = plan[i];
    const std::string id = Identidad(a.salida);
    auto [it, nueva] = salidas.emplace(id, i);
    if (!nueva) {
      throw JError(12221, plan[it->second].entrada, a.entrada, a.salida);  // 12221
    }
    auto e = entradas.find(id);
    if (e == entradas.end()) continue;
    // The same file given twice gives one result twice: the check above says so first.
    if (e->second != i || !enSitio) {
      throw JError(12220, a.entrada, plan[e->second].entrada);  // 12220
    }
  }
}

namespace {

// Reads, runs and writes one file of the plan; false when the macro was cancelled (nothing to
// report). Both the serial run and each child process come through here.
bool ProcesaArchivo(const std::vector<std::string>& lineas, const ArchivoLote& a,
                    ResultadoLote& r) {
  try {
    Imagen im;
    LeeArchivo(a.entrada, im);
    if (!lineas.empty() && EjecutaMacro(im, lineas) == 0) return false;
    im.Actualiza();
    GuardaArchivo(a.salida, im, a.tipo);
    r.bien = true;
  } catch (const JError& e) {
    r.idError = e.Id();
    r.error = e.Mensaje();
  } catch (const std::bad_alloc&) {
    r.idError = 10100;
    r.error = Mensaje(10100, "?");
  }
  return true;
}

std::string TextoArchivo(size_t i, size_t total, const ArchivoLote& a) {
  return std::to_string(i + 1) + "/" + std::to_string(total) + " " + a.entrada;
}

// ---------------------------------------------------------------------------------------------
// Child processes

// How long the parent waits for a child's pipe before it polls the progress object again.
constexpr int kEsperaMs = 100;

// What a child sends back: one kind letter, the error id, a line end, the error text.
constexpr char kBien = 'B';
constexpr char kFallo = 'F';
constexpr char kCancelado = 'C';
constexpr char kExcepcion = 'X';  // an error the serial run would not catch: ends the batch

// Set by SIGINT and SIGTERM in a child; its progress object reports it as a cancel.
volatile std::sig_atomic_t hijoCancelado = 0;

extern "C" void AlCancelarHijo(int) {
  hijoCancelado = 1;
}

// A child's progress object: nothing drawn (the parent shows the batch), cancelled by a signal.
class ProgresoHijo : public ProgresoSilencioso {
 public:
  int Cancelado() override { return hijoCancelado ? 1 : 0; }
};

bool EscribeTodo(int fd, const std::string& datos) {
  size_t hecho = 0;
  while (hecho < datos.size()) {
    const ssize_t n = ::write(fd, datos.data() + hecho, datos.size() - hecho);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    hecho += static_cast<size_t>(n);
  }
  return true;
}

// The child's whole life: one file, its result on fd; the exit status.
[[noreturn]] void VidaHijo(const std::vector<std::string>& lineas, const ArchivoLote& a, int fd,
                           int hilos) {
  int estado = 0;
  try {
    std::signal(SIGINT, &AlCancelarHijo);
    std::signal(SIGTERM, &AlCancelarHijo);
    ProgresoHijo progreso;
    InstalaProgreso(&progreso);
    if (hilos > 0) FijaHilos(hilos);
    std::string mensaje;
    try {
      ResultadoLote r;
      if (!ProcesaArchivo(lineas, a, r)) {
        mensaje = std::string(1, kCancelado) + "0\n";
      } else {
        mensaje =
            std::string(1, r.bien ? kBien : kFallo) + std::to_string(r.idError) + "\n" + r.error;
      }
    } catch (const std::exception& e) {
      mensaje = std::string(1, kExcepcion) + "0\n" + e.what();
    }
    InstalaProgreso(nullptr);
    if (!EscribeTodo(fd, mensaje)) estado = 1;
  } catch (...) {
    estado = 1;
  }
  // No exit handlers, no stdio buffers flushed: they belong to the parent.
  ::_exit(estado);
}

// Whether this process runs one thread only: forking is safe then (no lock of another thread,
// no thread pool whose workers the child would lack).
bool UnSoloHilo() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return false;
  char linea[256];
  long hilos = 0;
  while (std::fgets(linea, sizeof linea, f)) {
    if (std::strncmp(linea, "Threads:", 8) == 0) {
      hilos = std::strtol(linea + 8, nullptr, 10);
      break;
    }
  }
  std::fclose(f);
  return hilos == 1;
}

// One running child.
struct Hijo {
  pid_t pid = -1;
  int fd = -1;
  size_t indice = 0;
  std::string datos;
};

// What became of one file in the parent's view.
struct Desenlace {
  char clase = 0;  // 0 while running or not started; else kBien, kFallo, kCancelado, kExcepcion
  ResultadoLote r;
};

// Reads a finished child's message, reaps it and says what became of its file.
Desenlace Termina(Hijo& h, bool cancelando) {
  ::close(h.fd);
  h.fd = -1;
  int estado = 0;
  while (::waitpid(h.pid, &estado, 0) < 0 && errno == EINTR) {
  }
  h.pid = -1;
  Desenlace d;
  d.r.indice = h.indice;
  const size_t fin = h.datos.find('\n');
  const char clases[] = {kBien, kFallo, kCancelado, kExcepcion};
  const bool completo =
      WIFEXITED(estado) && WEXITSTATUS(estado) == 0 && fin != std::string::npos && fin > 0 &&
      std::find(std::begin(clases), std::end(clases), h.datos[0]) != std::end(clases);
  if (completo) {
    d.clase = h.datos[0];
    d.r.bien = d.clase == kBien;
    d.r.idError = std::atoi(h.datos.substr(1, fin - 1).c_str());
    d.r.error = h.datos.substr(fin + 1);
    return d;
  }
  if (cancelando) {  // stopped by our own request before it could answer
    d.clase = kCancelado;
    return d;
  }
  d.clase = kFallo;
  if (WIFSIGNALED(estado)) {
    const int senal = WTERMSIG(estado);
    const char* nombre = ::strsignal(senal);
    d.r.idError = 12235;
    d.r.error = Mensaje(12235, std::to_string(senal), nombre ? nombre : "?");  // 12235
  } else {
    d.r.idError = 12236;
    d.r.error = Mensaje(12236, std::to_string(WIFEXITED(estado) ? WEXITSTATUS(estado) : -1));
  }
  return d;
}

// Asks every running child to stop; each answers (or dies) and is reaped as usual.
void ParaHijos(std::vector<Hijo>& vivos) {
  for (Hijo& h : vivos) {
    if (h.pid > 0) ::kill(h.pid, SIGTERM);
  }
}

// The children still running when the batch ends by an error: stopped and reaped.
struct GuardaHijos {
  std::vector<Hijo>& vivos;
  ~GuardaHijos() {
    ParaHijos(vivos);
    for (Hijo& h : vivos) {
      if (h.fd >= 0) ::close(h.fd);
      int estado = 0;
      while (h.pid > 0 && ::waitpid(h.pid, &estado, 0) < 0 && errno == EINTR) {
      }
    }
  }
};

ResumenLote EjecutaEnProcesos(const std::vector<std::string>& lineas,
                              const std::vector<ArchivoLote>& plan, const AvisoLote& aviso,
                              const ParaleloLote& paralelo) {
  ResumenLote resumen;
  resumen.enProcesos = true;
  SesionProgreso sesion(Cadena(3063));
  const size_t maximo = static_cast<size_t>(paralelo.procesos);
  std::vector<Desenlace> desenlaces(plan.size());
  std::vector<Hijo> vivos;
  GuardaHijos guarda{vivos};
  size_t siguiente = 0;  // the next file to start
  size_t informado = 0;  // the files reported so far, in plan order
  bool cancelando = false;
  auto cancela = [&] {
    if (!cancelando) ParaHijos(vivos);
    cancelando = true;
  };
  while (informado < plan.size()) {
    Progreso& progreso = ProgresoActual();
    if (!cancelando && progreso.Cancelado()) cancela();
    while (!cancelando && vivos.size() < maximo && siguiente < plan.size()) {
      const ArchivoLote& a = plan[siguiente];
      progreso.TextoArchivo(TextoArchivo(siguiente, plan.size(), a));
      int tubo[2];
      if (::pipe(tubo) != 0) throw JError(12237, a.entrada, std::strerror(errno));  // 12237
      std::fflush(nullptr);  // the child must not write the parent's buffers again
      const pid_t pid = ::fork();
      if (pid < 0) {
        ::close(tubo[0]);
        ::close(tubo[1]);
        throw JError(12237, a.entrada, std::strerror(errno));  // 12237
      }
      if (pid == 0) {
        ::close(tubo[0]);
        for (const Hijo& h : vivos) ::close(h.fd);
        VidaHijo(lineas, a, tubo[1], paralelo.hilosPorProceso);
      }
      ::close(tubo[1]);
      vivos.push_back(Hijo{pid, tubo[0], siguiente, {}});
      ++siguiente;
    }
    // Reports every file whose turn has come.
    while (informado < plan.size() && desenlaces[informado].clase != 0) {
      Desenlace& d = desenlaces[informado];
      d.r.archivo = &plan[informado];
      ++informado;
      if (d.clase == kExcepcion) throw std::runtime_error(d.r.error);
      if (d.clase == kCancelado) {
        resumen.cancelado = true;
        cancela();
        continue;
      }
      ++(d.r.bien ? resumen.hechos : resumen.fallidos);
      if (aviso) aviso(d.r);
      progreso.Avance(static_cast<double>(informado) / static_cast<double>(plan.size()));
    }
    // Nothing running: every file started has been reported; after a cancel the files not
    // started are left as they are.
    if (vivos.empty()) break;
    std::vector<pollfd> esperas;
    for (const Hijo& h : vivos) esperas.push_back(pollfd{h.fd, POLLIN, 0});
    const int listos = ::poll(esperas.data(), esperas.size(), kEsperaMs);
    if (listos < 0 && errno != EINTR) {
      throw JError(12237, plan[vivos.front().indice].entrada, std::strerror(errno));  // 12237
    }
    if (listos <= 0) continue;
    for (size_t k = esperas.size(); k-- > 0;) {
      if (esperas[k].revents == 0) continue;
      Hijo& h = vivos[k];
      char bloque[4096];
      const ssize_t n = ::read(h.fd, bloque, sizeof bloque);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n > 0) {
        h.datos.append(bloque, static_cast<size_t>(n));
        continue;
      }
      desenlaces[h.indice] = Termina(h, cancelando);
      vivos.erase(vivos.begin() + static_cast<std::ptrdiff_t>(k));
    }
  }
  resumen.cancelado = resumen.cancelado || cancelando;
  return resumen;
}

}  // namespace

int NucleosDisponibles() {
  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  if (::sched_getaffinity(0, sizeof cpus, &cpus) != 0) return 1;
  return std::max(1, CPU_COUNT(&cpus));
}

ResumenLote EjecutaLote(const std::vector<std::string>& lineas,
                        const std::vector<ArchivoLote>& plan, const AvisoLote& aviso,
                        const ParaleloLote& paralelo) {
  if (paralelo.procesos > 1 && plan.size() > 1 && UnSoloHilo()) {
    return EjecutaEnProcesos(lineas, plan, aviso, paralelo);
  }
  ResumenLote resumen;
  SesionProgreso sesion(Cadena(3063));
  for (size_t i = 0; i < plan.size(); ++i) {
    const ArchivoLote& a = plan[i];
    Progreso& progreso = ProgresoActual();
    if (progreso.Cancelado()) {
      resumen.cancelado = true;
      break;
    }
    progreso.TextoArchivo(TextoArchivo(i, plan.size(), a));
    ResultadoLote r;
    r.indice = i;
    r.archivo = &a;
    if (!ProcesaArchivo(lineas, a, r)) {
      resumen.cancelado = true;
      break;
    }
    ++(r.bien ? resumen.hechos : resumen.fallidos);
    if (aviso) aviso(r);
  }
  return resumen;
}

}  // namespace orva
