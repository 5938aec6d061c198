// The in-memory image in three layers: pixels with statistics, observation data and file
// identity, and display state with the operations log.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "astro/Angulos.h"
#include "astro/Tiempo.h"
#include "core/Cabecera.h"
#include "core/DatosAnalisis.h"

namespace orva {

class Progreso;

// Counts of the values lo..hi (entry v - lo) among `filas` rows of `ancho` pixels; values
// outside are not counted. Rows are counted in bands on the operations' threads (core/Hilos.h)
// and the whole-number partial counts added, so the result does not depend on the thread
// count. With a progress object a cancel raises 11011.
std::vector<int64_t> CuentaValores(const int16_t* px, size_t ancho, size_t filas, int lo, int hi,
                                   Progreso* progreso = nullptr);

// ---------------------------------------------------------------------------------------------
// Pixel layer: a rectangle of signed 16-bit pixels with statistics, histogram and palette.
class ImagenPixeles {
 public:
  ImagenPixeles();
  virtual ~ImagenPixeles() = default;
  ImagenPixeles(const ImagenPixeles&) = delete;
  ImagenPixeles& operator=(const ImagenPixeles&) = delete;

  // Virtual operations, in slot order.
  virtual void Modificada(int marca);
  virtual void CopiaPixeles(const ImagenPixeles& fuente);
  virtual void Actualiza();
  virtual int Interrumpida() { return 0; }

  // Sets the sizes; storage is reallocated only when width x height changes, and its contents
  // are then undefined (callers fill every pixel). Raises 10100 when the block cannot be had.
  void DimensionaImagen(uint32_t ancho, uint32_t alto);

  uint32_t Ancho() const { return ancho_; }
  uint32_t Alto() const { return alto_; }
  size_t NumPixeles() const { return pixeles_.size(); }
  bool Vacia() const { return pixeles_.empty(); }

  // Pixel at an integer position; outside the image, the out-of-image value.
  int16_t Pixel(long x, long y) const {
    if (x < 0 || y < 0 || x >= static_cast<long>(ancho_) || y >= static_cast<long>(alto_)) {
      return ValorFuera();
    }
    return pixeles_[static_cast<size_t>(y) * ancho_ + static_cast<size_t>(x)];
  }
  // Pixel at a real position: bilinear between the four neighbours (those outside the image
  // count as the out-of-image value), truncated toward zero; outside the image (x < 0, y < 0,
  // x >= width, y >= height) the out-of-image value itself.
  int16_t Pixel(double x, double y) const;
  // Stores v at (x, y) or at linear index i without clamping; outside: JError 11012.
  void PonPixel(long x, long y, int16_t v);
  void PonPixel(size_t i, int16_t v);

  // The whole block, row after row; pixel (x, y) is element y * width + x.
  const std::vector<int16_t>& Pixeles() const { return pixeles_; }
  std::vector<int16_t>& Pixeles() { return pixeles_; }
  // Replaces the block and the sizes at once (the block must hold ancho * alto values).
  void CambiaPixeles(uint32_t ancho, uint32_t alto, std::vector<int16_t> pixeles);

  // The percentile p (0..100) of the histogram; VALORMAX when no value qualifies.
  int Percentil(double p) const;

  int16_t Minimo() const { return minimo_; }
  int16_t Maximo() const { return maximo_; }
  double Media() const { return media_; }
  double Desviacion() const { return desviacion_; }
  int16_t ValorModa() const { return valorModa_; }
  int32_t NumModa() const { return numModa_; }
  int32_t PrimerHistograma() const { return primerHisto_; }
  int32_t UltimoHistograma() const { return ultimoHisto_; }
  // Count of value v (0 outside the histogram).
  int32_t Histograma(int v) const {
    if (v < primerHisto_ || v > ultimoHisto_ || histograma_.empty()) return 0;
    return histograma_[static_cast<size_t>(v - primerHisto_)];
  }
  const std::vector<int32_t>& TablaHistograma() const { return histograma_; }

  int ModificadaMarca() const { return modificada_; }

  int32_t offsetX = 0;
  int32_t offsetY = 0;
  int32_t bitsPixel = 16;  // of the source file: 8, 12, 16, 32, or -32 for float
  int32_t esPaleta = 0;    // 1: shown through its palette, no gray statistics or table
  uint8_t bitsPaleta = 8;
  std::array<uint8_t, 768> paleta{};  // 256 entries of red, green, blue
  // How the pixels read as the file's physical values; moves with the pixels.
  MapeoValores mapeo;

 protected:
  static int16_t ValorFuera();

