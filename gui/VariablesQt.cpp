// The desktop side of the variable-star series.
#include "gui/VariablesQt.h"

#include <QChart>
#include <QChartView>
#include <QColor>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "base/Cadenas.h"
#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/Progreso.h"
#include "core/TiposObjeto.h"
#include "gui/DialogoQt.h"
#include "gui/Marco.h"
#include "gui/ProgresoQt.h"
#include "gui/VentanaImagen.h"
#include "shell/Configuracion.h"
#include "shell/Idioma.h"
#include "stellar/DatosVariables.h"
#include "stellar/ListasObjetos.h"
#include "stellar/Minimo.h"
#include "stellar/ModuloVariables.h"

namespace orva {
namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

QString T(const char* texto) {
  return Q(TextoMenu(texto));
}

constexpr int kAnchoGrafico = 760;
constexpr int kAltoGrafico = 760;
constexpr int kAltoControl = 230;  // the check star's plot under the variable's
constexpr int kAltoFallidos = 70;  // the list of frames left out
constexpr double kTamPunto = 7.0;
constexpr int kColumnasTabla = 5;  // name, role, magnitude, x, y
constexpr const char* kSeccion = "AnaVariables";

// The roles as the table's combo lists them: none, then PapelEstrella + 1.
const char* const kPapeles[] = {"—", "Variable", "Comparación", "Control"};

double RealDe(QLineEdit* e, double defecto) {
  const std::optional<double> v = LeeRealComprobado(e->text().trimmed().toStdString());
  return v && std::isfinite(*v) ? *v : defecto;
}

QLineEdit* Linea(QWidget* padre, const char* nombre, const QString& texto) {
  auto* e = new QLineEdit(texto, padre);
  e->setObjectName(nombre);
  return e;
}

// The module's application items (their ids as the last menu gave them).
const ModuloVariables* Modulo() {
  for (const auto& m : Modulos()) {
    if (const auto* v = dynamic_cast<const ModuloVariables*>(m.get())) return v;
  }
  return nullptr;
}

bool EsAplicacion(int id, size_t indice) {
  const ModuloVariables* m = Modulo();
  return m && m->IdsPreferencias().size() > indice &&
         m->IdsPreferencias()[indice] == id;
}

// The series settings: sky of the ring, gain, read noise and the aperture's FWHM scale.
void DialogoPreferenciasSerie(QWidget* padre) {
  Configuracion& cfg = Configuracion::Global();
  QDialog d(padre);
  d.setObjectName("DialogoPreferenciasVariables");
  d.setWindowTitle(T("PREFERENCIAS VARIABLES"));
  auto* f = new QFormLayout(&d);
  auto* cielo = new QComboBox(&d);
  cielo->setObjectName("Cielo");
  cielo->addItems({T("Moda del histograma"), T("Media recortada"), T("Mediana recortada")});
  cielo->setCurrentIndex(std::clamp(LeeEntero(cfg.Valor(kSeccion, "VARCIELOSERIE")), 0, 2));
  auto* ganancia = Linea(&d, "Ganancia", Q(cfg.Valor(kSeccion, "VARGANANCIA")));
  auto* ruido = Linea(&d, "RuidoLectura", Q(cfg.Valor(kSeccion, "VARRUIDOLECTURA")));
  auto* escala = Linea(&d, "EscalaFwhm", Q(cfg.Valor(kSeccion, "VARESCALAFWHM")));
  f->addRow(T("Cielo:"), cielo);
  f->addRow(T("Ganancia (e-/unidad):"), ganancia);
  f->addRow(T("Ruido de lectura (e-):"), ruido);
  f->addRow(T("Apertura en FWHM (0 fija):"), escala);
  QDialogButtonBox* b = BotonesAceptarCancelar();
  f->addRow(b);
  constexpr double kMaximo = 1e6;
  QObject::connect(b, &QDialogButtonBox::accepted, &d, [&] {
    if (CampoRealValido(ganancia, TextoMenu("Ganancia"), 1e-6, kMaximo) &&
        CampoRealValido(ruido, TextoMenu("Ruido de lectura"), 0.0, kMaximo) &&
        CampoRealValido(escala, TextoMenu("Apertura en FWHM"), 0.0, kMaximo)) {
      d.accept();
    }
  });
  QObject::connect(b, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  if (d.exec() != QDialog::Accepted) return;
  cfg.Asigna(kSeccion, "VARCIELOSERIE", std::to_string(cielo->currentIndex()));
  cfg.Asigna(kSeccion, "VARGANANCIA", ganancia->text().trimmed().toStdString());
  cfg.Asigna(kSeccion, "VARRUIDOLECTURA", ruido->text().trimmed().toStdString());
  cfg.Asigna(kSeccion, "VARESCALAFWHM", escala->text().trimmed().toStdString());
}

// "CURVA DE LUZ": the field file, the frames (open windows or files) and the extinction; then
// the series on the worker thread and its light-curve window.
void CurvaDeLuz(Marco& marco, VentanaImagen* activa) {
  QDialog d(&marco);
  d.setObjectName("DialogoCurvaLuz");
  d.setWindowTitle(T("CURVA DE LUZ"));
  auto* f = new QFormLayout(&d);
  auto* campo = Linea(&d, "Campo", QString());
  auto* buscar = new QPushButton("...", &d);
  auto* filaCampo = new QHBoxLayout;
  filaCampo->addWidget(campo);
  filaCampo->addWidget(buscar);
  f->addRow(T("Campo:"), filaCampo);
  QObject::connect(buscar, &QPushButton::clicked, &d, [&] {
    const QString a = QFileDialog::getOpenFileName(&d, T("Campo:"));
    if (!a.isEmpty()) campo->setText(a);
  });
  const std::vector<VentanaImagen*> todas = marco.Ventanas();
  auto* ventanas = new QListWidget(&d);
  ventanas->setObjectName("Ventanas");
  ventanas->setSelectionMode(QAbstractItemView::MultiSelection);
  for (VentanaImagen* v : todas) {
    auto* it = new QListWidgetItem(Q(v->imagen().nombreVentana), ventanas);
    it->setSelected(v->imagen().TipoObjeto() == kVariable || v == activa);
  }
  f->addRow(T("Imágenes abiertas:"), ventanas);
  auto* archivos = new QListWidget(&d);
  archivos->setObjectName("Archivos");
  auto* anadir = new QPushButton(T("Añadir archivos..."), &d);
  QObject::connect(anadir, &QPushButton::clicked, &d, [&] {
    for (const QString& a : QFileDialog::getOpenFileNames(&d, T("Añadir archivos...")))
      archivos->addItem(a);
  });
  f->addRow(T("Archivos (en lugar de las imágenes):"), archivos);
  f->addRow(QString(), anadir);
  auto* extincion = Linea(&d, "Extincion", "0");
  auto* ajusta = new QCheckBox(T("Ajustar con las estrellas de comparación"), &d);
  ajusta->setObjectName("AjustaExtincion");
  f->addRow(T("Extinción (mag/masa de aire):"), extincion);
  f->addRow(QString(), ajusta);
  QDialogButtonBox* b = BotonesAceptarCancelar();
  f->addRow(b);
  constexpr double kExtincionMaxima = 5.0;
  QObject::connect(b, &QDialogButtonBox::accepted, &d, [&] {
    if (ajusta->isChecked() ||
        CampoRealValido(extincion, TextoMenu("Extinción"), 0.0, kExtincionMaxima)) {
      d.accept();
    }
  });
  QObject::connect(b, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  if (d.exec() != QDialog::Accepted) return;

  const CampoVariable leido = LeeCampo(campo->text().trimmed().toStdString());
  std::vector<VentanaImagen*> elegidas;
  std::vector<std::string> rutas;
  FuenteFotogramas fuente;
  std::vector<Imagen*> usadas;
  if (archivos->count() > 0) {
    for (int i = 0; i < archivos->count(); ++i) rutas.push_back(archivos->item(i)->text().toStdString());
    fuente = FotogramasArchivos(rutas);
    elegidas.assign(rutas.size(), nullptr);
  } else {
    std::vector<const Imagen*> imagenes;
    for (int i = 0; i < ventanas->count(); ++i) {
      if (!ventanas->item(i)->isSelected()) continue;
      VentanaImagen* v = todas[static_cast<size_t>(i)];
      elegidas.push_back(v);
      imagenes.push_back(&v->imagen());
      usadas.push_back(&v->imagen());
    }
    fuente = FotogramasMemoria(imagenes);
    rutas.assign(elegidas.size(), std::string());
  }
  ParametrosSerie p = LeeParametrosSerie();
  p.ajustaExtincion = ajusta->isChecked();
  if (!p.ajustaExtincion) p.extincion = RealDe(extincion, 0.0);
  RegistraConfigEstrellasRegistro();
  const OpcionesEstrellasRegistro opciones = LeeOpcionesEstrellasRegistro();
  const ParametrosRegistro registro = LeeParametrosRegistro();
  ResultadoSerie r;
  {
    SesionProgreso sesion("CURVA DE LUZ");
    EjecutaEnTrabajador(&marco, usadas, [&] {
      r = MideSerie(leido, fuente, p, opciones, registro, ProgresoActual());
    });
  }
  auto* g = new GraficoCurvaLuz(marco, leido, std::move(r), std::move(elegidas), std::move(rutas));
  g->setObjectName("VentanaCurvaLuz");
  g->show();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The field dialog

DialogoCampo::DialogoCampo(Marco& marco, VentanaImagen& v)
    : QDialog(&marco), marco_(marco), ventana_(v) {
  setObjectName("DialogoCampo");
  setWindowTitle(T("CAMPO"));
  const Imagen& im = v.imagen();
  auto* f = new QFormLayout(this);
  nombre_ = Linea(this, "Nombre", Q(im.datos.nombreObjeto));
  f->addRow(T("Nombre de la variable:"), nombre_);
  const char* nombresRadio[] = {"Apertura", "CieloInterior", "CieloExterior"};
  auto* filaRadios = new QHBoxLayout;
  for (int i = 0; i < 3; ++i) {
    radios_[i] = Linea(this, nombresRadio[i], "0");
    filaRadios->addWidget(radios_[i]);
  }
  f->addRow(T("Apertura y anillo de cielo (0: los ajustes):"), filaRadios);
  epoca_ = Linea(this, "Epoca", "0");
  periodo_ = Linea(this, "Periodo", "0");
  auto* filaEfemeride = new QHBoxLayout;
  filaEfemeride->addWidget(epoca_);
  filaEfemeride->addWidget(periodo_);
  f->addRow(T("Efeméride del mínimo (época, período):"), filaEfemeride);
  tabla_ = new QTableWidget(0, kColumnasTabla, this);
  tabla_->setObjectName("Estrellas");
  tabla_->setHorizontalHeaderLabels(
      {T("Estrella"), T("Papel"), T("Magnitud"), QStringLiteral("x"), QStringLiteral("y")});
  tabla_->horizontalHeader()->setStretchLastSection(true);
  if (const DatosVariables* d = DatosVariablesDe(im)) {
    for (const ObjetoEstelar& e : d->Estrellas())
      AnadeFila(e.nombre, e.x, e.y, d->PapelCampo(e.nombre), kSinValor);
  }
  f->addRow(tabla_);
  archivo_ = Linea(this, "Archivo", QString());
  auto* buscar = new QPushButton("...", this);
  auto* cargar = new QPushButton(T("Cargar"), this);
  cargar->setObjectName("Cargar");
  auto* filaArchivo = new QHBoxLayout;
  filaArchivo->addWidget(archivo_);
  filaArchivo->addWidget(buscar);
  filaArchivo->addWidget(cargar);
  f->addRow(T("Archivo del campo:"), filaArchivo);
  connect(buscar, &QPushButton::clicked, this, [this] {
    const QString a = QFileDialog::getSaveFileName(this, T("Archivo del campo:"), archivo_->text(),
                                                   QString(), nullptr,
                                                   QFileDialog::DontConfirmOverwrite);
    if (!a.isEmpty()) archivo_->setText(a);
  });
  connect(cargar, &QPushButton::clicked, this, [this] {
    try {
      Carga();
    } catch (const JError& e) {
      QMessageBox::warning(this, windowTitle(), Q(e.Mensaje()));
    }
  });
  QDialogButtonBox* b = BotonesAceptarCancelar();
  connect(b, &QDialogButtonBox::accepted, this, &DialogoCampo::accept);
  connect(b, &QDialogButtonBox::rejected, this, &QDialog::reject);
  f->addRow(b);
}

void DialogoCampo::AnadeFila(const std::string& nombre, double x, double y, int papel,
                             double magnitud) {
  const int fila = tabla_->rowCount();
  tabla_->insertRow(fila);
  auto* n = new QTableWidgetItem(Q(nombre));
  n->setFlags(n->flags() & ~Qt::ItemIsEditable);
  tabla_->setItem(fila, 0, n);
  auto* combo = new QComboBox(tabla_);
  for (const char* p : kPapeles) combo->addItem(T(p));
  combo->setCurrentIndex(std::clamp(papel, 0, 3));
  tabla_->setCellWidget(fila, 1, combo);
  tabla_->setItem(fila, 2, new QTableWidgetItem(std::isfinite(magnitud)
                                                    ? QString::number(magnitud, 'f', 3)
                                                    : QString()));
  tabla_->setItem(fila, 3, new QTableWidgetItem(QString::number(x, 'f', 2)));
  tabla_->setItem(fila, 4, new QTableWidgetItem(QString::number(y, 'f', 2)));
}

void DialogoCampo::Carga() {
  const CampoVariable c = LeeCampo(archivo_->text().trimmed().toStdString());
  nombre_->setText(Q(c.nombre));
  radios_[0]->setText(QString::number(c.radioEstrella));
  radios_[1]->setText(QString::number(c.radioCieloInt));
  radios_[2]->setText(QString::number(c.radioCieloExt));
  epoca_->setText(QString::number(c.epocaMinimo, 'f', 6));
  periodo_->setText(QString::number(c.periodo, 'g', 12));
  for (int f = 0; f < tabla_->rowCount(); ++f)
    static_cast<QComboBox*>(tabla_->cellWidget(f, 1))->setCurrentIndex(0);
  for (const EstrellaCampo& e : c.estrellas) {
    int fila = -1;
    for (int f = 0; f < tabla_->rowCount() && fila < 0; ++f) {
      if (tabla_->item(f, 0)->text() == Q(e.nombre)) fila = f;
    }
    const int papel = static_cast<int>(e.papel) + 1;
    if (fila < 0) {
      AnadeFila(e.nombre, e.x, e.y, papel, e.magnitud);
      continue;
    }
    static_cast<QComboBox*>(tabla_->cellWidget(fila, 1))->setCurrentIndex(papel);
    tabla_->item(fila, 2)->setText(std::isfinite(e.magnitud) ? QString::number(e.magnitud, 'f', 3)
                                                             : QString());
  }
}

void DialogoCampo::accept() {
  try {
    std::vector<EstrellaCampo> estrellas;
    for (int f = 0; f < tabla_->rowCount(); ++f) {
      const int papel = static_cast<QComboBox*>(tabla_->cellWidget(f, 1))->currentIndex();
      if (papel == DatosVariables::kSinPapel) continue;
      EstrellaCampo e;
      e.nombre = tabla_->item(f, 0)->text().toStdString();
      e.papel = static_cast<PapelEstrella>(papel - 1);
      e.x = tabla_->item(f, 3)->text().toDouble();
      e.y = tabla_->item(f, 4)->text().toDouble();
      const std::optional<double> m =
          LeeRealComprobado(tabla_->item(f, 2)->text().trimmed().toStdString());
      if (m && std::isfinite(*m)) e.magnitud = *m;
      if (e.papel == PapelEstrella::kVariable)
        estrellas.insert(estrellas.begin(), e);
      else
        estrellas.push_back(e);
    }
    RegistraConfigEstrellasRegistro();
    const OpcionesEstrellasRegistro opciones = LeeOpcionesEstrellasRegistro();
    Imagen& im = ventana_.imagen();
    CampoVariable c;
    {
      SesionProgreso sesion("CAMPO");
      EjecutaEnTrabajador(&marco_, {&im}, [&] {
        c = CreaCampo(im, nombre_->text().trimmed().toStdString(), std::move(estrellas),
                      opciones, ProgresoActual());
      });
    }
    c.radioEstrella = RealDe(radios_[0], -1.0);
    c.radioCieloInt = RealDe(radios_[1], -1.0);
    c.radioCieloExt = RealDe(radios_[2], -1.0);
    c.epocaMinimo = RealDe(epoca_, 0.0);
    c.periodo = std::max(RealDe(periodo_, 0.0), 0.0);
    GuardaCampo(archivo_->text().trimmed().toStdString(), c);
  } catch (const JError& e) {
    QMessageBox::warning(this, windowTitle(), Q(e.Mensaje()));
    return;
  }
  QDialog::accept();
}

// ---------------------------------------------------------------------------------------------
// The light-curve window

GraficoCurvaLuz::GraficoCurvaLuz(Marco& marco, CampoVariable campo, ResultadoSerie resultado,
                                 std::vector<VentanaImagen*> ventanas,
                                 std::vector<std::string> archivos)
    : QWidget(&marco, Qt::Window),
      marco_(marco),
      campo_(std::move(campo)),
      resultado_(std::move(resultado)),
      archivos_(std::move(archivos)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(T("CURVA DE LUZ") + " " + Q(campo_.nombre));
  for (VentanaImagen* v : ventanas) ventanas_.emplace_back(v);
  ventanas_.resize(resultado_.fotogramas.size());
  archivos_.resize(resultado_.fotogramas.size());
  auto* l = new QVBoxLayout(this);
  auto* arriba = new QHBoxLayout;
  diferencia_ = new QComboBox(this);
  diferencia_->setObjectName("Diferencia");
  diferencia_->addItems({T("V - conjunto"), T("V - C")});
  barras_ = new QCheckBox(T("Barras de error"), this);
  barras_->setObjectName("BarrasError");
  barras_->setChecked(true);
  auto* csv = new QPushButton(T("Guardar CSV..."), this);
  auto* aavso = new QPushButton(T("Guardar AAVSO..."), this);
  arriba->addWidget(diferencia_);
  arriba->addWidget(barras_);
  arriba->addStretch();
  arriba->addWidget(csv);
  arriba->addWidget(aavso);
  l->addLayout(arriba);
  vista_ = new QChartView(new QChart, this);
  vista_->setObjectName("GraficoCurvaLuz");
  vista_->setRenderHint(QPainter::Antialiasing);
  control_ = new QChartView(new QChart, this);
  control_->setObjectName("GraficoControl");
  control_->setRenderHint(QPainter::Antialiasing);
  control_->setFixedHeight(kAltoControl);
  l->addWidget(vista_, 1);
  l->addWidget(control_);
  minimo_ = new QLabel(this);
  minimo_->setObjectName("Minimo");
  l->addWidget(minimo_);
  fallidos_ = new QPlainTextEdit(this);
  fallidos_->setObjectName("Fallidos");
  fallidos_->setReadOnly(true);
  fallidos_->setMaximumHeight(kAltoFallidos);
  l->addWidget(fallidos_);
  QString lista;
  for (const FotogramaSerie& f : resultado_.fotogramas) {
    for (const std::string& a : f.avisos) lista += Q(f.nombre + ": " + a) + "\n";
  }
  fallidos_->setPlainText(lista);
  fallidos_->setVisible(!lista.isEmpty());
  connect(diferencia_, &QComboBox::currentIndexChanged, this, [this] { Dibuja(); });
  connect(barras_, &QCheckBox::toggled, this, [this] { Dibuja(); });
  auto guarda = [this](bool esCsv) {
    const QString a = QFileDialog::getSaveFileName(this, windowTitle());
    if (a.isEmpty()) return;
    try {
      if (esCsv)
        GuardaCsv(a.toStdString());
      else
        GuardaAavso(a.toStdString());
    } catch (const JError& e) {
      QMessageBox::warning(this, windowTitle(), Q(e.Mensaje()));
    }
  };
  connect(csv, &QPushButton::clicked, this, [guarda] { guarda(true); });
  connect(aavso, &QPushButton::clicked, this, [guarda] { guarda(false); });
  Dibuja();
  resize(kAnchoGrafico, kAltoGrafico);
}

void GraficoCurvaLuz::GuardaCsv(const std::string& archivo) const {
  EscribeArchivoSeguro(archivo, TextoCsvSerie(campo_, resultado_));
}

void GraficoCurvaLuz::GuardaAavso(const std::string& archivo) const {
  EscribeArchivoSeguro(archivo, TextoAavso(campo_, resultado_, OpcionesAavso{}));
}

QString GraficoCurvaLuz::TextoMinimo() const {
  return minimo_->text();
}

void GraficoCurvaLuz::ActivaFotograma(size_t k) {
  if (k >= ventanas_.size()) return;
  VentanaImagen* v = ventanas_[k];
  if (!v && !archivos_[k].empty()) {
    for (VentanaImagen* w : marco_.Ventanas()) {
      if (w->imagen().Ruta() == archivos_[k]) v = w;
    }
    if (!v) {
      try {
        v = marco_.AbreArchivo(archivos_[k]);
      } catch (const JError& e) {
        QMessageBox::warning(this, windowTitle(), Q(e.Mensaje()));
        return;
      }
    }
    ventanas_[k] = v;
  }
  if (!v) return;
  for (QMdiSubWindow* s : marco_.Mdi()->subWindowList()) {
    if (s->widget() == v) {
      marco_.Mdi()->setActiveSubWindow(s);
      marco_.activateWindow();
    }
  }
}

namespace {

// One plot: the points (a clickable scatter), their error bars, magnitudes growing downwards.
QScatterSeries* LlenaGrafico(QChart* g, const CurvaSerie& c, double origen, bool barras,
                             const QString& eje, const QString& nombre) {
  g->removeAllSeries();
  for (QAbstractAxis* a : g->axes()) {
    g->removeAxis(a);
    delete a;
  }
  auto* puntos = new QScatterSeries;
  puntos->setName(nombre);
  puntos->setObjectName("Puntos");
  puntos->setMarkerSize(kTamPunto);
  double minY = 0.0, maxY = 0.0, minX = 0.0, maxX = 0.0;
  for (size_t i = 0; i < c.puntos.size(); ++i) {
    const PuntoCurva& p = c.puntos[i];
    const double x = p.t - origen;
    puntos->append(x, p.m);
    const double e = barras ? p.error : 0.0;
    if (i == 0) {
      minY = p.m - e;
      maxY = p.m + e;
      minX = maxX = x;
    }
    minY = std::min(minY, p.m - e);
    maxY = std::max(maxY, p.m + e);
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
  }
  // The bars first, so that the points lie above them and take the clicks.
  if (barras) {
    for (const PuntoCurva& p : c.puntos) {
      if (!(p.error > 0.0)) continue;
      auto* b = new QLineSeries;
      b->append(p.t - origen, p.m - p.error);
      b->append(p.t - origen, p.m + p.error);
      b->setColor(QColor(Qt::darkGray));
      g->addSeries(b);
    }
  }
  g->addSeries(puntos);
  auto* ejeX = new QValueAxis;
  ejeX->setTitleText(eje);
  auto* ejeY = new QValueAxis;
  ejeY->setReverse(true);
  ejeY->setTitleText(nombre);
  constexpr double kMargen = 0.05;  // of the range, around the points
  const double mx = std::max(maxX - minX, 1e-4) * kMargen;
  const double my = std::max(maxY - minY, 1e-3) * kMargen;
  ejeX->setRange(minX - mx, maxX + mx);
  ejeY->setRange(minY - my, maxY + my);
  g->addAxis(ejeX, Qt::AlignBottom);
  g->addAxis(ejeY, Qt::AlignLeft);
  for (QAbstractSeries* s : g->series()) {
    s->attachAxis(ejeX);
    s->attachAxis(ejeY);
  }
  g->legend()->setVisible(false);
  g->setTitle(nombre);
  return puntos;
}

}  // namespace

void GraficoCurvaLuz::Dibuja() {
  const bool conjunto = diferencia_->currentIndex() == 0;
  const CurvaSerie v = CurvaDiferencial(resultado_, conjunto);
  const CurvaSerie k = CurvaDiferencial(resultado_, conjunto, true);
  puntos_ = v.fotogramas;
  puntosControl_ = k.fotogramas;
  double origen = 0.0;
  if (!v.puntos.empty()) origen = std::floor(v.puntos.front().t);
  const QString eje = QStringLiteral("%1 - %2").arg(v.heliocentrica ? "HJD" : "JD").arg(origen, 0,
                                                                                        'f', 0);
  puntosSerie_ = LlenaGrafico(vista_->chart(), v, origen, barras_->isChecked(), eje,
                              conjunto ? T("V - conjunto") : T("V - C"));
  puntosControlSerie_ = LlenaGrafico(control_->chart(), k, origen, barras_->isChecked(), eje,
                                     conjunto ? T("K - conjunto") : T("K - C"));
  constexpr int kMarcasControl = 3;  // the small plot keeps few magnitude ticks
  for (QAbstractAxis* a : control_->chart()->axes(Qt::Vertical))
    static_cast<QValueAxis*>(a)->setTickCount(kMarcasControl);
  // A click on a point brings up its frame.
  auto conecta = [this](QScatterSeries* s, const std::vector<size_t>* indices) {
    connect(s, &QScatterSeries::clicked, this, [this, s, indices](const QPointF& p) {
      const QList<QPointF> pts = s->points();
      qsizetype mejor = -1;
      double d = 0.0;
      for (qsizetype i = 0; i < pts.size(); ++i) {
        const QPointF a = s->chart()->mapToPosition(pts[i], s);
        const QPointF b = s->chart()->mapToPosition(p, s);
        const double di = (a - b).manhattanLength();
        if (mejor < 0 || di < d) {
          mejor = i;
          d = di;
        }
      }
      if (mejor >= 0) ActivaFotograma((*indices)[static_cast<size_t>(mejor)]);
    });
  };
  conecta(puntosSerie_, &puntos_);
  conecta(puntosControlSerie_, &puntosControl_);

  QString texto;
  try {
    const ResultadoMinimo m = MinimoKweeVanWoerden(v.puntos);
    texto = T("Mínimo") + QStringLiteral(" %1 %2 ± %3")
                              .arg(v.heliocentrica ? "HJD" : "JD")
                              .arg(m.t0, 0, 'f', 5)
                              .arg(m.error, 0, 'f', 5);
    std::vector<ObjetoLista> objetos;
    if (!(campo_.periodo > 0)) {
      try {
        objetos = LeeListaObjetos(RutaListaObjetos(
            std::filesystem::path(ArchivoConfiguracion()).parent_path().string()));
      } catch (const JError&) {
        objetos.clear();  // an unreadable list gives no ephemeris; its own dialog reports it
      }
    }
    EfemerideMinimo ef;
    if (EfemerideCampo(campo_, objetos, ef)) {
      const OMenosC oc = CalculaOMenosC(m.t0, ef.epoca, ef.periodo);
      texto += QStringLiteral("   O-C %1 d (E = %2)").arg(oc.oc, 0, 'f', 5).arg(oc.ciclo);
    }
  } catch (const JError& e) {
    texto = Q(e.Mensaje());
  }
  texto += QStringLiteral("   ") + T("Extinción") +
           QStringLiteral(" %1 ± %2").arg(resultado_.extincion, 0, 'f', 3).arg(
               resultado_.errorExtincion, 0, 'f', 3);
  minimo_->setText(texto);
}

// ---------------------------------------------------------------------------------------------

bool ComandoVariablesQt(Marco& marco, VentanaImagen* v, int id) {
  if (EsAplicacion(id, 0)) {
    DialogoPreferenciasSerie(&marco);
    return true;
  }
  if (id == kCurvaLuz || EsAplicacion(id, 1)) {
    CurvaDeLuz(marco, v);
    return true;
  }
  if (id == kDefinirCampo && v) {
    if (v->imagen().TipoObjeto() != kVariable) throw JError(12074);  // 12074
    DialogoCampo d(marco, *v);
    d.exec();
    v->Repinta(ObservadorImagen::kVentana | ObservadorImagen::kDatos);
    return true;
  }
  return false;
}

}  // namespace orva
