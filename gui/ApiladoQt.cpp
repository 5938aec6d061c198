#include "gui/ApiladoQt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "base/Numeros.h"
#include "core/IdsComandos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "gui/DialogoQt.h"
#include "gui/Marco.h"
#include "gui/ProgresoQt.h"
#include "gui/VentanaImagen.h"
#include "macro/Macro.h"
#include "processing/Aritmetica.h"
#include "shell/Configuracion.h"
#include "stacking/Combinacion.h"
#include "stacking/Maestros.h"
#include "stacking/Pretratamiento.h"
#include "stellar/EstrellasRegistro.h"

namespace orva {
namespace {

constexpr double kKappaMaximo = 100.0;
constexpr double kIteracionesMaximas = 100.0;
constexpr double kGrupoMaximo = 100000.0;
constexpr double kFactorMaximo = 1000.0;
constexpr int kGrupoDefecto = 2;
// The alignment the stacks by reference remember: 0 reference point, 1 stars.
constexpr char kSeccionAlineacion[] = "Registro";
constexpr char kClaveAlineacion[] = "REGALINEAR";
constexpr int kAlineaEstrellas = 1;
constexpr int kRepinteTodo = ObservadorImagen::kVentana | ObservadorImagen::kHistograma |
                             ObservadorImagen::kDatos | ObservadorImagen::kLinea;

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The Aceptar / Cancelar row every dialog of this file ends with; `valida` decides on Aceptar.
void BotonesDialogo(QDialog& d, QFormLayout* forma, std::function<bool()> valida) {
  auto* caja = BotonesAceptarCancelar();
  forma->addRow(caja);
  QObject::connect(caja, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  QObject::connect(caja, &QDialogButtonBox::accepted, &d, [&d, valida] {
    if (valida()) d.accept();
  });
}

QLineEdit* Campo(QFormLayout* forma, const char* nombre, const QString& etiqueta,
                 const QString& valor) {
  auto* e = new QLineEdit(valor);
  e->setObjectName(nombre);
  forma->addRow(etiqueta, e);
  return e;
}

QComboBox* Lista(QFormLayout* forma, const char* nombre, const QString& etiqueta,
                 const QStringList& entradas, int actual) {
  auto* c = new QComboBox;
  c->setObjectName(nombre);
  c->addItems(entradas);
  c->setCurrentIndex(actual);
  forma->addRow(etiqueta, c);
  return c;
}

double Real(QLineEdit* e) {
  return LeeReal(e->text().toStdString());
}

// ---------------------------------------------------------------------------------------------
// Several images: mean, median, sum, by reference point, in groups.

struct PeticionApilado {
  std::vector<VentanaImagen*> ventanas;
  AjustesCombinacion ajustes;
  size_t grupo = 0;
  bool porEstrellas = false;  // aligned by registering the stars on the first image
};

// The dialog's title: the command it runs, as its menu names it.
QString TituloVarias(int id) {
  switch (id) {
    case kCmdMedia:
      return QStringLiteral("MEDIA");
    case kCmdMediana:
      return QStringLiteral("MEDIANA");
    case kCmdSumar:
      return QStringLiteral("SUMAR");
    case kCmdSumarRef:
      return QStringLiteral("SUMAR POR REFERENCIA");
    case kCmdSumarRefAgrupando:
      return QStringLiteral("SUMAR POR REFERENCIA AGRUPANDO");
    case kCmdMediaRef:
      return QStringLiteral("MEDIA POR REFERENCIA");
    case kCmdMediaRefAgrupando:
      return QStringLiteral("MEDIA POR REFERENCIA AGRUPANDO");
    default:
      return QStringLiteral("VARIAS IMAGENES");
  }
}

bool DialogoApilado(Marco& marco, int id, PeticionApilado& p) {
  const bool agrupando = id == kCmdSumarRefAgrupando || id == kCmdMediaRefAgrupando;
  p.ajustes.porReferencia = id == kCmdSumarRef || id == kCmdSumarRefAgrupando ||
                            id == kCmdMediaRef || id == kCmdMediaRefAgrupando;
  const bool suma = id == kCmdSumar || id == kCmdSumarRef || id == kCmdSumarRefAgrupando;
  const int metodo = id == kCmdMediana ? 1 : suma ? 2 : 0;

  QDialog d(&marco);
  d.setWindowTitle(TituloVarias(id));
  auto* forma = new QFormLayout(&d);
  auto* lista = new QListWidget;
  lista->setObjectName("Imagenes");
  lista->setSelectionMode(QAbstractItemView::MultiSelection);
  const std::vector<VentanaImagen*> todas = marco.Ventanas();
  for (VentanaImagen* w : todas) lista->addItem(Q(w->imagen().nombreVentana));
  lista->selectAll();
  forma->addRow(QStringLiteral("Imagenes:"), lista);
  QComboBox* met = Lista(forma, "Metodo", QStringLiteral("Método:"),
                         {QStringLiteral("Media"), QStringLiteral("Mediana"),
                          QStringLiteral("Suma"), QStringLiteral("Media con rechazo sigma")},
                         metodo);
  QLineEdit* kappa = Campo(forma, "Kappa", QStringLiteral("Kappa:"), QStringLiteral("3"));
  QLineEdit* iter =
      Campo(forma, "Iteraciones", QStringLiteral("Iteraciones:"), QStringLiteral("3"));
  // Kappa and iterations only mean something to the sigma-clipped mean.
  constexpr int kMetodoSigma = 3;
  auto ajustaSigma = [kappa, iter](int m) {
    kappa->setEnabled(m == kMetodoSigma);
    iter->setEnabled(m == kMetodoSigma);
  };
  ajustaSigma(metodo);
  QObject::connect(met, &QComboBox::currentIndexChanged, &d, ajustaSigma);
  QComboBox* norma = Lista(forma, "Normalizacion", QStringLiteral("Normalización:"),
                           {QStringLiteral("Ninguna"), QStringLiteral("Aditiva"),
                            QStringLiteral("Multiplicativa"), QStringLiteral("Aditiva y escala")},
                           0);
  QComboBox* alinea = nullptr;
  Configuracion& cfg = Configuracion::Global();
  if (p.ajustes.porReferencia) {
    cfg.Registra(kSeccionAlineacion, kClaveAlineacion, "0");
    const bool estrellas =
        LeeEntero(cfg.Valor(kSeccionAlineacion, kClaveAlineacion)) == kAlineaEstrellas;
    alinea = Lista(
        forma, "Alineacion", QStringLiteral("Alineación:"),
        {QStringLiteral("Punto de referencia"), QStringLiteral("Estrellas (registro automático)")},
        estrellas ? kAlineaEstrellas : 0);
    // What the chosen alignment does, under the choice.
    auto* nota = new QLabel;
    nota->setObjectName("NotaAlineacion");
    nota->setWordWrap(true);
    forma->addRow(nota);
    auto explica = [nota](int i) {
      nota->setText(i == kAlineaEstrellas
                        ? QStringLiteral("La primera imagen elegida es la referencia; las que no "
                                         "se puedan registrar sobre ella quedan fuera.")
                        : QStringLiteral("Cada imagen se desplaza según su punto de referencia."));
    };
    explica(alinea->currentIndex());
    QObject::connect(alinea, &QComboBox::currentIndexChanged, &d, explica);
  }
  QLineEdit* grupo = nullptr;
  if (agrupando) {
    grupo = Campo(forma, "Grupo", QStringLiteral("Imagenes por grupo:"),
                  QString::number(kGrupoDefecto));
  }
  BotonesDialogo(d, forma, [&] {
    return (!kappa->isEnabled() || CampoRealValido(kappa, "Kappa", 0.1, kKappaMaximo)) &&
           (!iter->isEnabled() || CampoRealValido(iter, "Iteraciones", 1, kIteracionesMaximas)) &&
           (!grupo || CampoRealValido(grupo, "Imagenes por grupo", 1, kGrupoMaximo));
  });
  if (d.exec() != QDialog::Accepted) return false;
  for (int i = 0; i < lista->count(); ++i) {
    if (lista->item(i)->isSelected()) p.ventanas.push_back(todas[static_cast<size_t>(i)]);
  }
  static const MetodoCombinacion metodos[] = {MetodoCombinacion::kMedia,
                                              MetodoCombinacion::kMediana, MetodoCombinacion::kSuma,
                                              MetodoCombinacion::kSigma};
  static const Normalizacion normas[] = {Normalizacion::kNinguna, Normalizacion::kAditiva,
                                         Normalizacion::kMultiplicativa, Normalizacion::kAmbas};
  p.ajustes.metodo = metodos[met->currentIndex()];
  if (kappa->isEnabled()) {
    p.ajustes.kappa = Real(kappa);
    p.ajustes.iteraciones = static_cast<int>(Real(iter));
  }
  p.ajustes.normalizacion = normas[norma->currentIndex()];
  p.grupo = grupo ? static_cast<size_t>(Real(grupo)) : 0;
  if (alinea) {
    p.porEstrellas = alinea->currentIndex() == kAlineaEstrellas;
    p.ajustes.porReferencia = !p.porEstrellas;
    cfg.Asigna(kSeccionAlineacion, kClaveAlineacion, std::to_string(alinea->currentIndex()));
  }
  return true;
}

// Registers the images on the stars of the first one (worker thread, progress and cancel). The
// images that cannot be registered are named with the reason and left out; fewer than two left
// raises 12249. Returns the transforms of the images kept, which replace `imagenes`.
std::vector<Transformacion2D> RegistraImagenes(Marco& marco, std::vector<const Imagen*>& imagenes,
                                               const std::vector<Imagen*>& usadas) {
  RegistraConfigEstrellasRegistro();
  const OpcionesEstrellasRegistro opciones = LeeOpcionesEstrellasRegistro();
  const ParametrosRegistro param = LeeParametrosRegistro();
  const FuenteFotogramas fuente = FotogramasMemoria(imagenes);
  SerieRegistrada serie;
  {
    SesionProgreso sesion("REGISTRANDO");
    EjecutaEnTrabajador(&marco, usadas, [&] {
      serie = RegistraFotogramas(fuente, opciones, param, ProgresoActual());
    });
  }
  std::string dejadas;
  for (size_t i = 0; i < serie.resultados.size(); ++i) {
    if (!serie.resultados[i].exito) {
      if (!dejadas.empty()) dejadas += "\n";
      dejadas += "- " + fuente.nombre(i) + ": " + serie.resultados[i].Mensaje();
    }
  }
  if (serie.indices.size() < 2) throw JError(12249, dejadas);
  if (!dejadas.empty()) {
    QMessageBox::warning(&marco, Q(Cadena(12000)), Q(Mensaje(12248, dejadas)));
  }
  // What the registration found, for the status bar.
  double rmsMaximo = 0.0;
  for (size_t i : serie.indices) rmsMaximo = std::max(rmsMaximo, serie.resultados[i].rms);
  marco.EtiquetaAviso()->setText(
      QStringLiteral("Alineadas por estrellas %1 de %2 imágenes (referencia %3, rms máximo %4 px).")
          .arg(serie.indices.size())
          .arg(imagenes.size())
          .arg(Q(fuente.nombre(0)))
          .arg(rmsMaximo, 0, 'f', 2));
  std::vector<const Imagen*> quedan;
  for (size_t i : serie.indices) quedan.push_back(imagenes[i]);
  imagenes = quedan;
  return serie.transformaciones;
}

void ComandoVarias(Marco& marco, int id) {
  PeticionApilado p;
  if (!DialogoApilado(marco, id, p)) return;
  std::vector<const Imagen*> imagenes;
  std::vector<Imagen*> usadas;
  for (VentanaImagen* w : p.ventanas) {
    imagenes.push_back(&w->imagen());
    usadas.push_back(&w->imagen());
  }
  if (imagenes.empty()) throw JError(12280);
  std::vector<Transformacion2D> alineacion;
  if (p.porEstrellas) alineacion = RegistraImagenes(marco, imagenes, usadas);
  const auto grupos = GruposFotogramas(imagenes.size(), p.grupo);
  const FuenteFotogramas fuente = FotogramasMemoria(imagenes);
  std::vector<std::unique_ptr<Imagen>> resultados;
  for (size_t g = 0; g < grupos.size(); ++g) resultados.push_back(std::make_unique<Imagen>());
  {
    SesionProgreso sesion("APILANDO");
    EjecutaEnTrabajador(&marco, usadas, [&] {
      for (size_t g = 0; g < grupos.size(); ++g) {
        ApilaFotogramas(SubconjuntoFotogramas(fuente, grupos[g]), p.ajustes,
                        TransformacionesGrupo(alineacion, grupos[g]), *resultados[g], nullptr,
                        ProgresoActual());
      }
    });
  }
  const Imagen& primera = *imagenes.front();
  for (size_t g = 0; g < grupos.size(); ++g) {
    std::string nombre = "apilado";
    if (grupos.size() > 1) nombre += "_" + std::to_string(g + 1);
    resultados[g]->AsignaRuta(primera.directorio + nombre + primera.extension);
    resultados[g]->Modificada(1);
    marco.MuestraImagen(std::move(resultados[g]));
  }
}

// ---------------------------------------------------------------------------------------------
// Pretreatment: masters as files or as images in memory.

struct PeticionPretrata {
  std::string archivos[3];
  const Imagen* memoria[3] = {nullptr, nullptr, nullptr};
  AjustesPretratamiento ajustes;
};

// `imagen`: the image "Una" works on, named in the title (null for "Varias").
bool DialogoPretrata(Marco& marco, const Imagen* imagen, PeticionPretrata& p) {
  QDialog d(&marco);
  d.setWindowTitle(imagen ? QStringLiteral("PRETRATAMIENTO DE %1").arg(Q(imagen->nombreVentana))
                          : QStringLiteral("PRETRATAMIENTO DE VARIAS IMAGENES"));
  auto* forma = new QFormLayout(&d);
  const std::vector<VentanaImagen*> todas = marco.Ventanas();
  QStringList nombres{QStringLiteral("(ninguno)")};
  for (VentanaImagen* w : todas) nombres << Q(w->imagen().nombreVentana);
  const char* clases[3] = {"Bias", "Dark", "Flat"};
  QComboBox* combos[3];
  QLineEdit* archivos[3];
  for (int k = 0; k < 3; ++k) {
    combos[k] = Lista(forma, (std::string("Maestro") + clases[k]).c_str(),
                      QStringLiteral("%1 en memoria:").arg(clases[k]), nombres, 0);
    auto* fila = new QHBoxLayout;
    archivos[k] = new QLineEdit;
    archivos[k]->setObjectName(QString("Archivo") + clases[k]);
    auto* elige = new QPushButton(QStringLiteral("..."));
    QLineEdit* destino = archivos[k];
    QObject::connect(elige, &QPushButton::clicked, &d, [&d, destino] {
      const QString f =
          QFileDialog::getOpenFileName(&d, QStringLiteral("Maestro"), QString(), QString(), nullptr,
                                       QFileDialog::DontUseNativeDialog);
      if (!f.isEmpty()) destino->setText(f);
    });
    fila->addWidget(archivos[k]);
    fila->addWidget(elige);
    forma->addRow(QStringLiteral("%1 en archivo:").arg(clases[k]), fila);
  }
  auto* overscan = new QCheckBox(QStringLiteral("Restar overscan (BIASSEC)"));
  overscan->setObjectName("Overscan");
  overscan->setChecked(true);
  forma->addRow(overscan);
  auto* reparar = new QCheckBox(QStringLiteral("Reparar pixeles calientes y rayos cósmicos"));
  reparar->setObjectName("Reparar");
  forma->addRow(reparar);
  QLineEdit* kappa = Campo(forma, "KappaReparar", QStringLiteral("Kappa de reparación:"),
                           QString::number(kKappaReparacionDefecto));
  kappa->setEnabled(false);
  QObject::connect(reparar, &QCheckBox::toggled, kappa, &QLineEdit::setEnabled);
  BotonesDialogo(d, forma, [&] {
    return !reparar->isChecked() || CampoRealValido(kappa, "Kappa", 0.1, kKappaMaximo);
  });
  if (d.exec() != QDialog::Accepted) return false;
  for (int k = 0; k < 3; ++k) {
    p.archivos[k] = archivos[k]->text().trimmed().toStdString();
    const int i = combos[k]->currentIndex();
    if (p.archivos[k].empty() && i > 0) p.memoria[k] = &todas[static_cast<size_t>(i - 1)]->imagen();
  }
  p.ajustes.overscan = overscan->isChecked();
  p.ajustes.reparar = reparar->isChecked();
  if (p.ajustes.reparar) p.ajustes.kappaReparacion = Real(kappa);
  return true;
}

void ComandoPretrata(Marco& marco, VentanaImagen& v, bool varias) {
  PeticionPretrata p;
  if (!DialogoPretrata(marco, varias ? nullptr : &v.imagen(), p)) return;
  std::vector<VentanaImagen*> destinos =
      varias ? marco.EligeVentanas() : std::vector<VentanaImagen*>{&v};
  // Masters given as files without blanks go into a macro line the image's log keeps; masters
  // in memory (or files a line cannot hold) are used as images.
  bool comoLinea = true;
  for (int k = 0; k < 3; ++k) {
    if (p.memoria[k] || p.archivos[k].find_first_of(" \t") != std::string::npos) comoLinea = false;
  }
  Imagen leidos[3];
  Maestros m;
  const Imagen** punteros[3] = {&m.bias, &m.dark, &m.flat};
  for (int k = 0; k < 3 && !comoLinea; ++k) {
    if (p.memoria[k]) {
      *punteros[k] = p.memoria[k];
    } else if (!p.archivos[k].empty()) {
      LeeArchivo(p.archivos[k], leidos[k]);
      *punteros[k] = &leidos[k];
    }
  }
  const std::string linea = LineaPretrata(p.archivos[0], p.archivos[1], p.archivos[2], p.ajustes);
  SesionProgreso sesion("PRETRATAMIENTO");
  for (VentanaImagen* w : destinos) {
    Imagen& im = w->imagen();
    if (&im == m.bias || &im == m.dark || &im == m.flat) continue;
    ProgresoActual().TextoArchivo(im.nombreVentana);
    marco.PilaDeshacer(im).Antes(im);
    try {
      EjecutaEnTrabajador(&marco, {&im}, [&] {
        if (comoLinea) {
          EjecutaMacro(im, {linea});
        } else {
          Pretrata(im, m, p.ajustes, ProgresoActual());
        }
      });
    } catch (...) {
      marco.PilaDeshacer(im).Despues(im);
      w->Repinta(kRepinteTodo);
      throw;
    }
    marco.PilaDeshacer(im).Despues(im);
    w->Repinta(kRepinteTodo);
  }
}

// ---------------------------------------------------------------------------------------------
// Two images: A + B (weighted), A - B, A / B normalised by the mean of B; the result in a new
// window, A and B unchanged.

void ComandoDosImagenes(Marco& marco, VentanaImagen& v) {
  const std::vector<VentanaImagen*> todas = marco.Ventanas();
  QStringList nombres;
  int actual = 0;
  for (size_t i = 0; i < todas.size(); ++i) {
    nombres << Q(todas[i]->imagen().nombreVentana);
    if (todas[i] == &v) actual = static_cast<int>(i);
  }
  QDialog d(&marco);
  d.setWindowTitle(QStringLiteral("OPERACIONES DOS IMAGENES"));
  auto* forma = new QFormLayout(&d);
  QComboBox* a = Lista(forma, "ImagenA", QStringLiteral("Imagen A:"), nombres, actual);
  QComboBox* b = Lista(forma, "ImagenB", QStringLiteral("Imagen B:"), nombres,
                       nombres.size() > 1 ? (actual + 1) % static_cast<int>(nombres.size()) : 0);
  QComboBox* op =
      Lista(forma, "Operacion", QStringLiteral("Operación:"),
            {QStringLiteral("Suma  fA x A + fB x B"), QStringLiteral("Diferencia  A - B"),
             QStringLiteral("Cociente  A x media(B) / B")},
            0);
  QLineEdit* fa = Campo(forma, "FactorA", QStringLiteral("fA:"), QStringLiteral("1"));
  QLineEdit* fb = Campo(forma, "FactorB", QStringLiteral("fB:"), QStringLiteral("1"));
  BotonesDialogo(d, forma, [&] {
    return CampoRealValido(fa, "fA", -kFactorMaximo, kFactorMaximo) &&
           CampoRealValido(fb, "fB", -kFactorMaximo, kFactorMaximo);
  });
  if (d.exec() != QDialog::Accepted) return;
  VentanaImagen& va = *todas[static_cast<size_t>(a->currentIndex())];
  const Imagen& ib = todas[static_cast<size_t>(b->currentIndex())]->imagen();
  const int operacion = op->currentIndex();
  const double f1 = Real(fa), f2 = Real(fb);
  VentanaImagen* destino = marco.Duplica(va);
  Imagen& im = destino->imagen();
  try {
    SesionProgreso sesion("OPERACIONES DOS IMAGENES");
    EjecutaEnTrabajador(&marco, {&im}, [&] {
      if (operacion == 0) {
        SumaImagenes(im, ib, f1, f2, ProgresoActual());
      } else if (operacion == 1) {
        SumaImagenes(im, ib, 1.0, -1.0, ProgresoActual());
      } else {
        DivideImagenes(im, ib, ProgresoActual());
      }
    });
  } catch (...) {
    im.Modificada(0);
    marco.CierraVentana(*destino);
    throw;
  }
  // The line recorded for image arithmetic, B standing in slot 2.
  constexpr int kRanuraB = 2;
  im.AnadeOperacion(operacion == 0   ? LineaSuma(kRanuraB, f1, f2)
                    : operacion == 1 ? LineaResta(kRanuraB)
                                     : LineaDivide(kRanuraB));
  destino->Repinta(kRepinteTodo);
}

}  // namespace

bool ComandoApilado(Marco& marco, VentanaImagen& v, int id) {
  switch (id) {
    case kCmdPretratarUna:
      ComandoPretrata(marco, v, false);
      return true;
    case kCmdPretratarVarias:
      ComandoPretrata(marco, v, true);
      return true;
    case kCmdDosImagenes:
      ComandoDosImagenes(marco, v);
      return true;
    case kCmdMedia:
    case kCmdMediana:
    case kCmdSumar:
    case kCmdSumarRef:
    case kCmdSumarRefAgrupando:
    case kCmdMediaRef:
    case kCmdMediaRefAgrupando:
      ComandoVarias(marco, id);
      return true;
    default:
      return false;
  }
}

}  // namespace orva
