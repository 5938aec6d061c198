// The frame window and the commands it handles.
#include "gui/Marco.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDate>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "analyses/ModuloDobles.h"
#include "planetary/ModuloPlanetas.h"
#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/IdsComandos.h"
#include "core/Imagen.h"
#include "core/ListaImagenes.h"
#include "core/ModuloAnalisis.h"
#include "core/TiposObjeto.h"
#include "formats/TiposArchivo.h"
#include "gui/ApiladoQt.h"
#include "gui/DatosImagenQt.h"
#include "gui/EspectroQt.h"
#include "gui/ListasQt.h"
#include "gui/Operaciones.h"
#include "gui/PlanetasQt.h"
#include "gui/SolQt.h"
#include "gui/VoyagerQt.h"
#include "gui/VariablesQt.h"
#include "gui/Preferencias.h"
#include "gui/ProgresoQt.h"
#include "gui/TipoGeneralQt.h"
#include "gui/VentanaImagen.h"
#include "macro/Macro.h"
#include "processing/Procesamiento.h"
#include "shell/ArchivosEscritorio.h"
#include "shell/Arranque.h"
#include "shell/Comandos.h"
#include "shell/Configuracion.h"
#include "shell/Idioma.h"
#include "shell/Lote.h"
#include "stellar/ModuloVariables.h"

namespace orva {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// "Text (*.A)|*.A||Other (*.*)|*.*||" -> "Text (*.A *.a);;Other (*.*)".
QString FiltroQt(const std::string& filtro) {
  QStringList partes;
  for (const QString& par : Q(filtro).split(QStringLiteral("||"), Qt::SkipEmptyParts)) {
    const QStringList dos = par.split('|');
    if (dos.size() < 2) continue;
    QString patron = dos[1];
    patron.replace(';', ' ');
    QString texto = dos[0];
    const int p = texto.indexOf('(');
    if (p >= 0) texto = texto.left(p).trimmed();
    partes << QStringLiteral("%1 (%2 %3)").arg(texto, patron, patron.toLower());
  }
  return partes.join(QStringLiteral(";;"));
}

// "FITS (*.[fF][iI][tT][sS] ...)": the type's patterns in any letter case.
QString FiltroTipo(const RegistroTipoArchivo& t) {
  QStringList patrones;
  for (const std::string& p : PatronesTipo(t)) patrones << Q(p);
  return QStringLiteral("%1 (%2)").arg(Q(Cadena(t.idCadena)), patrones.join(' '));
}

// The question of unsaved work: "Guardar", "Descartar", "Cancelar".
QMessageBox::StandardButton PreguntaGuardar(QWidget* padre, const QString& texto) {
  QMessageBox m(QMessageBox::Question, Q(Cadena(12041)), texto,
                QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, padre);
  m.setObjectName("PreguntaGuardar");
  m.button(QMessageBox::Save)->setText(Q(Cadena(12260)));
  m.button(QMessageBox::Discard)->setText(Q(Cadena(12261)));
  m.button(QMessageBox::Cancel)->setText(Q(Cadena(12262)));
  m.setDefaultButton(QMessageBox::Save);
  m.setEscapeButton(QMessageBox::Cancel);
  return static_cast<QMessageBox::StandardButton>(m.exec());
}

// Bytes of the undo setting (megabytes); 0 or less keeps no undo states.
size_t LimiteDeshacer() {
  constexpr size_t kMega = size_t{1} << 20;
  const int mb = Configuracion::Global().Entero("MEMDESHACER");
  return mb > 0 ? static_cast<size_t>(mb) * kMega : 0;
}

// "Versión %s" of the string table with the program's version.
QString TextoVersion() {
  std::string t = Cadena(12029);
  if (const size_t p = t.find("%s"); p != std::string::npos) t.replace(p, 2, ORVA_VERSION);
  return Q(t);
}

std::string Directorio(const char* clave) {
  return Configuracion::Global().Valor(clave);
}

// The processing operations are linked into the desktop, so only the undefined ones stay grayed.
bool Disponible(const Comando& c) {
  return c.disponible == kDisponible || c.disponible == kSinProcesamiento;
}

}  // namespace

void MemoriaDisponible(const std::string& meminfo, long& fisica, long& virtualKb) {
  fisica = virtualKb = -1;
  long limite = -1, comprometida = -1;
  std::istringstream in(meminfo);
  std::string clave;
  long valor = 0;
  std::string unidad;
  while (in >> clave >> valor) {
    std::getline(in, unidad);
    if (clave == "MemAvailable:") fisica = valor;
    if (clave == "CommitLimit:") limite = valor;
    if (clave == "Committed_AS:") comprometida = valor;
  }
  if (limite >= 0 && comprometida >= 0) virtualKb = std::max(0L, limite - comprometida);
}

Marco::Marco(QWidget* padre) : QMainWindow(padre) {
  setObjectName("Marco");
  setWindowTitle(Q(Cadena(12000)));
  setAcceptDrops(true);
  InstalaSistema();
  mdi_ = new QMdiArea;
  mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdi_);
  PreparaOrdenes();
  ConstruyeMenus();
  // The recent files, above "Salir".
  recientes_ = new QMenu(this);
  recientes_->setObjectName("Recientes");
  InsertaRecientes();
  connect(recientes_, &QMenu::aboutToShow, this, &Marco::LlenaRecientes);
  LlenaRecientes();
  connect(mdi_, &QMdiArea::subWindowActivated, this, [this] { RefrescaMenus(); });

  // Status bar: three equal parts.
  version_ = new QLabel(TextoVersion());
  memoria_ = new QLabel;
  memoria_->setObjectName("Memoria");
  statusBar()->addWidget(version_, 1);
  statusBar()->addWidget(memoria_, 1);
  auto* posicion = new QLabel;
  posicion->setObjectName("Posicion");  // the image windows write the pointer's pixel here
  statusBar()->addWidget(posicion, 1);
  aviso_ = new QLabel;
  aviso_->setObjectName("Aviso");
  statusBar()->addWidget(aviso_, 1);
  ActualizaMemoria();
  reloj_ = new QTimer(this);
  reloj_->setInterval(5000);
  connect(reloj_, &QTimer::timeout, this, &Marco::ActualizaMemoria);
  reloj_->start();

  progreso_ = std::make_unique<ProgresoSimple>(this);
  InstalaProgreso(progreso_.get());
  RefrescaMenus();
}

