// The desktop side of the spectra module.
#include "gui/EspectroQt.h"

#include <QChart>
#include <QChartView>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScatterSeries>
#include <QSpinBox>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "base/Cadenas.h"
#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/Progreso.h"
#include "core/TiposObjeto.h"
#include "gui/Marco.h"
#include "gui/Operaciones.h"
#include "gui/VentanaImagen.h"
#include "shell/Configuracion.h"
#include "spectra/ModuloEspectros.h"

namespace orva {
namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

constexpr int kAnchoGrafico = 720, kAltoGrafico = 420;
constexpr double kTamMarcaLinea = 7.0;

// The band's width and sky first (a one-row image has no band); false when cancelled.
bool PideBanda(VentanaImagen& v, DatosEspectro& d) {
  if (!(d.inicioDefinido && d.finalDefinido)) return true;
  DialogoBandaEspectro dlg(d, &v);
  return dlg.exec() == QDialog::Accepted;
}

void Mide(VentanaImagen& v) {
  MideEspectro(v.imagen(), DatosEspectroDe(v.imagen()), LeeAjustesContinuo(), ProgresoActual());
  v.Repinta(ObservadorImagen::kVentana | ObservadorImagen::kDatos);
}

}  // namespace

DialogoPreferenciasEspectro::DialogoPreferenciasEspectro(QWidget* padre) : QDialog(padre) {
  setWindowTitle("PREFERENCIAS ESPECTROS");
  const AjustesContinuo a = LeeAjustesContinuo();
  auto* f = new QFormLayout(this);
  radio_ = new QLineEdit(QString::number(a.radio), this);
  radio_->setObjectName("MedianaRadio");
  factor_ = new QLineEdit(QString::number(a.factor), this);
  factor_->setObjectName("MedianaFactor");
  f->addRow("Radio mediana:", radio_);
  f->addRow("Factor mediana:", factor_);
  auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(b, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(b, &QDialogButtonBox::rejected, this, &QDialog::reject);
  f->addRow(b);
}

void DialogoPreferenciasEspectro::accept() {
  const auto r = LeeEnteroComprobado(radio_->text().toStdString());
  const auto k = LeeRealComprobado(factor_->text().toStdString());
  if (!r || *r < 1 || *r > kRadioMedianaMaximo) {
    QMessageBox::warning(this, windowTitle(), Q(Mensaje(12528, radio_->text().toStdString())));
    return;
  }
  if (!k || !std::isfinite(*k) || *k <= 0.0) {
    QMessageBox::warning(this, windowTitle(), Q(Mensaje(12528, factor_->text().toStdString())));
    return;
  }
  Configuracion::Global().Asigna("PREFANAESPEC", "MedianaRadio", std::to_string(*r));
  Configuracion::Global().Asigna("PREFANAESPEC", "MedianaFactor",
                                 factor_->text().trimmed().toStdString());
  QDialog::accept();
}

bool PreferenciasEspectro(QWidget* padre, int id) {
  for (const auto& m : Modulos()) {
    const auto* e = dynamic_cast<const ModuloEspectros*>(m.get());
    if (!e) continue;
    const std::vector<int>& ids = e->IdsPreferencias();
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) return false;
    DialogoPreferenciasEspectro d(padre);
    d.exec();
    return true;
  }
  return false;
}

