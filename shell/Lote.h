// Batch processing on disk: a macro run over image files, each one read, processed and written.
// The desktop's "Ejecutar Macro en Disco" and `orva macro` both run these functions: first the
// plan (every output name and type), then its check (refusals before any file is touched), then
// the run, file by file, with progress and cancellation.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace orva {

// The lines of a macro file the user named: raises 10125 when there is no such file (a batch
// with no lines would rewrite every file unchanged).
std::vector<std::string> CargaMacroExistente(const std::string& archivo);

// How the results are named and typed.
struct AjustesLote {
  std::string carpetaSalida;  // empty: each result beside its input
  int tipoFijo = 0;           // one type for every result (0: the rules below)
  bool mismoTipo = true;      // GUARMISMOTIPO: a result keeps its input's type
  int tipoGuardar = 0;        // TIPARCHGUARDAR: the type otherwise
  std::string extension;      // EXTENTRAT when CAMBEXTEN is 1: every result's extension
};
// The settings from the configuration (carpetaSalida and tipoFijo are left to the caller).
AjustesLote LeeAjustesLote();

// One file of the batch.
struct ArchivoLote {
  std::string entrada;
  std::string salida;
  int tipo = 0;               // type written
  bool sobreEntrada = false;  // the result would replace its own input
};

// Names every result: in carpetaSalida (else the input's folder) under the input's name; the
// extension becomes `extension` when given, else that of the written type when it differs from
// the input's (detected as reading would; the type's first filter pattern).
std::vector<ArchivoLote> PlanificaLote(const std::vector<std::string>& entradas,
                                       const AjustesLote& ajustes);

// The refusals, raised before any file is processed: 12222 when the output folder does not
// exist, 12221 when two results would be one file, 12220 when a result would replace an input
// (another file's input always, its own unless enSitio). Files are compared as the system sees
// them: symbolic links, hard links and "./a.fits" name the same file.
void CompruebaLote(const std::vector<ArchivoLote>& plan, const AjustesLote& ajustes, bool enSitio);

// What became of one file.
struct ResultadoLote {
  size_t indice = 0;  // in the plan
  const ArchivoLote* archivo = nullptr;
  bool bien = false;
  int idError = 0;  // JError id when it failed
  std::string error;
};
using AvisoLote = std::function<void(const ResultadoLote&)>;

struct ResumenLote {
  size_t hechos = 0;
  size_t fallidos = 0;
  bool cancelado = false;
  bool enProcesos = false;  // the files ran in child processes
};

// How many files run at once.
struct ParaleloLote {
  int procesos = 1;         // files at once; 1: one after another in this process
  int hilosPorProceso = 0;  // the operations' thread count in each child process; 0 keeps it
};

// Runs the lines over every file of the plan in order: read, run, write as planned. A failing
// file is reported through aviso and the batch goes on; cancelling (the progress object, or a
// cancelled macro) stops before the next file.
//
// With more than one process, each file runs in a child process of its own (the image list, the
// progress object and the interpreter are process-wide and not thread-safe), at most `procesos`
// alive at once, through the same code as the serial run; the results come back through a pipe
// and aviso still sees them in plan order, with the same texts. A child that dies reports its
// file as failed with 12235 (signal) or 12236 (exit status). Cancelling stops starting files,
// asks the running children to stop, and reports what they finished. When this process already
// runs other threads (a fork could inherit a lock held by one of them) the batch runs serially.
ResumenLote EjecutaLote(const std::vector<std::string>& lineas,
                        const std::vector<ArchivoLote>& plan, const AvisoLote& aviso,
                        const ParaleloLote& paralelo = {});

// The cores this process may run on (its CPU affinity), without starting any thread pool.
int NucleosDisponibles();

}  // namespace orva