Marco::~Marco() {
  // The windows go, without questions, before the progress object they might poll and the undo
  // stacks their destruction updates; closed ones still waiting for deletion too.
  for (QMdiSubWindow* s : mdi_->findChildren<QMdiSubWindow*>()) delete s;
  for (VentanaImagen* v : findChildren<VentanaImagen*>()) disconnect(v, nullptr, this, nullptr);
  InstalaProgreso(nullptr);
}

void Marco::ConstruyeMenus() {
  std::map<std::string, QMenu*> menus;
  for (const std::string& titulo : PopupsBarra()) {
    QMenu* m = menuBar()->addMenu(Q(TextoMenu(titulo)));
    m->setObjectName(Q(titulo));
    menus[titulo] = m;
    popups_.push_back(m);
  }
  analisis_ = popups_[kPopupAnalisis];
  analisis_->setTitle(Q(Cadena(14003)));
  for (Comando c : ComandosExpandidos()) {
    // The filter items take their popups and labels from the filter table.
    if (c.id >= kPrimerFiltro && c.id <= kFiltroGeneral) {
      std::string popup, etiqueta;
      if (!MenuDeFiltro(c.id, popup, etiqueta)) continue;
      c.popup = popup;
      c.etiqueta = etiqueta;
      c.separadorAntes = c.id == kFiltroGeneral;
    }
    // The popup path, created on first use.
    QMenu* destino = nullptr;
    std::string camino;
    size_t pos = 0;
    while (pos <= c.popup.size()) {
      size_t fin = c.popup.find('/', pos);
      if (fin == std::string::npos) fin = c.popup.size();
      const std::string parte = c.popup.substr(pos, fin - pos);
      camino = camino.empty() ? parte : camino + "/" + parte;
      if (!menus.count(camino)) menus[camino] = destino->addMenu(Q(TextoMenu(parte)));
      destino = menus[camino];
      pos = fin + 1;
    }
    if (c.separadorAntes) destino->addSeparator();
    QAction* a = destino->addAction(Q(TextoMenu(EtiquetaComando(c.id, c.etiqueta))));
    a->setData(c.id);
    a->setObjectName(QStringLiteral("a%1").arg(c.id));
    QList<QKeySequence> atajos;
    for (const std::string& s : c.atajos) atajos << QKeySequence(Q(s));
    a->setShortcuts(atajos);
    a->setShortcutContext(Qt::ApplicationShortcut);
    a->setCheckable(c.marcable);
    if (!Disponible(c)) {
      a->setEnabled(false);
      a->setStatusTip(Q(TextoMenu("No disponible")));
      a->setToolTip(Q(TextoMenu("No disponible")));
    }
    const int id = c.id;
    connect(a, &QAction::triggered, this, [this, id] { Ejecuta(id); });
    acciones_[id] = a;
  }
}

void Marco::CambiaIdioma(int idioma) {
  Configuracion::Global().Asigna("General", "LENGUAJE", std::to_string(idioma));
  FijaIdioma(idioma);
  // The choice is kept at once, whatever GUARCONF says about the other settings.
  if (!archivoConfig.empty()) {
    GuardaAjuste(archivoConfig, "General", "LENGUAJE", std::to_string(idioma));
  }
  // The old popups go once the action that called here has returned.
  for (QMenu* m : popups_) {
    menuBar()->removeAction(m->menuAction());
    m->deleteLater();
  }
  popups_.clear();
  acciones_.clear();
  ConstruyeMenus();
  InsertaRecientes();
  setWindowTitle(Q(Cadena(12000)));
  version_->setText(TextoVersion());
}

QAction* Marco::Accion(int id) const {
  auto it = acciones_.find(id);
  return it == acciones_.end() ? nullptr : it->second;
}

VentanaImagen* Marco::VentanaActiva() const {
  QMdiSubWindow* s = mdi_->activeSubWindow();
  if (!s) s = mdi_->currentSubWindow();
  return s ? qobject_cast<VentanaImagen*>(s->widget()) : nullptr;
}

std::vector<VentanaImagen*> Marco::Ventanas() const {
  std::vector<VentanaImagen*> r;
  for (QMdiSubWindow* s : mdi_->subWindowList()) {
    if (auto* v = qobject_cast<VentanaImagen*>(s->widget())) r.push_back(v);
  }
  return r;
}

QMdiSubWindow* Marco::Sub(VentanaImagen* v) const {
  for (QMdiSubWindow* s : mdi_->subWindowList()) {
    if (s->widget() == v) return s;
  }
  return nullptr;
}