DialogoBandaEspectro::DialogoBandaEspectro(DatosEspectro& datos, QWidget* padre)
    : QDialog(padre), datos_(datos) {
  setWindowTitle("BANDA ESPECTRO");
  auto* f = new QFormLayout(this);
  ancho_ = new QSpinBox(this);
  ancho_->setObjectName("Ancho");
  ancho_->setRange(1, kAnchoBandaMaximo);
  ancho_->setValue(datos.banda.ancho);
  cielo_ = new QLineEdit(QString::number(datos.banda.distanciaCielo), this);
  cielo_->setObjectName("Cielo");
  f->addRow("Ancho:", ancho_);
  f->addRow("Cielo:", cielo_);
  auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(b, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(b, &QDialogButtonBox::rejected, this, &QDialog::reject);
  f->addRow(b);
}

void DialogoBandaEspectro::accept() {
  const auto cielo = LeeRealComprobado(cielo_->text().toStdString());
  if (!cielo || !std::isfinite(*cielo) || *cielo < 0.0) {
    QMessageBox::warning(this, windowTitle(), Q(Mensaje(12525, cielo_->text().toStdString())));
    return;
  }
  datos_.banda.ancho = ancho_->value();
  datos_.banda.distanciaCielo = *cielo;
  datos_.medido = false;
  QDialog::accept();
}

DialogoCalibracionEspectro::DialogoCalibracionEspectro(DatosEspectro& datos, QWidget* padre)
    : QDialog(padre), datos_(datos) {
  setWindowTitle("CALIBRACION ESPECTRO");
  auto* f = new QFormLayout(this);
  pares_ = new QPlainTextEdit(this);
  pares_->setObjectName("Pares");
  QString texto;
  if (!datos.puntos.empty()) {
    for (const PuntoCalibracion& p : datos.puntos) {
      texto += QString("%1:%2\n").arg(p.pixel, 0, 'f', 2).arg(p.longitud, 0, 'g', 12);
    }
  } else {
    for (const LineaEspectral& l : datos.lineas) texto += QString("%1:\n").arg(l.centro, 0, 'f', 2);
  }
  pares_->setPlainText(texto);
  grado_ = new QSpinBox(this);
  grado_->setObjectName("Grado");
  grado_->setRange(1, kGradoMaximoCalibracion);
  grado_->setValue(datos.grado);
  f->addRow("Pixel:Longitud", pares_);
  f->addRow("Grado:", grado_);
  auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(b, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(b, &QDialogButtonBox::rejected, this, &QDialog::reject);
  f->addRow(b);
}

void DialogoCalibracionEspectro::accept() {
  // Lines without a wavelength are the offered ones the user did not name: skipped.
  std::vector<PuntoCalibracion> puntos;
  for (const QString& l : pares_->toPlainText().split('\n', Qt::SkipEmptyParts)) {
    const QStringList pw = l.split(':');
    if (pw.size() != 2 || pw[1].trimmed().isEmpty()) continue;
    const auto px = LeeRealComprobado(pw[0].trimmed().toStdString());
    const auto wl = LeeRealComprobado(pw[1].trimmed().toStdString());
    if (!px || !wl || !std::isfinite(*px) || !std::isfinite(*wl)) {
      QMessageBox::warning(this, windowTitle(), Q(Mensaje(12525, l.toStdString())));
      return;
    }
    puntos.push_back({*px, *wl});
  }
  try {
    // Checked before it is kept: a failing calibration leaves the old one.
    CalibraEspectro(puntos, grado_->value(), datos_.lineas);
  } catch (const JError& e) {
    QMessageBox::warning(this, windowTitle(), Q(e.Mensaje()));
    return;
  }
  datos_.puntos = std::move(puntos);
  datos_.grado = grado_->value();
  QDialog::accept();
}

GraficoEspectro::GraficoEspectro(const DatosEspectro& d, const QString& titulo, QWidget* padre)
    : QWidget(padre, Qt::Window) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(titulo);
  auto* flujo = new QLineSeries;
  flujo->setName("Flujo");
  auto* continuo = new QLineSeries;
  continuo->setName("Continuo");
  auto* lineas = new QScatterSeries;
  lineas->setName("Líneas");
  lineas->setMarkerSize(kTamMarcaLinea);
  const Calibracion& cal = d.calibracion;
  auto x = [&](double px) { return cal.Vacia() ? px : cal.Longitud(px); };
  for (size_t i = 0; i < d.flujo.size(); ++i) {
    flujo->append(x(static_cast<double>(i)), d.flujo[i]);
    if (i < d.continuo.size()) continuo->append(x(static_cast<double>(i)), d.continuo[i]);
  }
  for (const LineaEspectral& l : d.lineas) {
    const size_t i = std::min(d.flujo.size() - 1, static_cast<size_t>(std::lround(l.centro)));
    lineas->append(x(l.centro), d.flujo.empty() ? 0.0 : d.flujo[i]);
  }
  auto* grafico = new QChart;
  grafico->addSeries(flujo);
  grafico->addSeries(continuo);
  grafico->addSeries(lineas);
  auto* ejeX = new QValueAxis;
  ejeX->setTitleText(cal.Vacia() ? "Pixel" : "Longitud de onda");
  auto* ejeY = new QValueAxis;
  ejeY->setTitleText("Flujo");
  grafico->addAxis(ejeX, Qt::AlignBottom);
  grafico->addAxis(ejeY, Qt::AlignLeft);
  for (QAbstractSeries* s : grafico->series()) {
    s->attachAxis(ejeX);
    s->attachAxis(ejeY);
  }
  vista_ = new QChartView(grafico, this);
  vista_->setObjectName("GraficoEspectro");
  vista_->setRenderHint(QPainter::Antialiasing);
  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(0, 0, 0, 0);
  l->addWidget(vista_);
  resize(kAnchoGrafico, kAltoGrafico);
}

bool ComandoEspectro(Marco& marco, VentanaImagen& v, int id) {
  Imagen& im = v.imagen();
  // The ids are the spectra module's only on its own images.
  if (im.TipoObjeto() != kEspectro) return false;
  switch (id) {
    case kMedirEspectro: {
      if (!PideBanda(v, DatosEspectroDe(im))) return true;
      Mide(v);
      return true;
    }
    case kImagenEspectro: {
      DatosEspectro& d = DatosEspectroDe(im);
      if (!(d.inicioDefinido && d.finalDefinido)) throw JError(12526);
      if (!PideBanda(v, d)) return true;
      EjecutaLineaOperacion(marco, v, LineaEspectro(d.banda), "ESPECTRO", 12051, true);
      return true;
    }
    case kGraficoEspectro: {
      const DatosEspectro* d = DatosEspectroDe(static_cast<const Imagen&>(im));
      if (!d || !d->medido) return true;
      auto* g = new GraficoEspectro(*d, Q(im.nombreVentana), &marco);
      g->setObjectName("VentanaGraficoEspectro");
      g->show();
      return true;
    }
    case kTablaEspectroCsv: {
      const DatosEspectro* d = DatosEspectroDe(static_cast<const Imagen&>(im));
      if (!d || !d->medido) return true;
      const QString archivo =
          QFileDialog::getSaveFileName(&marco, Q(Cadena(12533)), QString(), "CSV (*.csv)");
      if (archivo.isEmpty()) return true;
      EscribeArchivoSeguro(archivo.toStdString(),
                           TablaEspectro(d->flujo, d->continuo, d->calibracion));
      return true;
    }
    case kCalibrarEspectro: {
      DatosEspectro& d = DatosEspectroDe(im);
      if (!d.medido) return true;
      DialogoCalibracionEspectro dlg(d, &marco);
      if (dlg.exec() != QDialog::Accepted) return true;
      Mide(v);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace orva
