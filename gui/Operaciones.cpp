// The operation commands of the desktop: dialogs that build one macro line per operation and the
// common runner that executes it on the image (or its duplicate) under a progress window.
#include "gui/Operaciones.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <deque>
#include <map>

#include "analyses/Dobles.h"
#include "analyses/ModuloDobles.h"
#include "planetary/ModuloPlanetas.h"
#include "base/Cadenas.h"
#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "core/TiposObjeto.h"
#include "gui/DialogoQt.h"
#include "gui/Marco.h"
#include "gui/ProgresoQt.h"
#include "gui/TransGeneralQt.h"
#include "gui/VentanaImagen.h"
#include "macro/Macro.h"
#include "processing/Comun.h"
#include "processing/Procesamiento.h"
#include "processing/PropuestasGeometria.h"
#include "shell/Configuracion.h"
#include "stellar/BuscaEstrellas.h"
#include "stellar/ModuloVariables.h"

namespace orva {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// Runs the line on the window, or on a duplicate when DUPLIMA is "1" or duplicar is set, under
// a progress window. A refused line (12052) becomes message idError (with the line as %1); the
// duplicate of a failed operation is closed. Returns the window that received the line.
VentanaImagen* CorreLinea(Marco& marco, VentanaImagen& v, const std::string& linea,
                          const std::string& titulo, int idError, bool duplicar = false) {
  const bool duplica = duplicar || Configuracion::Global().Valor("DUPLIMA") == "1";
  VentanaImagen* destino = duplica ? marco.Duplica(v) : &v;
  try {
    SesionProgreso sesion(titulo);
    ProgresoActual().TextoArchivo(destino->imagen().nombreVentana);
    ProgresoActual().TextoProceso(linea);
    // The operations mark the image modified and update it themselves; the line runs on the
    // worker thread, the window repaints on this one.
    Imagen& im = destino->imagen();
    marco.PilaDeshacer(im).Antes(im);
    EjecutaEnTrabajador(&marco, {&im}, [&im, &linea] { EjecutaMacro(im, {linea}); });
    destino->Repinta(ObservadorImagen::kVentana | ObservadorImagen::kHistograma |
                     ObservadorImagen::kDatos | ObservadorImagen::kLinea);
    marco.PilaDeshacer(im).Despues(im);
  } catch (const JError& e) {
    marco.PilaDeshacer(destino->imagen()).Despues(destino->imagen());
    if (duplica) {
      destino->imagen().Modificada(0);
      marco.CierraVentana(*destino);
    } else {
      destino->Repinta(ObservadorImagen::kVentana | ObservadorImagen::kHistograma |
                       ObservadorImagen::kDatos);
    }
    if (e.Id() == 12052 && idError) throw JError(idError, linea);  // a refused line
    throw;
  }
  return destino;
}

// The first other open image with every one of the points set.
const Imagen* Referencia(Marco& marco, const VentanaImagen& v, std::initializer_list<int> puntos) {
  for (VentanaImagen* w : marco.Ventanas()) {
    if (w == &v) continue;
    if (PuntosCompletos(w->imagen(), puntos)) return &w->imagen();
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Filters

struct GrupoFiltro {
  const char* grupo;
  const char* popup;
};
constexpr GrupoFiltro kGruposFiltro[] = {
    {"Suavizado", "Filtros &suavizantes"},
    {"Realce", "Filtros de &realce"},
    {"Realce contornos", "Filtros &realce contornos"},
    {"Contornos", "Filtros de &contornos"},
};

std::string EtiquetaCampoFiltro(const std::string& clave) {
  if (clave.find("SIGMA") != std::string::npos) return "Sigma";
  if (clave.find("RADIO") != std::string::npos) return "Radio";
  if (clave.rfind("TAMFILT", 0) == 0) return "Tamaño";
  if (clave.rfind("FACTIMAG1", 0) == 0) return "Factor imagen original";
  if (clave.rfind("FACTIMAG2", 0) == 0) return "Factor imagen filtrada";
  return "Factor";
}

// The filter's dialog over copies of its "FiltrosConvol" settings; written back on accept.
int DialogoFiltro(QWidget* padre, const FiltroMenu& f) {
  Configuracion& cfg = Configuracion::Global();
  std::deque<std::string> valores;
  std::vector<std::string> claves;
  std::vector<ItemDialogo> tabla;
  DisenoDialogo diseno;
  diseno.titulo = f.dialogo;
  const bool laplaciana = f.dialogo.find("LAPLACIANA") != std::string::npos;
  auto ultimaSigma = std::make_shared<std::string>();
  int id = 100;
  for (const std::string& a : f.argumentos) {
    if (!a.empty() && a[0] == '=') continue;
    claves.push_back(a);
    valores.push_back(cfg.Valor("FiltrosConvol", a));
    ItemDialogo it;
    it.tipo = kItemEdicion;
    it.id = id;
    it.valor = &valores.back();
    if (a.find("SIGMA") != std::string::npos) {
      // The radius field follows the sigma field; a newly accepted sigma proposes it.
      *ultimaSigma = valores.back();
      const int idRadio = id + 1;
      it.legalidad = [laplaciana, ultimaSigma, idRadio](MotorDialogo& d, ItemDialogo& item,
                                                        const ExtraDialogo&, int informar) {
        const double s = LeeReal(*item.valor);
        if (!(s >= 0.0 && s <= 6.0)) {
          if (informar) d.Vista().Mensaje(Cadena(12073));
          return 0;
        }
        if (*item.valor != *ultimaSigma) {
          *ultimaSigma = *item.valor;
          const int r = laplaciana ? RadioPropuestoLaplaciana(s) : RadioPropuestoGaus(s);
          for (const ItemDialogo& otro : d.Items()) {
            if (otro.id == idRadio && otro.valor) *otro.valor = std::to_string(r);
          }
          d.Vista().PonTexto(idRadio, std::to_string(r));
        }
        return 1;
      };
    } else if (a.find("RADIO") != std::string::npos) {
      it.legalidad = &LegalidadEntero;
      it.extra = RangoEntero{1, 24};
    } else if (a.rfind("TAMFILT", 0) == 0) {
      it.legalidad = &LegalidadEntero;
      it.extra = RangoEntero{2, 50};
    } else if (a.rfind("FACT", 0) == 0) {
      // Weights of the images and of the filter: any number a 16-bit result can bear.
      constexpr double kFactorMax = 1000;
      it.legalidad = &LegalidadReal;
      it.extra = RangoReal{-kFactorMax, kFactorMax};
    } else {
      it.legalidad = &LegalidadSiempre;
    }
    diseno.controles.push_back({id, EtiquetaCampoFiltro(a)});
    tabla.push_back(std::move(it));
    ++id;
  }
  if (!EjecutarDialogo(std::move(tabla), diseno, 0, padre)) return 0;
  for (size_t i = 0; i < claves.size(); ++i) cfg.Asigna("FiltrosConvol", claves[i], valores[i]);
  return 1;
}

void ComandoFiltro(Marco& marco, VentanaImagen& v, int id) {
  std::string linea;
  if (id == kFiltroGeneral) {
    // Any FILTRO form, typed by the user; remembered in the filter settings.
    Configuracion& cfg = Configuracion::Global();
    std::string texto = cfg.Valor("FiltrosConvol", "FILTROGENERAL");
    std::vector<ItemDialogo> tabla(1);
    tabla[0] = {kItemEdicion, 100, 0, &texto, &LegalidadSiempre, {}, nullptr};
    DisenoDialogo d{"FILTRO GENERAL", {{100, "FILTRO"}}, 0};
    if (!EjecutarDialogo(std::move(tabla), d, 0, &marco)) return;
    cfg.Asigna("FiltrosConvol", "FILTROGENERAL", texto);
    linea = "FILTRO " + texto;
  } else {
    const FiltroMenu& f = MenuFiltros()[static_cast<size_t>(id - kPrimerFiltro)];
    if (!f.dialogo.empty() && !DialogoFiltro(&marco, f)) return;
    linea = LineaFiltroMenu(f);
  }
  // At most ten tokens after FILTRO reach the interpreter.
  LineaMacro partes = DivideLinea(linea);
  if (partes.args.size() > 10) partes.args.resize(10);
  linea = partes.comando;
  for (const std::string& t : partes.args) linea += " " + t;
  CorreLinea(marco, v, linea, "PASANDO FILTRO", 12072);
}

// ---------------------------------------------------------------------------------------------
// Geometry

// Crop: origin and size fields, proposed from the crop tool's points.
void ComandoCortar(Marco& marco, VentanaImagen& v) {
  Configuracion& cfg = Configuracion::Global();
  const Imagen& im = v.imagen();
  ParamsCorte p = PropuestaCorte(im, LeeEntero(cfg.Valor("Cortar", "CORTARTAMX")),
                                 LeeEntero(cfg.Valor("Cortar", "CORTARTAMY")),
                                 cfg.Valor("Cortar", "TAMFIJO") == "1");
  std::string x = std::to_string(p.x), y = std::to_string(p.y), w = std::to_string(p.w),
              h = std::to_string(p.h);
  const RangoEntero rango{0, 1000000};
  std::vector<ItemDialogo> tabla = {
      {kItemEdicion, 100, 0, &x, &LegalidadEntero, rango, nullptr},
      {kItemEdicion, 101, 0, &y, &LegalidadEntero, rango, nullptr},
      {kItemEdicion, 102, 0, &w, &LegalidadEntero, RangoEntero{1, 1000000}, nullptr},
      {kItemEdicion, 103, 0, &h, &LegalidadEntero, RangoEntero{1, 1000000}, nullptr},
  };
  DisenoDialogo d{"CORTAR IMAGEN",
                  {{100, "Origen X:"}, {101, "Origen Y:"}, {102, "Ancho:"}, {103, "Alto:"}},
                  0};
  if (!EjecutarDialogo(std::move(tabla), d, 0, &marco)) return;
  p = {LeeEntero(x), LeeEntero(y), LeeEntero(w), LeeEntero(h), false, 0};
  CompruebaCorte(im, p);
  cfg.Asigna("Cortar", "CORTARTAMX", w);
  cfg.Asigna("Cortar", "CORTARTAMY", h);
  CorreLinea(marco, v, LineaCorte(p), "CORTANDO IMAGEN", 12051);
}

void ComandoDesplazar(Marco& marco, VentanaImagen& v) {
  const Imagen& im = v.imagen();
  const ParamsDesplaza propuesta = PropuestaDesplaza(im);
  const double dx = propuesta.dx, dy = propuesta.dy;
  std::string tx = TextoReal(dx), ty = TextoReal(dy);
  std::vector<ItemDialogo> tabla = {
      {kItemEdicion, 100, 0, &tx, &LegalidadReal, RangoReal{-100000, 100000}, nullptr},
      {kItemEdicion, 101, 0, &ty, &LegalidadReal, RangoReal{-100000, 100000}, nullptr},
  };
  DisenoDialogo d{"DESPLAZAR IMAGEN", {{100, "Desplazamiento X:"}, {101, "Desplazamiento Y:"}}, 0};
  if (!EjecutarDialogo(std::move(tabla), d, 0, &marco)) return;
  const ParamsDesplaza p{LeeReal(tx), LeeReal(ty), Rango().defecto};
  CorreLinea(marco, v, LineaDesplaza(p), "DESPLAZANDO IMAGEN", 12051);
}

void ComandoRedimensionar(Marco& marco, VentanaImagen& v) {
  Configuracion& cfg = Configuracion::Global();
  const Imagen& im = v.imagen();
  std::string fx = cfg.Valor("Redimensionar", "FACTOR_X");
  std::string fy = cfg.Valor("Redimensionar", "FACTOR_Y");
  std::string igual = cfg.Valor("Redimensionar", "XIGUALY");
  std::string conserva = cfg.Valor("Redimensionar", "IMORICONS");
  constexpr double kFactorMin = 0.01, kFactorMax = 100;
  std::vector<ItemDialogo> tabla = {
      {kItemEdicion, 100, 0, &fx, &LegalidadReal, RangoReal{kFactorMin, kFactorMax}, nullptr},
      {kItemEdicion, 101, 0, &fy, &LegalidadReal, RangoReal{kFactorMin, kFactorMax}, nullptr},
      {kItemCasilla, 102, 0, &igual, nullptr, {}, nullptr},
      {kItemCasilla, 103, 0, &conserva, nullptr, {}, nullptr},
  };
  DisenoDialogo d{"REDIMENSIONAR IMAGEN",
                  {{100, "Factor X:"},
                   {101, "Factor Y:"},
                   {102, "Factor Y igual a factor X"},
                   {103, "Conservar la imagen original"}},
                  0};
  if (!EjecutarDialogo(std::move(tabla), d, 0, &marco)) return;
  const double factorX = LeeReal(fx);
  const double factorY = igual == "1" ? factorX : LeeReal(fy);
  const ParamsRedim p = PropuestaRedim(im, factorX, factorY);
  cfg.Asigna("Redimensionar", "FACTOR_X", fx);
  cfg.Asigna("Redimensionar", "FACTOR_Y", igual == "1" ? fx : fy);
  cfg.Asigna("Redimensionar", "XIGUALY", igual);
  cfg.Asigna("Redimensionar", "IMORICONS", conserva);
  CorreLinea(marco, v, LineaRedim(p), "REDIMENSIONANDO IMAGEN", 12051, conserva == "1");
}

// "ROTACIÓN IMAGEN": angle with the 90/180/270 buttons and the centre fields.
int DialogoRotacion(QWidget* padre, const Imagen& im, ParamsRotacion& p) {
  QDialog d(padre);
  d.setObjectName("DialogoRotacion");
  d.setWindowTitle(QStringLiteral("ROTACIÓN IMAGEN"));
  auto* forma = new QFormLayout(&d);
  double angulo = 0;
  AnguloDeSegmento(im, angulo);
  auto* ang = new QLineEdit(QString::asprintf("%.2f", angulo));
  ang->setObjectName("Angulo");
  forma->addRow(QStringLiteral("Angulo (-359..359):"), ang);
  auto* botones = new QHBoxLayout;
  for (int a : {90, 180, 270}) {
    auto* b = new QPushButton(QStringLiteral("%1º").arg(a));
    b->setObjectName(QStringLiteral("b%1").arg(a));
    QObject::connect(b, &QPushButton::clicked, &d,
                     [ang, a] { ang->setText(QString::asprintf("%.2f", double(a))); });
    botones->addWidget(b);
  }
  forma->addRow(botones);
  int cx0 = 0, cy0 = 0;
  const bool marcado = PropuestaCentroRotacion(im, cx0, cy0);
  auto* cx = new QLineEdit(QString::number(cx0));
  auto* cy = new QLineEdit(QString::number(cy0));
  cx->setObjectName("CentroX");
  cy->setObjectName("CentroY");
  forma->addRow(QStringLiteral("Centro rotación X:"), cx);
  forma->addRow(QStringLiteral("Centro rotación Y:"), cy);
  auto* caja = BotonesAceptarCancelar();
  forma->addRow(caja);
  QObject::connect(caja, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  QObject::connect(caja, &QDialogButtonBox::accepted, &d, [&] {
    constexpr double kAnguloMax = 359, kCentroMax = 100000;
    if (CampoRealValido(ang, "Angulo", -kAnguloMax, kAnguloMax) &&
        CampoRealValido(cx, "Centro rotación X", -kCentroMax, kCentroMax) &&
        CampoRealValido(cy, "Centro rotación Y", -kCentroMax, kCentroMax)) {
      d.accept();
    }
  });
  if (d.exec() != QDialog::Accepted) return 0;
  p.angulo = LeeReal(ang->text().toStdString());
  p.cx = LeeReal(cx->text().toStdString());
  p.cy = LeeReal(cy->text().toStdString());
  // The centre goes into the line when it is marked or was changed from the image's middle.
  p.conCentro = marcado || p.cx != cx0 || p.cy != cy0;
  return 1;
}

void ComandoRotar(Marco& marco, VentanaImagen& v) {
  ParamsRotacion p;
  if (!DialogoRotacion(&marco, v.imagen(), p)) return;
  CorreLinea(marco, v, LineaRotacion(p), "ROTANDO IMAGEN", 12051);
}

void ComandoEscalaGris(Marco& marco, VentanaImagen& v) {
  PreparaDialogoGris(CurvaGrisElegida());
  DialogoEscalaGris d(v.imagen(), &marco);
  if (d.exec() != QDialog::Accepted) return;
  const int curva = d.Curva();
  CurvaGrisElegida() = curva;
  CorreLinea(marco, v, LineaEscalaGris(ParamsActuales(curva)), Cadena(12071), 12069);
}

// ---------------------------------------------------------------------------------------------
// Star detection

// Edit fields over copies of settings of one section, written back on accept.
struct CampoAjuste {
  int id;
  const char* clave;
  const char* etiqueta;
  int tipo = kItemEdicion;
  ExtraDialogo extra = {};
};

int DialogoSeccion(QWidget* padre, const char* seccion, int idTitulo,
                   const std::vector<CampoAjuste>& campos, std::vector<ItemDialogo> extras = {},
                   std::vector<ControlDiseno> disenoExtra = {}) {
  Configuracion& cfg = Configuracion::Global();
  std::deque<std::string> valores;
  std::vector<ItemDialogo> tabla;
  DisenoDialogo diseno;
  diseno.titulo = Cadena(idTitulo);
  for (const CampoAjuste& c : campos) {
    valores.push_back(cfg.Valor(seccion, c.clave));
    ItemDialogo it;
    it.tipo = c.tipo;
    it.id = c.id;
    it.valor = &valores.back();
    it.extra = c.extra;
    if (std::holds_alternative<RangoEntero>(c.extra)) it.legalidad = &LegalidadEntero;
    if (std::holds_alternative<RangoReal>(c.extra)) it.legalidad = &LegalidadReal;
    diseno.controles.push_back({c.id, c.etiqueta});
    tabla.push_back(std::move(it));
  }
  for (ItemDialogo& it : extras) tabla.push_back(std::move(it));
  for (ControlDiseno& c : disenoExtra) diseno.controles.push_back(std::move(c));
  if (!EjecutarDialogo(std::move(tabla), diseno, 0, padre)) return 0;
  for (size_t i = 0; i < campos.size(); ++i) cfg.Asigna(seccion, campos[i].clave, valores[i]);
  return 1;
}

void ComandoPCVista(Marco& marco, VentanaImagen& v) {
  Imagen& im = v.imagen();
  if (im.TipoObjeto() != kVariable) throw JError(12074);
  RegistraConfigPCVista();
  const RangoReal real{-1e6, 1e6};
  std::string borrar = "0";
  std::vector<ItemDialogo> extra(1);
  extra[0] = {kItemCasilla, 565, 0, &borrar, nullptr, {}, nullptr};
  if (!DialogoSeccion(
          &marco, "BuscaEstPCVista", 3107,
          {
              {551, "NumSigmas", "Sigmas por encima del cielo:", kItemEdicion, real},
              {553, "MaxDistCentPico", "Máx dist. centroide al pico:", kItemEdicion,
               RangoEntero{0, 100}},
              {552, "RadioCajaBusq", "Radio caja de busqueda:", kItemEdicion, RangoEntero{1, 100}},
              {554, "NumMaxIter", "Número máximo de iteraciones:", kItemEdicion,
               RangoEntero{1, 1000}},
              {555, "FWHMMin", "FWHM Mínimo:", kItemEdicion, real},
              {556, "FWHMMax", "FWHM Máximo:", kItemEdicion, real},
              {561, "RoundMin", "Criterio de redondas: Mínimo:", kItemEdicion, real},
              {562, "RoundMax", "Criterio de redondas: Máximo:", kItemEdicion, real},
              {563, "SharpMin", "Criterio de sharp: Mínimo:", kItemEdicion, real},
              {564, "SharpMax", "Criterio de sharp: Máximo:", kItemEdicion, real},
              {557, "VerLog", "Ver Log", kItemCasilla},
          },
          std::move(extra), {{565, "Borrar estrellas existentes"}})) {
    return;
  }
  // The log window stays until the user leaves it; the plain one is the frame's own.
  if (LeeParametrosPCVista().verLog == 1) {
    ProgresoLog log(&marco);
    Progreso* anterior = &ProgresoActual();
    InstalaProgreso(&log);
    try {
      EjecutaEnTrabajador(
          &marco, {&im}, [&] { BuscaEstrellas(im, MetodoBusqueda::kPCVista, borrar == "1", log); });
    } catch (...) {
      InstalaProgreso(anterior);
      throw;
    }
    InstalaProgreso(anterior);
  } else {
    EjecutaEnTrabajador(&marco, {&im}, [&] {
      BuscaEstrellas(im, MetodoBusqueda::kPCVista, borrar == "1", ProgresoActual());
    });
  }
  v.Repinta(ObservadorImagen::kVentana | ObservadorImagen::kDatos);
}

void ComandoTASS(Marco& marco, VentanaImagen& v) {
  Imagen& im = v.imagen();
  if (im.TipoObjeto() != kVariable) throw JError(12074);
  const RangoReal real{0, 1e6};
  if (!DialogoSeccion(
          &marco, "AnaVariables", 3085,
          {{370, "VARLIMDETEC", "Limite deteccion (sigmas):", kItemEdicion, real},
           {371, "VARRELCIELEST", "Relación máxima cielo/estrella:", kItemEdicion, real}})) {
    return;
  }
  EjecutaEnTrabajador(
      &marco, {&im}, [&im] { BuscaEstrellas(im, MetodoBusqueda::kTASS, false, ProgresoActual()); });
  v.Repinta(ObservadorImagen::kVentana | ObservadorImagen::kDatos);
}

// "PREFERENCIAS DETERMINACION CENTROIDE" over section "AnaEstelar".
int DialogoCentroide(QWidget* padre) {
  const RangoEntero radio{1, 100};
  const RangoReal fwhm{0.0, 1000.0};
  return DialogoSeccion(
      padre, "AnaEstelar", 3073,
      {
          {100, "CENTMETODO", "Método (1 momentos, 2 sobre cielo + 3 sigmas):", kItemEdicion,
           RangoEntero{1, 2}},
          {101, "CENTRADIO", "Radio estrella:", kItemEdicion, radio},
          {102, "CENTRADIOSKY", "Radio cielo:", kItemEdicion, radio},
          {103, "CENTMINFWHM", "FWHM mínimo:", kItemEdicion, fwhm},
          {104, "CENTMAXFWHM", "FWHM máximo:", kItemEdicion, fwhm},
          {105, "CENTSKYRADINT", "Radio interior anillo cielo:", kItemEdicion, radio},
          {106, "CENTSKYRADEXT", "Radio exterior anillo cielo:", kItemEdicion, radio},
          {107, "CENTNUMITERA", "Número de iteraciones:", kItemEdicion, RangoEntero{1, 1000}},
          {108, "CENTSKYSTAR", "Cielo del anillo", kItemCasilla},
          {109, "CENTINFO", "Informar de cada resultado", kItemCasilla},
      });
}

}  // namespace

// ---------------------------------------------------------------------------------------------

bool MenuDeFiltro(int id, std::string& popup, std::string& etiqueta) {
  if (id == kFiltroGeneral) {
    popup = "&Tratar";
    etiqueta = "&Filtro General";
    return true;
  }
  const auto& menu = MenuFiltros();
  const int i = id - kPrimerFiltro;
  if (i < 0 || i >= static_cast<int>(menu.size())) return false;
  const FiltroMenu& f = menu[static_cast<size_t>(i)];
  for (const GrupoFiltro& g : kGruposFiltro) {
    if (f.grupo == g.grupo) popup = std::string("&Tratar/") + g.popup;
  }
  etiqueta = f.item;
  return true;
}

VentanaImagen* EjecutaLineaOperacion(Marco& marco, VentanaImagen& v, const std::string& linea,
                                     const std::string& titulo, int idError, bool duplicar) {
  return CorreLinea(marco, v, linea, titulo, idError, duplicar);
}

bool ComandoOperacion(Marco& marco, VentanaImagen& v, int id) {
  if (ComandoTransGeneral(marco, v, id)) return true;
  // The maps of a planet's disc: one macro line on the window.
  if (EsComandoMapaDisco(id)) {
    CorreLinea(marco, v, LineaMapaDisco(v.imagen(), id), "PLANETA", 12051);
    return true;
  }
  if (id >= kPrimerFiltro && id <= kFiltroGeneral) {
    std::string popup, etiqueta;
    if (!MenuDeFiltro(id, popup, etiqueta)) return false;
    ComandoFiltro(marco, v, id);
    return true;
  }
  switch (id) {
    case kBuscarPCVista:
      ComandoPCVista(marco, v);
      return true;
    case kBuscarTASS:
      ComandoTASS(marco, v);
      return true;
    case kPreferenciasDobles:
      DialogoCentroide(&marco);
      return true;
    case kCalcularDobles: {
      std::vector<const Imagen*> imagenes;
      for (VentanaImagen* w : marco.Ventanas()) imagenes.push_back(&w->imagen());
      DialogoCalculoDobles d(std::move(imagenes), &marco);
      d.exec();
      return true;
    }
    case kCmdEscalarGrises:
      ComandoEscalaGris(marco, v);
      return true;
    case kCmdRotar:
      ComandoRotar(marco, v);
      return true;
    case kCmdEspejoHor:
      CorreLinea(marco, v, LineaEspejo(Espejo::kHorizontal), "ESPEJO HORIZONTAL", 12051);
      return true;
    case kCmdEspejoVer:
      CorreLinea(marco, v, LineaEspejo(Espejo::kVertical), "ESPEJO VERTICAL", 12051);
      return true;
    case kCmdDesplazar:
      ComandoDesplazar(marco, v);
      return true;
    case kCmdDesplazarRef: {
      const std::string l =
          LineaDesplazaPorReferencia(v.imagen(), Referencia(marco, v, {kDespRef}));
      CorreLinea(marco, v, l, "DESPLAZANDO POR REFERENCIA", 12051);
      return true;
    }
    case kCmdDesplazarRefVarias: {
      // Every chosen image moves its reference point onto the reference image's one.
      const Imagen* ref = Referencia(marco, v, {kDespRef});
      if (PuntosCompletos(v.imagen(), {kDespRef})) ref = &v.imagen();
      if (!ref) throw JError(12044);
      for (VentanaImagen* w : marco.EligeVentanas()) {
        if (&w->imagen() == ref) continue;
        const std::string l = LineaDesplazaPorReferencia(w->imagen(), ref);
        CorreLinea(marco, *w, l, "DESPLAZANDO POR REFERENCIA", 12051);
      }
      return true;
    }
    case kCmdRedimensionar:
      ComandoRedimensionar(marco, v);
      return true;
    case kCmdRedimensionarRef: {
      const std::string l =
          LineaRedimPorReferencia(v.imagen(), Referencia(marco, v, {kRedimRef1, kRedimRef2}));
      const bool conserva = Configuracion::Global().Valor("Redimensionar", "IMORICONS") == "1";
      CorreLinea(marco, v, l, "REDIMENSIONANDO IMAGEN", 12051, conserva);
      return true;
    }
    case kCmdCortar:
      ComandoCortar(marco, v);
      return true;
    case kCmdCortarRef: {
      const std::string l = LineaCortePorReferencia(v.imagen(), Referencia(marco, v, {kDespRef}));
      CorreLinea(marco, v, l, "CORTANDO IMAGEN", 12051);
      return true;
    }
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------------
// Gray-scale dialog

VistaCurvaGris::VistaCurvaGris(QWidget* padre) : QWidget(padre) {
  setObjectName("VistaCurva");
  setFixedSize(256, 160);
}

void VistaCurvaGris::Pon(std::vector<int> columnas, std::vector<int> curva) {
  columnas_ = std::move(columnas);
  curva_ = std::move(curva);
  update();
}

void VistaCurvaGris::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  p.setPen(Qt::black);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  const int alto = height();
  p.setPen(QColor(128, 128, 128));
  for (size_t x = 0; x < columnas_.size(); ++x) {
    if (columnas_[x] > 0) {
      p.drawLine(int(x), alto - 1, int(x), alto - 1 - std::min(columnas_[x], alto - 1));
    }
  }
  p.setPen(Qt::black);
  QPolygon linea;
  for (size_t x = 0; x < curva_.size(); ++x) {
    linea << QPoint(int(x), alto - 1 - std::clamp(curva_[x], 0, alto - 1));
  }
  if (linea.size() > 1) p.drawPolyline(linea);
}

DialogoEscalaGris::DialogoEscalaGris(Imagen& imagen, QWidget* padre)
    : QDialog(padre), imagen_(imagen) {
  setObjectName("DialogoEscalaGris");
  setWindowTitle(QStringLiteral("ESCALADO NIVELES GRIS"));
  auto* rejilla = new QGridLayout(this);
  lista_ = new QListWidget;
  lista_->setObjectName("Curvas");
  for (const CurvaGris& c : CurvasGris()) lista_->addItem(Q(c.nombre));
  rejilla->addWidget(lista_, 0, 0, 6, 1);
  for (int i = 0; i < 4; ++i) {
    etiquetas_[i] = new QLabel;
    etiquetas_[i]->setObjectName(QStringLiteral("Etiqueta%1").arg(i + 1));
    campos_[i] = new QLineEdit;
    campos_[i]->setObjectName(QStringLiteral("Campo%1").arg(i + 1));
    rejilla->addWidget(etiquetas_[i], i, 1);
    rejilla->addWidget(campos_[i], i, 2);
  }
  auto* rango =
      new QLabel(QStringLiteral("Mínimo: %1   Máximo: %2").arg(Rango().minimo).arg(Rango().maximo));
  rango->setObjectName("Rango");
  rejilla->addWidget(rango, 4, 1, 1, 2);
  vista_ = new VistaCurvaGris;
  rejilla->addWidget(vista_, 6, 0, 1, 3);
  auto* botones = new QHBoxLayout;
  auto* ver = new QPushButton(QStringLiteral("Ver Curva"));
  ver->setObjectName("VerCurva");
  auto* aceptar = new QPushButton(QStringLiteral("Aceptar"));
  aceptar->setObjectName("b1");
  aceptar->setDefault(true);
  auto* cancelar = new QPushButton(QStringLiteral("Cancelar"));
  cancelar->setObjectName("b2");
  botones->addWidget(ver);
  botones->addWidget(aceptar);
  botones->addWidget(cancelar);
  rejilla->addLayout(botones, 7, 0, 1, 3);
  connect(ver, &QPushButton::clicked, this, [this] { VerCurva(); });
  connect(aceptar, &QPushButton::clicked, this, &DialogoEscalaGris::accept);
  connect(cancelar, &QPushButton::clicked, this, &DialogoEscalaGris::reject);
  connect(lista_, &QListWidget::currentRowChanged, this, [this](int fila) {
    if (fila >= 0) MuestraCurva(fila);
  });
  lista_->setCurrentRow(std::clamp(CurvaGrisElegida(), 0, 12));
  MuestraCurva(lista_->currentRow());
}

int DialogoEscalaGris::Curva() const {
  return std::max(0, lista_->currentRow());
}

void DialogoEscalaGris::MuestraCurva(int curva) {
  const CurvaGris& c = CurvasGris()[static_cast<size_t>(curva)];
  for (int i = 0; i < 4; ++i) {
    const bool usado = i < c.numParametros;
    etiquetas_[i]->setText(usado ? Q(c.etiquetas[static_cast<size_t>(i)]) : QString());
    campos_[i]->setText(usado ? Q(c.valores[static_cast<size_t>(i)]) : QString());
    campos_[i]->setEnabled(usado);
  }
}

bool DialogoEscalaGris::GuardaCampos() {
  const int curva = Curva();
  CurvaGris& c = CurvasGris()[static_cast<size_t>(curva)];
  std::array<std::string, 4> valores;
  for (int i = 0; i < c.numParametros; ++i) {
    valores[static_cast<size_t>(i)] = campos_[i]->text().toStdString();
  }
  try {
    CompruebaCamposGris(curva, valores);
  } catch (const JError& e) {
    QMessageBox::warning(this, Q(Cadena(12000)), Q(e.Mensaje()));
    // The refused field, named by the message, is selected for the correction.
    for (int i = 0; i < c.numParametros; ++i) {
      if (c.etiquetas[static_cast<size_t>(i)] != e.Argumento(1)) continue;
      campos_[i]->setFocus();
      campos_[i]->selectAll();
      break;
    }
    return false;
  }
  for (int i = 0; i < c.numParametros; ++i) {
    c.valores[static_cast<size_t>(i)] = valores[static_cast<size_t>(i)];
  }
  return true;
}

void DialogoEscalaGris::VerCurva() {
  if (!GuardaCampos()) return;
  std::vector<int16_t> tabla;
  try {
    ConstruyeTablaGris(imagen_, ParamsActuales(Curva()), tabla);
  } catch (const JError& e) {
    QMessageBox::warning(this, Q(Cadena(12000)), Q(e.Mensaje()));
    return;
  }
  vista_->Pon(ColumnasHistogramaGris(imagen_, vista_->width(), vista_->height()),
              CurvaTablaGris(tabla, vista_->width(), vista_->height()));
}

void DialogoEscalaGris::accept() {
  if (GuardaCampos()) QDialog::accept();
}

}  // namespace orva

namespace orva {

// ---------------------------------------------------------------------------------------------
// Double-star calculation dialog

DialogoCalculoDobles::DialogoCalculoDobles(std::vector<const Imagen*> imagenes, QWidget* padre)
    : QDialog(padre), imagenes_(std::move(imagenes)) {
  const ObjetosCalculo objetos = ObjetosCalculoDobles(imagenes_);  // 12066-12068
  setObjectName("DialogoCalculoDobles");
  setWindowTitle(QStringLiteral("CALCULO DOBLES"));
  auto* rejilla = new QGridLayout(this);
  const char* titulos[3] = {"Objeto Calibración", "Objeto Trazo", "Objeto Doble"};
  for (int g = 0; g < 3; ++g) {
    combos_[g] = new QComboBox;
    combos_[g]->setObjectName(QStringLiteral("Combo%1").arg(g + 1));
    for (const std::string& n : g == 1 ? objetos.conTrazo : objetos.conPar) {
      combos_[g]->addItem(Q(n));
    }
    listas_[g] = new QListWidget;
    listas_[g]->setObjectName(QStringLiteral("Lista%1").arg(g + 1));
    listas_[g]->setSelectionMode(QAbstractItemView::MultiSelection);
    rejilla->addWidget(new QLabel(QString::fromUtf8(titulos[g])), 0, g);
    rejilla->addWidget(combos_[g], 1, g);
    rejilla->addWidget(listas_[g], 2, g);
    connect(combos_[g], &QComboBox::currentIndexChanged, this, [this, g] {
      Llena(g);
      Recalcula();
    });
    connect(listas_[g], &QListWidget::itemSelectionChanged, this, [this] { Recalcula(); });
  }
  auto* forma = new QFormLayout;
  distancia_ = new QLineEdit(Q(Configuracion::Global().Valor("AnaDobles", "DISTCALIB")));
  distancia_->setObjectName("Distancia");
  forma->addRow(QStringLiteral("Distancia:"), distancia_);
  const char* nombres[4] = {"Escala:", "Orientación:", "Separación:", "Ángulo posición:"};
  for (int i = 0; i < 4; ++i) {
    resultados_[i] = new QLabel;
    resultados_[i]->setObjectName(QStringLiteral("Resultado%1").arg(i + 1));
    forma->addRow(QString::fromUtf8(nombres[i]), resultados_[i]);
  }
  rejilla->addLayout(forma, 3, 0, 1, 3);
  auto* salir = new QPushButton(QStringLiteral("Salir"));
  salir->setObjectName("Salir");
  auto* grabar = new QPushButton(QStringLiteral("Grabar"));
  grabar->setObjectName("Grabar");
  auto* botones = new QHBoxLayout;
  botones->addWidget(grabar);
  botones->addWidget(salir);
  rejilla->addLayout(botones, 4, 0, 1, 3);
  connect(distancia_, &QLineEdit::textChanged, this, [this] { Recalcula(); });
  connect(salir, &QPushButton::clicked, this, [this] {
    // The separation typed is offered again next time; one that is no separation is refused.
    constexpr double kDistanciaMax = 1e6;
    if (!distancia_->text().trimmed().isEmpty() &&
        !CampoRealValido(distancia_, "Distancia", 0, kDistanciaMax)) {
      return;
    }
    Configuracion::Global().Asigna("AnaDobles", "DISTCALIB", distancia_->text().toStdString());
    accept();
  });
  for (int g = 0; g < 3; ++g) Llena(g);
  Recalcula();
}

void DialogoCalculoDobles::Llena(int g) {
  const QSignalBlocker bloqueo(listas_[g]);
  listas_[g]->clear();
  const std::string objeto = combos_[g]->currentText().toStdString();
  for (size_t i = 0; i < imagenes_.size(); ++i) {
    const Imagen* im = imagenes_[i];
    if (im->TipoObjeto() != kDoble || im->datos.nombreObjeto != objeto) continue;
    const DatosDobles* d = DatosDoblesDe(*im);
    if (!d) continue;
    const bool sirve = g == 1 ? (d->trazos[0].medido || d->trazos[1].medido) : d->parMedido;
    if (!sirve) continue;
    auto* item = new QListWidgetItem(Q(im->nombreVentana), listas_[g]);
    item->setData(Qt::UserRole, static_cast<int>(i));
  }
}

void DialogoCalculoDobles::Recalcula() {
  std::vector<MedidaDoble> medidas[3];
  for (int g = 0; g < 3; ++g) {
    for (QListWidgetItem* item : listas_[g]->selectedItems()) {
      const Imagen* im = imagenes_[static_cast<size_t>(item->data(Qt::UserRole).toInt())];
      if (const DatosDobles* d = DatosDoblesDe(*im)) medidas[g].push_back(MedidaDe(*d));
    }
  }
  const ResultadoCalculoDobles r =
      CalculaDobles(medidas[0], medidas[1], medidas[2], LeeReal(distancia_->text().toStdString()));
  const std::array<std::string, 4> textos = r.Textos();
  for (int i = 0; i < 4; ++i) resultados_[i]->setText(Q(textos[static_cast<size_t>(i)]));
}

std::array<std::string, 4> DialogoCalculoDobles::Resultados() const {
  std::array<std::string, 4> t;
  for (int i = 0; i < 4; ++i) t[static_cast<size_t>(i)] = resultados_[i]->text().toStdString();
  return t;
}

}  // namespace orva