void Marco::RefrescaMenus() {
  const Configuracion& cfg = Configuracion::Global();
  VentanaImagen* v = VentanaActiva();
  SituacionMenu s;
  s.hayImagen = v != nullptr;
  s.herramienta = std::clamp(cfg.Entero("HERRAMIENTA"), 0, kNumHerramientas - 1);
  s.lenguaje = std::clamp(cfg.Entero("LENGUAJE"), 0, 3);
  if (v) {
    s.tipoVentana = v->tipoVentana;
    s.comandoZoom = v->imagen().comandoZoom;
    s.modoPanel = v->imagen().modoPanel;
  }
  const EstadoMenu e = CalculaEstadoMenu(s);
  for (auto& [id, a] : acciones_) {
    const Comando* c = BuscaComando(id);
    if (a->isCheckable()) a->setChecked(e.marcados.count(id) > 0);
    if (c && !Disponible(*c)) continue;
    if (e.activos.count(id)) a->setEnabled(true);
    if (e.inactivos.count(id)) a->setEnabled(false);
  }
  popups_[1]->setEnabled(e.popupVisualizar);
  popups_[2]->setEnabled(e.popupsImagen);
  popups_[3]->setEnabled(e.popupsImagen);

  // The analysis popup for the tool and the active image.
  const Menu m = MenuAnalisisBarra(s.herramienta, v ? &v->imagen() : nullptr);
  // The old actions may be the one being triggered: they go once control is back in the loop.
  for (QAction* a : analisis_->actions()) {
    analisis_->removeAction(a);
    if (QMenu* sub = a->menu()) sub->deleteLater();
    if (a->parent() == analisis_) a->deleteLater();
  }
  LlenaMenuQt(*analisis_, m.elementos, [this](int id) { Ejecuta(id); });
  analisis_->setEnabled(m.activo);
  analisis_->menuAction()->setEnabled(m.activo);
  ExplicaAnalisis(m.activo, s.herramienta, v);
  RefrescaDeshacer();
}

void Marco::ExplicaAnalisis(bool activo, int herramienta, VentanaImagen* v) {
  QString motivo;
  if (!activo) {
    motivo =
        herramienta != kHerramientaAnalisis
            ? Q(Cadena(12232))
            : Q(Mensaje(12233, NombreTipoObjeto(v ? std::max(v->imagen().TipoObjeto(), 0) : 0)));
  }
  // The hint to set the object type goes once the active image has one.
  const bool sinTipo = v && v->imagen().TipoObjeto() <= kDesconocido;
  if (aviso_ && !sinTipo && aviso_->text() == Q(Cadena(12234))) aviso_->setText(motivo);
  if (motivo == motivoAnalisis_) return;
  motivoAnalisis_ = motivo;
  QAction* a = analisis_->menuAction();
  a->setToolTip(motivo);
  a->setStatusTip(motivo);
  if (aviso_) aviso_->setText(motivo);
}

void Marco::RefrescaDeshacer() {
  VentanaImagen* v = VentanaActiva();
  const auto it = v ? deshacer_.find(&v->imagen()) : deshacer_.end();
  const bool hay = it != deshacer_.end();
  if (QAction* a = Accion(kCmdDeshacer)) a->setEnabled(hay && it->second->PuedeDeshacer());
  if (QAction* a = Accion(kCmdRehacer)) a->setEnabled(hay && it->second->PuedeRehacer());
}

void Marco::ActualizaMemoria() {
  std::ifstream f("/proc/meminfo");
  std::stringstream texto;
  texto << f.rdbuf();
  long fisica = -1, virtualKb = -1;
  MemoriaDisponible(texto.str(), fisica, virtualKb);
  if (fisica == ultimaFisica_ && virtualKb == ultimaVirtual_) return;
  ultimaFisica_ = fisica;
  ultimaVirtual_ = virtualKb;
  char b[96];
  std::snprintf(b, sizeof b, "Mem= %5ldKb/%5ldKb", fisica, virtualKb);
  memoria_->setText(Q(b));
}

void Marco::Ejecuta(int id) {
  atendido_ = true;
  try {
    // The Sun's settings item of the "Análisis" popup is served with or without an image.
    if (!ComandoAplicacionSol(this, id)) {
      switch (Ruta(id, VentanaActiva() != nullptr)) {
        case kRutaMarco:
          ComandoMarco(id);
          break;
        case kRutaImagen:
          ComandoImagenActiva(*VentanaActiva(), id);
          break;
        case kRutaModulos:
          if (!PreferenciasEspectro(this, id) && !ComandoVariablesQt(*this, nullptr, id))
            ComandoModulos(nullptr, 0, id, 0);
          break;
        case kRutaNinguna:
          atendido_ = false;
          break;
      }
    }
  } catch (const JError& e) {
    QMessageBox::warning(this, Q(Cadena(12000)), Q(e.Mensaje()));
  } catch (const std::exception& e) {
    QMessageBox::warning(this, Q(Cadena(12000)), Q(e.what()));
  }
  RefrescaMenus();
  emit ComandoEjecutado(id, atendido_);
}

VentanaImagen* Marco::MuestraImagen(std::unique_ptr<Imagen> imagen) {
  ListaImagenes::Global().Nombra(*imagen);
  auto* v = new VentanaImagen(std::move(imagen));
  QMdiSubWindow* s = mdi_->addSubWindow(v);
  if (!s) {
    delete v;
    throw JError(12004);
  }
  s->setAttribute(Qt::WA_DeleteOnClose);
  connect(v, &VentanaImagen::Cambiada, this, [this] { RefrescaMenus(); });
  v->installEventFilter(this);
  const Imagen* clave = &v->imagen();
  connect(v, &QObject::destroyed, this, [this, clave, v] {
    deshacer_.erase(clave);
    consentidas_.erase(v);
  });
  v->show();
  mdi_->setActiveSubWindow(s);
  RefrescaMenus();
  return v;
}