  uint32_t ancho_ = 0;
  uint32_t alto_ = 0;
  std::vector<int16_t> pixeles_;
  int32_t numModa_ = 0;
  int16_t valorModa_ = 0;
  double desviacion_ = 1.0;
  double media_ = 0.0;
  int16_t minimo_;
  int16_t maximo_;
  int modificada_ = 0;
  int32_t primerHisto_ = 0;
  int32_t ultimoHisto_ = -1;
  std::vector<int32_t> histograma_;
};

// ---------------------------------------------------------------------------------------------
// Observation data: the DatosImagen vocabulary shared by settings, side data file and formats.
struct Observatorio {
  std::string nombre;
  Longitud longitud;
  Latitud latitud;
  int32_t altitud = 0;  // metres
  std::string telescopio;
  int32_t apertura = 0;
  int32_t distFocal = 0;
  std::string observador;
};

struct DatosImagen {
  FechaHora fechaHora;  // date and time of the observation
  int tipoObjeto = -1;  // TipoObjeto, -1 until given
  std::string nombreObjeto;
  AscensionRecta ar;
  Declinacion dec;
  int32_t epoca = 2000;
  std::string filtro;
  std::string nomCCD;
  double tempCCD = 0.0;
  std::string factorResp;
  Observatorio observatorio;
  std::string comentario;
  double tiempoExp = 0.0;  // seconds
  // The keys (ClavesDatosImagen) of the fields that are not text and hold a value given by a
  // file or a user, even one equal to the default (EXPTIME 0 of a bias frame). A field that is
  // neither marked nor changed from its default holds none and is not written as if observed.
  // A text field holds a value when it is not empty.
  std::set<std::string, std::less<>> conValor;
};

// The keys of DatosImagen in table order: NOMOBJ TIPOOBJ AROBJ DECOBJ EPOCAOBJ FECHAOBS HORAOBS
// TIEMPOEXP FILTRO NOMCCD TEMPCCD FACTORRESP TELESCOPIO APERTURA DISTFOCAL OBSERVADOR OBSERVATORIO
// LONOBS LATOBS ALTOBS COMENTARIO.
const std::vector<std::string>& ClavesDatosImagen();
// A field as text in its written form; empty for an unknown key.
std::string TextoDatoImagen(const DatosImagen& d, std::string_view clave);
// Sets a field from text; numbers read as atoi/atof, dates, times and angles validated (their
// JError), the type by keyword. Returns false for an unknown key. Nothing changes on error.
// An empty text for a field that is not text puts back its default and leaves it without a
// value; any other accepted text marks it as holding one, except the very text a field with a
// value already shows, which changes nothing (the value keeps the precision its text rounds
// away). Forms hand back only the fields the user changed.
bool AsignaDatoImagen(DatosImagen& d, std::string_view clave, std::string_view texto);
// Whether a field holds a value (above).
bool TieneDatoImagen(const DatosImagen& d, std::string_view clave);

struct PuntoTransformacion {
  int32_t definido = 0;
  double x = 0.0;
  double y = 0.0;
};

// Observation layer: metadata, object type, file identity, stored objects, analysis data.
class ImagenObservacion : public ImagenPixeles {
 public:
  ImagenObservacion();
  ~ImagenObservacion() override;

  virtual void CopiaDatos(const ImagenObservacion& fuente);
  virtual void CreaDatosAnalisis();
  virtual void RepintaPaneles(int /*marca*/) {}

  int TipoObjeto() const { return datos.tipoObjeto; }
  // Sets the object type and replaces the analysis data with the new type's.
  void CambiaTipoObjeto(int tipo);
  DatosAnalisis& Analisis() { return *analisis_; }
  const DatosAnalisis& Analisis() const { return *analisis_; }
  void CambiaAnalisis(std::unique_ptr<DatosAnalisis> datos);

  // Splits a path into its four parts (drive stays empty on this system).
  void AsignaRuta(std::string_view ruta);
  // directory + name + extension.
  std::string Ruta() const;
  // name + extension.
  std::string NombreArchivo() const { return nombre + extension; }

  DatosImagen datos;
  int32_t numCopia = 0;
  std::string nombreVentana;  // "name.ext:NN"
  std::string unidad, directorio, nombre, extension;
  std::array<PuntoTransformacion, 4> puntosTrans{};
  FechaHora fechaArchivo;
  int tipoArchivo = 0;
  std::string claveTipoArchivo;
  std::vector<std::pair<std::string, std::string>> objetos;  // stored objects
  // The file's header cards that ORVA does not map, kept for FITS output.
  Cabecera cabecera;