VentanaImagen* Marco::AbreArchivo(const std::string& archivo) {
  try {
    auto im = std::make_unique<Imagen>();
    LeeArchivo(archivo, *im);
    const bool sinTipo = im->TipoObjeto() <= kDesconocido;  // none (-1) or unknown
    VentanaImagen* v = MuestraImagen(std::move(im));
    // Without an object type no analysis module applies: suggest setting it.
    if (sinTipo) aviso_->setText(Q(Cadena(12234)));
    RecuerdaReciente(v->imagen().Ruta());
    return v;
  } catch (const JError& e) {
    QMessageBox::warning(this, Q(Cadena(12000)), Q(e.Mensaje()));
  }
  return nullptr;
}

void Marco::Abrir() {
  QFileDialog d(this, Q(TextoMenu("ABRIR")), Q(Directorio("DIRARCHIVOS")));
  d.setObjectName("DialogoAbrir");
  d.setOption(QFileDialog::DontUseNativeDialog);
  d.setFileMode(QFileDialog::ExistingFiles);
  // Every readable type's patterns first, then each type, then every file.
  QStringList filtros, todos;
  for (const RegistroTipoArchivo& t : ListaTiposArchivo()) {
    if (!t.lee) continue;
    filtros << FiltroTipo(t);
    for (const std::string& p : PatronesTipo(t)) {
      if (p != "*" && !todos.contains(Q(p))) todos << Q(p);
    }
  }
  filtros.prepend(QStringLiteral("%1 (%2)").arg(Q(Cadena(12267)), todos.join(' ')));
  filtros << QStringLiteral("Todos (*)");
  d.setNameFilters(filtros);
  d.setOption(QFileDialog::HideNameFilterDetails);
  if (d.exec() != QDialog::Accepted) return;
  for (const QString& f : d.selectedFiles()) AbreArchivo(f.toStdString());
}

bool Marco::Guardar(VentanaImagen& v, bool comoNuevo) {
  Imagen& im = v.imagen();
  const RegistroTipoArchivo* tipo = BuscaTipoArchivo(im.tipoArchivo);
  if (comoNuevo || im.nombre.empty() || !tipo) return GuardarComo(v);
  if (!tipo->guarda) {
    // Its own type cannot be written: the user picks a name and a type instead.
    QMessageBox::information(this, Q(Cadena(12000)),
                             Q(Mensaje(12266, tipo->clave, im.nombreVentana)));
    return GuardarComo(v);
  }
  // A FITS file holds more than the image in memory keeps: the user says whether to replace it.
  std::error_code ec;
  if (tipo->id == kFits && std::filesystem::exists(im.Ruta(), ec)) {
    QMessageBox m(QMessageBox::Warning, Q(Cadena(12000)), Q(Mensaje(12265, im.Ruta(), tipo->clave)),
                  QMessageBox::Save | QMessageBox::Cancel, this);
    m.setObjectName("AvisoReemplazo");
    m.button(QMessageBox::Save)->setText(Q(Cadena(12260)));
    m.button(QMessageBox::Cancel)->setText(Q(Cadena(12262)));
    m.setDefaultButton(QMessageBox::Cancel);
    if (m.exec() != QMessageBox::Save) return false;
  }
  GuardaArchivo(im.Ruta(), im, im.tipoArchivo);
  PilaDeshacer(im).Guardada();
  v.Repinta(ObservadorImagen::kVentana | ObservadorImagen::kDatos);
  return true;
}

bool Marco::GuardarComo(VentanaImagen& v) {
  Imagen& im = v.imagen();
  QFileDialog d(this, Q(TextoMenu("GUARDAR COMO")), Q(Directorio("DIRGUARDAR")));
  d.setObjectName("DialogoGuardarComo");
  d.setOption(QFileDialog::DontUseNativeDialog);
  d.setOption(QFileDialog::HideNameFilterDetails);
  d.setAcceptMode(QFileDialog::AcceptSave);
  std::vector<const RegistroTipoArchivo*> tipos;
  QStringList filtros;
  for (const RegistroTipoArchivo& t : ListaTiposArchivo()) {
    if (!t.guarda) continue;
    tipos.push_back(&t);
    filtros << FiltroTipo(t);
  }
  if (tipos.empty()) throw JError(11018, Cadena(11076));
  d.setNameFilters(filtros);
  // The image's own type when it can be written, else the settings' save type.
  const RegistroTipoArchivo* propio = BuscaTipoArchivo(im.tipoArchivo);
  if (!propio || !propio->guarda) {
    propio = BuscaTipoArchivo(Configuracion::Global().Valor("Archivos", "TIPARCHGUARDAR"));
  }
  size_t elegido = 0;
  for (size_t i = 0; i < tipos.size(); ++i) {
    if (tipos[i] == propio) elegido = i;
  }
  d.selectNameFilter(filtros[static_cast<int>(elegido)]);
  auto sufijo = [&d, &tipos, &filtros](const QString& filtro) {
    const auto i = filtros.indexOf(filtro);
    if (i >= 0) d.setDefaultSuffix(Q(ExtensionTipo(*tipos[static_cast<size_t>(i)])).mid(1));
  };
  sufijo(filtros[static_cast<int>(elegido)]);
  connect(&d, &QFileDialog::filterSelected, &d, sufijo);
  if (!im.nombre.empty()) d.selectFile(Q(im.nombre));
  if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return false;
  const auto i = filtros.indexOf(d.selectedNameFilter());
  const RegistroTipoArchivo& t = *tipos[i >= 0 ? static_cast<size_t>(i) : elegido];
  const std::string archivo =
      ConExtension(d.selectedFiles().front().toStdString(), ExtensionTipo(t));
  GuardaArchivo(archivo, im, t.id);
  ListaImagenes::Global().Nombra(im);
  PilaDeshacer(im).Guardada();
  RecuerdaReciente(im.Ruta());
  v.Repinta(ObservadorImagen::kVentana | ObservadorImagen::kDatos);
  return true;
}

Deshacer& Marco::PilaDeshacer(const Imagen& im) {
  std::unique_ptr<Deshacer>& p = deshacer_[&im];
  if (!p) p = std::make_unique<Deshacer>(LimiteDeshacer());
  p->FijaLimite(LimiteDeshacer());
  return *p;
}

void Marco::DeshacerRehacer(VentanaImagen& v, bool rehacer) {
  Deshacer& pila = PilaDeshacer(v.imagen());
  if (!(rehacer ? pila.Rehaz(v.imagen()) : pila.Deshaz(v.imagen()))) {
    throw JError(rehacer ? 12271 : 12270);
  }
  v.Repinta(ObservadorImagen::kVentana | ObservadorImagen::kHistograma | ObservadorImagen::kDatos |
            ObservadorImagen::kLinea);
}

void Marco::RecuerdaReciente(const std::string& archivo) {
  std::error_code ec;
  const std::filesystem::path absoluto = std::filesystem::absolute(archivo, ec);
  GuardaRecientes(orva::AnadeReciente(ArchivosRecientes(), ec ? archivo : absoluto.string()));
  LlenaRecientes();
}

// The recent files sit in Archivo just above Salir, in every language the menus are built in.
void Marco::InsertaRecientes() {
  recientes_->setTitle(Q(Cadena(12269)));
  if (QAction* salir = Accion(kCmdSalir)) {
    if (auto* archivo = qobject_cast<QMenu*>(salir->parent()))
      archivo->insertMenu(salir, recientes_);
  }
}

void Marco::LlenaRecientes() {
  recientes_->clear();
  const std::vector<std::string> lista = ArchivosRecientes();
  int n = 1;
  for (const std::string& archivo : lista) {
    QAction* a = recientes_->addAction(QStringLiteral("&%1 %2").arg(n++).arg(Q(archivo)));
    a->setData(Q(archivo));
    connect(a, &QAction::triggered, this, [this, archivo] { AbreArchivo(archivo); });
  }
  recientes_->setEnabled(!lista.empty());
}

bool Marco::PuedenCerrar(const std::vector<VentanaImagen*>& ventanas) {
  if (Configuracion::Global().Valor("ASKEXIT") == "0") return true;
  std::vector<VentanaImagen*> modificadas;
  for (VentanaImagen* v : ventanas) {
    if (v->imagen().ModificadaMarca() && !consentidas_.count(v)) modificadas.push_back(v);
  }
  if (modificadas.empty()) return true;
  QString texto;
  if (modificadas.size() == 1) {
    texto = Q(Mensaje(12263, modificadas.front()->imagen().nombreVentana));
  } else {
    std::string nombres;
    for (VentanaImagen* v : modificadas)
      nombres += (nombres.empty() ? "" : "\n") + v->imagen().nombreVentana;
    texto = Q(Mensaje(12264, nombres));
  }
  switch (PreguntaGuardar(this, texto)) {
    case QMessageBox::Discard:
      return true;
    case QMessageBox::Save:
      for (VentanaImagen* v : modificadas) {
        try {
          if (!Guardar(*v, false)) return false;
        } catch (const JError& e) {
          QMessageBox::warning(this, Q(Cadena(12000)), Q(e.Mensaje()));
          return false;
        }
      }
      return true;
    default:
      return false;
  }
}

bool Marco::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::Close) {
    auto* v = qobject_cast<VentanaImagen*>(o);
    if (v && !consentidas_.count(v)) {
      if (!PuedenCerrar({v})) {
        e->ignore();
        return true;
      }
      consentidas_.insert(v);
      v->ConsienteCierre();
    }
  }
  return QMainWindow::eventFilter(o, e);
}

void Marco::Duplicar(VentanaImagen& v) {
  Duplica(v);
}

VentanaImagen* Marco::Duplica(VentanaImagen& v) {
  auto copia = std::make_unique<Imagen>();
  copia->CopiaImagen(v.imagen());
  return MuestraImagen(std::move(copia));
}

void Marco::CierraVentana(VentanaImagen& v) {
  consentidas_.insert(&v);
  v.ConsienteCierre();
  if (QMdiSubWindow* s = Sub(&v)) s->close();
}

void Marco::EjecutarMacro(VentanaImagen& v) {
  const QString archivo = QFileDialog::getOpenFileName(
      this, Q(Cadena(12050)), Q(Directorio("DIRMACROS")), FiltroQt(Cadena(12023)), nullptr,
      QFileDialog::DontUseNativeDialog);
  if (archivo.isEmpty()) return;
  VentanaImagen* destino = &v;
  const bool duplica = Configuracion::Global().Valor("DUPLIMA") == "1";
  if (duplica) {
    Duplicar(v);
    destino = VentanaActiva();
  }
  Imagen& im = destino->imagen();
  try {
    SesionProgreso sesion("EJECUTANDO MACRO");
    ProgresoActual().TextoArchivo(im.nombreVentana);
    PilaDeshacer(im).Antes(im);
    const size_t antes = im.Operaciones().size();
    const std::vector<std::string> lineas = CargaMacro(archivo.toStdString());
    int hecha = 0;
    EjecutaEnTrabajador(this, {&im}, [&] { hecha = EjecutaMacro(im, lineas); });
    if (hecha) {
      im.Actualiza();
      // A macro of display lines only leaves the image as it was.
      const auto& log = im.Operaciones();
      if (std::any_of(log.begin() + static_cast<std::ptrdiff_t>(std::min(antes, log.size())),
                      log.end(), [](const std::string& l) { return !LineaSoloVista(l); })) {
        im.Modificada(1);
      }
    }
    PilaDeshacer(im).Despues(im);
  } catch (...) {
    PilaDeshacer(im).Despues(im);
    if (duplica) {
      im.Modificada(0);
      if (QMdiSubWindow* s = Sub(destino)) s->close();
    } else {
      destino->Repinta(ObservadorImagen::kVentana | ObservadorImagen::kDatos);
    }
    throw;
  }
  destino->Repinta(ObservadorImagen::kVentana | ObservadorImagen::kDatos |
                   ObservadorImagen::kHistograma);
}