 private:
  std::unique_ptr<DatosAnalisis> analisis_;
};

// ---------------------------------------------------------------------------------------------
// The windows that show an image; the desktop implements it, the library only asks for repaints.
class ObservadorImagen {
 public:
  enum Panel { kVentana = 1, kHistograma = 2, kDatos = 4, kLinea = 8 };
  virtual ~ObservadorImagen() = default;
  // Repaint the panes named by the bit mask.
  virtual void Repinta(int paneles) = 0;
};

struct PuntoReferencia {
  int16_t definido = 0;
  int32_t x = 0;
  int32_t y = 0;
};

// Reference points for geometric operations, in declaration order.
enum IndicePunto {
  kOriRotaHor = 0,
  kOriRotaVer,
  kFinRotaHor,
  kFinRotaVer,
  kCentroRota,
  kDespMin,
  kDespMax,
  kDespRef,
  kRedimRef1,
  kRedimRef2,
  kNumPuntosReferencia
};
// Side-file keys in writing order, each with its point index.
const std::vector<std::pair<std::string, int>>& ClavesPuntosReferencia();

// Whether a log line only changes the view (ZOOM, MOSTRAR, INVERTIR) and not the pixels.
bool LineaSoloVista(std::string_view linea);

// Companion-pane modes.
enum ModoPanel { kNada = 1, kHisto, kDatos, kOper, kCabe, kLinHor, kLinVer };

// The display layer: gray levels and table, zoom, pane mode, observers and operations log.
// Every Imagen is in the process-wide image list while it exists.
class Imagen : public ImagenObservacion {
 public:
  Imagen();
  ~Imagen() override;

  void Modificada(int marca) override;
  void Actualiza() override;
  int Interrumpida() override;
  void RepintaPaneles(int marca) override;
  // A full copy of fuente: data, display levels and table, zoom, pane mode, reference points and
  // operations log; the copy renders itself anew.
  void CopiaImagen(const Imagen& fuente);

  // Sets the display levels and rebuilds the gray table.
  void FijaNiveles(int negro, int blanco);
  // Swaps black and white.
  void Invierte() { FijaNiveles(blanco_, negro_); }
  int16_t Negro() const { return negro_; }
  int16_t Blanco() const { return blanco_; }
  // Gray 0 (black) .. 255 (white) of a pixel value.
  uint8_t Gris(int v) const {
    if (tablaGris_.empty()) return 0;
    long i = v / pasoTabla_ - primeroTabla_;
    if (i < 0) i = 0;
    if (i > ultimoTabla_ - primeroTabla_) i = ultimoTabla_ - primeroTabla_;
    return tablaGris_[static_cast<size_t>(i)];
  }
  const std::vector<uint8_t>& TablaGris() const { return tablaGris_; }
  int32_t PrimeroTabla() const { return primeroTabla_; }
  int32_t UltimoTabla() const { return ultimoTabla_; }
  int32_t PasoTabla() const { return pasoTabla_; }

  // Zoom: command id (5014 1:1, 5030 + n - 2 for 1:n, 5039 + n - 2 for n:1) and factor.
  void FijaZoom(int16_t comando, float factor) {
    comandoZoom = comando;
    factorZoom = factor;
    repintar = 1;
  }

  // The operations log: one macro line per operation. Each line that is not display-only
  // (ZOOM, MOSTRAR, INVERTIR) also goes into the header cards as HISTORY.
  const std::vector<std::string>& Operaciones() const { return operaciones_; }
  void AnadeOperacion(std::string linea);
  void CambiaOperaciones(std::vector<std::string> ops) { operaciones_ = std::move(ops); }

  void AsignaObservador(ObservadorImagen* o) { observador_ = o; }
  ObservadorImagen* Observador() const { return observador_; }

  std::array<PuntoReferencia, kNumPuntosReferencia> puntos{};
  int32_t modoPanel = kNada;
  int16_t repintar = 1;
  int16_t comandoZoom = 0;
  float factorZoom = 1.0f;

 private:
  void Repinta(int paneles) {
    if (observador_) observador_->Repinta(paneles);
  }

  int16_t negro_ = 0;
  int16_t blanco_ = 0;
  int32_t primeroTabla_ = 0;
  int32_t ultimoTabla_ = -1;
  std::vector<uint8_t> tablaGris_;
  int32_t pasoTabla_ = 1;
  // The range the table was built for, so a changed range rebuilds it.
  int32_t loTabla_ = 0, hiTabla_ = -1;
  std::vector<std::string> operaciones_;
  ObservadorImagen* observador_ = nullptr;
};

}  // namespace orva