void Marco::GuardarMacro(VentanaImagen& v) {
  QFileDialog d(this, Q(TextoMenu("GUARDAR MACRO")), Q(Directorio("DIRMACROS")),
                FiltroQt(Cadena(12023)));
  d.setObjectName("DialogoGuardarMacro");
  d.setOption(QFileDialog::DontUseNativeDialog);
  d.setAcceptMode(QFileDialog::AcceptSave);
  d.setDefaultSuffix(QStringLiteral("ORV"));
  if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return;
  std::vector<std::string> lineas = v.imagen().Operaciones();
  // Lines that only changed the view may stay out, so the macro holds the pixel operations.
  if (std::any_of(lineas.begin(), lineas.end(),
                  [](const std::string& l) { return LineaSoloVista(l); })) {
    QMessageBox m(QMessageBox::Question, Q(TextoMenu("GUARDAR MACRO")), Q(Cadena(12268)),
                  QMessageBox::Yes | QMessageBox::No, this);
    m.setObjectName("PreguntaSoloVista");
    if (m.exec() == QMessageBox::Yes) {
      std::erase_if(lineas, [](const std::string& l) { return LineaSoloVista(l); });
    }
  }
  GuardaMacro(lineas, ConExtension(d.selectedFiles().front().toStdString(), ".ORV"));
}

void Marco::MacroEnDisco() {
  if (!DialogoMacroDisco(this)) return;
  const Configuracion& cfg = Configuracion::Global();
  const std::vector<std::string> lineas = CargaMacroExistente(cfg.Valor("MACRODISCO"));
  const QStringList archivos =
      QFileDialog::getOpenFileNames(this, Q(TextoMenu("ARCHIVOS")), Q(Directorio("DIRARCHIVOS")),
                                    QString(), nullptr, QFileDialog::DontUseNativeDialog);
  if (archivos.isEmpty()) return;
  std::vector<std::string> entradas;
  for (const QString& a : archivos) entradas.push_back(a.toStdString());
  AjustesLote ajustes = LeeAjustesLote();
  ajustes.carpetaSalida = cfg.Valor("DIRGUARDAR");
  const std::vector<ArchivoLote> plan = PlanificaLote(entradas, ajustes);
  // Results that would replace their own inputs: only when the user says so.
  const auto sobre =
      std::count_if(plan.begin(), plan.end(), [](const ArchivoLote& a) { return a.sobreEntrada; });
  bool enSitio = false;
  if (sobre > 0) {
    const auto primero =
        std::find_if(plan.begin(), plan.end(), [](const ArchivoLote& a) { return a.sobreEntrada; });
    if (QMessageBox::question(this, Q(Cadena(12000)),
                              Q(Mensaje(12231, std::to_string(sobre), primero->entrada))) !=
        QMessageBox::Yes) {
      return;
    }
    enSitio = true;
  }
  CompruebaLote(plan, ajustes, enSitio);

  ProgresoLog log(this);
  Progreso* anterior = &ProgresoActual();
  InstalaProgreso(&log);
  struct Restituye {
    Progreso* p;
    ~Restituye() { InstalaProgreso(p); }
  } restituye{anterior};
  log.Abrir("EJECUTANDO MACRO EN DISCO");
  EjecutaEnTrabajador(this, {}, [&] {
    EjecutaLote(lineas, plan, [&log](const ResultadoLote& r) {
      log.AnadirLinea(r.archivo->entrada + (r.bien ? " -> " + r.archivo->salida : ": " + r.error) +
                      "\n");
    });
  });
  log.Cerrar();
}

void Marco::NuevaImagen() {
  std::string nombre = "NUEVA";
  int ancho = 0, alto = 0;
  if (!DialogoImagenNueva(this, nombre, ancho, alto)) return;
  auto im = std::make_unique<Imagen>();
  im->CambiaPixeles(
      static_cast<uint32_t>(ancho), static_cast<uint32_t>(alto),
      std::vector<int16_t>(static_cast<size_t>(ancho) * static_cast<size_t>(alto), 0));
  im->AsignaRuta(nombre);
  im->CambiaTipoObjeto(Configuracion::Global().Derivados().tipoObjetoInicial);
  im->Actualiza();
  MuestraImagen(std::move(im));
}

std::vector<VentanaImagen*> Marco::Elige() {
  std::vector<std::string> nombres;
  const std::vector<VentanaImagen*> todas = Ventanas();
  for (VentanaImagen* v : todas) nombres.push_back(v->imagen().nombreVentana);
  const std::vector<std::string> elegidas = SeleccionImagenes(this, nombres);
  std::vector<VentanaImagen*> r;
  for (VentanaImagen* v : todas) {
    if (std::find(elegidas.begin(), elegidas.end(), v->imagen().nombreVentana) != elegidas.end())
      r.push_back(v);
  }
  return r;
}

void Marco::Mosaico(bool vertical) {
  const QList<QMdiSubWindow*> lista = mdi_->subWindowList();
  if (lista.isEmpty()) return;
  const QSize t = mdi_->viewport()->size();
  const int n = static_cast<int>(lista.size());
  for (int i = 0; i < n; ++i) {
    lista[i]->showNormal();
    if (vertical) {
      lista[i]->setGeometry(i * t.width() / n, 0, t.width() / n, t.height());
    } else {
      lista[i]->setGeometry(0, i * t.height() / n, t.width(), t.height() / n);
    }
  }
}

void Marco::ComandoMarco(int id) {
  if (const int una = ComandoDeVarias(id)) {
    for (VentanaImagen* v : Elige()) ComandoImagenActiva(*v, una);
    return;
  }
  const Comando* c = BuscaComando(id);
  if (c && c->herramienta >= 0) {
    Configuracion::Global().Asigna("General", "HERRAMIENTA", std::to_string(c->herramienta));
    return;
  }
  if (c && c->lenguaje >= 0) {
    CambiaIdioma(c->lenguaje);
    return;
  }
  if (auto it = ordenesMarco_.find(id); it != ordenesMarco_.end()) {
    it->second();
    return;
  }
  // Commands of operations this system does not define are grayed; reaching here means a
  // grayed action was forced, so say so instead of doing nothing.
  NoAtendido();
}

void Marco::PreparaOrdenes() {
  ordenesMarco_ = {
      {kCmdNuevo, [this] { NuevaImagen(); }},
      {kCmdAbrir, [this] { Abrir(); }},
      {kCmdCerrar,
       [this] {
         if (QMdiSubWindow* s = mdi_->activeSubWindow()) s->close();
       }},
      {kCmdCerrarVarias,
       [this] {
         const auto elegidas = Elige();
         if (elegidas.empty()) return;
         if (QMessageBox::question(this, Q(Cadena(12030)), Q(Cadena(12031))) != QMessageBox::Yes)
           return;
         if (!PuedenCerrar(elegidas)) return;
         for (VentanaImagen* v : elegidas) CierraVentana(*v);
       }},
      {kCmdIconizarVarias,
       [this] {
         for (VentanaImagen* v : Elige()) {
           if (QMdiSubWindow* s = Sub(v)) s->showMinimized();
         }
       }},
      {kCmdRestaurarVarias,
       [this] {
         for (VentanaImagen* v : Elige()) {
           if (QMdiSubWindow* s = Sub(v)) s->showNormal();
         }
       }},
      {kCmdMacroDisco, [this] { MacroEnDisco(); }},
      {kCmdDatosVarias,
       [this] {
         std::vector<Imagen*> imagenes;
         for (VentanaImagen* v : Elige()) imagenes.push_back(&v->imagen());
         DialogoDatosImagen(this, imagenes);
       }},
      {kCmdLeerConfiguracion,
       [this] {
         const QString f = QFileDialog::getOpenFileName(this, Q(Cadena(12038)), QString(),
                                                        FiltroQt(Cadena(12037)), nullptr,
                                                        QFileDialog::DontUseNativeDialog);
         if (!f.isEmpty()) LeeConfiguracion(f.toStdString());
       }},
      {kCmdGuardarConfiguracion,
       [this] {
         const QString f = QFileDialog::getSaveFileName(this, Q(Cadena(12039)), QString(),
                                                        FiltroQt(Cadena(12037)), nullptr,
                                                        QFileDialog::DontUseNativeDialog);
         if (!f.isEmpty()) GuardaConfiguracion(f.toStdString());
       }},
      {kCmdPrefGenerales, [this] { DialogoGenerales(this); }},
      {kCmdTratarObjetos, [this] { DialogoListaObjetos(*this); }},
      {kCmdTratarObservatorios, [this] { DialogoListaObservatorios(*this); }},
      {kCmdPrefTiposArchivo,
       [this] {
         // FITS orientation is one of these settings: the windows show the new one at once.
         if (DialogoTiposArchivo(this)) {
           for (VentanaImagen* v : Ventanas()) v->Repinta(ObservadorImagen::kVentana);
         }
       }},
      {kCmdPrefTipoGeneral, [this] { DialogoTipoGeneral(this); }},
      {kCmdPrefHistograma,
       [this] {
         if (DialogoHistograma(this)) {
           for (VentanaImagen* v : Ventanas()) v->Repinta(ObservadorImagen::kHistograma);
         }
       }},
      {kCmdPrefDatos,
       [this] {
         if (DialogoVentanaDatos(this)) {
           for (VentanaImagen* v : Ventanas()) v->Repinta(ObservadorImagen::kDatos);
         }
       }},
      {kCmdSalir, [this] { close(); }},
      {kCmdCascada, [this] { mdi_->cascadeSubWindows(); }},
      {kCmdMosaicoVer, [this] { Mosaico(true); }},
      {kCmdMosaicoHor, [this] { Mosaico(false); }},
      {kCmdDistribuirIconos, [this] { mdi_->tileSubWindows(); }},
      {kCmdVerImagenes,
       [this] {
         QStringList nombres;
         for (VentanaImagen* v : Elige()) nombres << Q(v->imagen().nombreVentana);
         if (!nombres.isEmpty()) {
           QMessageBox::information(this, Q(TextoMenu("INFORMACION")), nombres.join('\n'));
         }
       }},
      {kCmdAcerca,
       [this] {
         QMessageBox::about(this, Q(TextoMenu("ACERCA DE...")),
                            QStringLiteral("%1\n%2\n%3")
                                .arg(Q(Cadena(12000)), TextoVersion(), ORVA_FECHA_COMPILACION));
       }},
  };
  ordenesImagen_ = {
      {kCmdGuardar, [this](VentanaImagen& v) { Guardar(v, false); }},
      {kCmdGuardarComo, [this](VentanaImagen& v) { Guardar(v, true); }},
      {kCmdGuardarVarias,
       [this](VentanaImagen&) {
         for (VentanaImagen* w : Elige()) Guardar(*w, false);
       }},
      {kCmdGuardarVariasEn,
       [this](VentanaImagen&) {
         const auto elegidas = Elige();
         if (elegidas.empty()) return;
         const QString dir = QFileDialog::getExistingDirectory(
             this, Q(TextoMenu("GUARDAR VARIAS EN...")), Q(Directorio("DIRGUARDAR")),
             QFileDialog::DontUseNativeDialog);
         if (dir.isEmpty()) return;
         for (VentanaImagen* w : elegidas) {
           Imagen& im = w->imagen();
           GuardaArchivo(dir.toStdString() + "/" + im.NombreArchivo(), im, im.tipoArchivo);
           PilaDeshacer(im).Guardada();
           w->Repinta(ObservadorImagen::kVentana);
         }
       }},
      {kCmdDuplicar, [this](VentanaImagen& v) { Duplicar(v); }},
      {kCmdCurvaGrises,
       [this](VentanaImagen& v) {
         if (DialogoCurvaGrises(this, v.imagen())) v.Repinta(ObservadorImagen::kVentana);
       }},
      {kCmdEjecutarMacro, [this](VentanaImagen& v) { EjecutarMacro(v); }},
      {kCmdDatosUna, [this](VentanaImagen& v) { DialogoDatosImagen(this, {&v.imagen()}); }},
      {kCmdGuardarMacro, [this](VentanaImagen& v) { GuardarMacro(v); }},
      {kCmdDeshacer, [this](VentanaImagen& v) { DeshacerRehacer(v, false); }},
      {kCmdRehacer, [this](VentanaImagen& v) { DeshacerRehacer(v, true); }},
  };
}

void Marco::NoAtendido() {
  atendido_ = false;
  QMessageBox::information(this, Q(Cadena(12000)), Q(TextoMenu("No disponible")));
}

void Marco::ComandoImagenActiva(VentanaImagen& v, int id) {
  if (ComandoSolQt(*this, v, id)) return;
  if (ComandoPlanetasQt(*this, v, id)) return;
  // The star searches ask for their settings before the module runs them; the double-star
  // centroid preferences and the calculation are desktop dialogs.
  if ((id == kBuscarTASS || id == kBuscarPCVista || id == kPreferenciasDobles ||
       id == kCalcularDobles || EsComandoMapaDisco(id)) &&
      ComandoOperacion(*this, v, id)) {
    return;
  }
  if (ComandoEspectro(*this, v, id)) return;
  if (ComandoVoyagerQt(*this, v, id)) return;
  if (ComandoVariablesQt(*this, &v, id)) return;
  if (v.Comando(id)) return;
  if (auto it = ordenesImagen_.find(id); it != ordenesImagen_.end()) {
    it->second(v);
    return;
  }
  if (ComandoApilado(*this, v, id)) return;
  if (!ComandoOperacion(*this, v, id)) NoAtendido();
}

void Marco::closeEvent(QCloseEvent* e) {
  // A work on the worker thread uses the images: the frame stays until it ends.
  if (TrabajoEnCurso()) {
    e->ignore();
    return;
  }
  // Every image is asked before any window closes, so a refusal leaves them all open.
  // One question lists every modified image.
  const std::vector<VentanaImagen*> ventanas = Ventanas();
  if (!PuedenCerrar(ventanas)) {
    e->ignore();
    return;
  }
  for (VentanaImagen* v : ventanas) {
    consentidas_.insert(v);
    v->ConsienteCierre();
  }
  for (QMdiSubWindow* s : mdi_->subWindowList()) s->close();
  if (!mdi_->subWindowList().isEmpty()) {
    e->ignore();
    return;
  }
  setAcceptDrops(false);
  if (Configuracion::Global().Valor("GUARCONF") == "1" && !archivoConfig.empty()) {
    try {
      GuardaConfiguracion(archivoConfig);
    } catch (const JError& err) {
      QMessageBox::warning(this, Q(Cadena(12000)), Q(err.Mensaje()));
    }
  }
  e->accept();
}

void Marco::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void Marco::dropEvent(QDropEvent* e) {
  for (const QUrl& u : e->mimeData()->urls()) {
    if (u.isLocalFile()) AbreArchivo(u.toLocalFile().toStdString());
  }
  e->acceptProposedAction();
}

void Marco::keyPressEvent(QKeyEvent* e) {
  QPoint d;
  switch (e->key()) {
    case Qt::Key_Left:
      d = {-1, 0};
      break;
    case Qt::Key_Right:
      d = {1, 0};
      break;
    case Qt::Key_Up:
      d = {0, -1};
      break;
    case Qt::Key_Down:
      d = {0, 1};
      break;
    case Qt::Key_M:
      if (VentanaImagen* v = VentanaActiva()) {
        PanelImagen* p = v->panelImagen();
        const QPoint en = p->mapFromGlobal(QCursor::pos());
        if (p->rect().contains(en)) p->MenuHerramienta(en);
      }
      return;
    default:
      QMainWindow::keyPressEvent(e);
      return;
  }
  QCursor::setPos(QCursor::pos() + d);
}

}  // namespace orva
