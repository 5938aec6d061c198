// The image window and its panes.
#include "gui/VentanaImagen.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Lienzo.h"
#include "core/ModuloAnalisis.h"
#include "core/TiposObjeto.h"
#include "formats/TiposArchivo.h"
#include "formats/fits/Fits.h"
#include "gui/DialogoNiveles.h"
#include "macro/Macro.h"
#include "shell/Comandos.h"
#include "shell/Configuracion.h"
#include "shell/Idioma.h"

namespace orva {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The overlay surface of the analysis modules, in image pixel coordinates placed by the view.
class LienzoQt : public Lienzo {
 public:
  LienzoQt(QPainter& p, const Vista& vista) : p_(p), v_(vista) {}
  void Linea(double x0, double y0, double x1, double y1, Color c) override {
    p_.setPen(QColor(c.r, c.g, c.b));
    p_.drawLine(P(x0, y0), P(x1, y1));
  }
  void Circulo(double cx, double cy, double radio, Color c) override {
    p_.setPen(QColor(c.r, c.g, c.b));
    p_.setBrush(Qt::NoBrush);
    p_.drawEllipse(P(cx, cy), radio * v_.factor, radio * v_.factor);
  }
  void Texto(double x, double y, const std::string& texto, Color c) override {
    p_.setPen(QColor(c.r, c.g, c.b));
    p_.drawText(P(x, y), Q(texto));
  }

 private:
  QPointF P(double x, double y) const { return QPointF(v_.PantallaX(x), v_.PantallaY(y)); }
  QPainter& p_;
  Vista v_;
};

// The zoom steps of the menu commands: 1:9 .. 1:2, 1:1, 2:1 .. 9:1.
constexpr int kPasosZoom = 9;
// A wheel notch (QWheelEvent angle units).
constexpr int kMuesca = 120;
// Radius in screen pixels of the circle marking a transform point.
constexpr int kRadioMarcaTrans = 4;
// Cascade offset of successive new windows.
constexpr int kPasoCascada = 28;
// The smallest pane a new window shows.
constexpr int kMinimoVentana = 160;

}  // namespace

void LlenaMenuQt(QMenu& destino, const std::vector<ElementoMenu>& elementos,
                 const std::function<void(int)>& alElegir) {
  for (const ElementoMenu& e : elementos) {
    if (e.separador) {
      destino.addSeparator();
    } else if (!e.submenu.empty()) {
      QMenu* sub = destino.addMenu(Q(TextoMenu(e.etiqueta)));
      LlenaMenuQt(*sub, e.submenu, alElegir);
      sub->setEnabled(e.activo);
    } else {
      QAction* a = destino.addAction(Q(TextoMenu(e.etiqueta)));
      a->setData(e.id);
      a->setEnabled(e.activo);
      a->setCheckable(e.marcado);
      a->setChecked(e.marcado);
      if (alElegir && e.id > 0) {
        const int id = e.id;
        QObject::connect(a, &QAction::triggered, a, [alElegir, id] { alElegir(id); });
      }
    }
  }
}

QCursor CursorImagen(int indice) {
  if (indice < 0 || indice > 17) indice = 0;
  const bool rojo = indice % 2 == 1;
  if (indice == 4 || indice == 5) return QCursor(Qt::UpArrowCursor);
  if (indice == 6 || indice == 7) return QCursor(Qt::ArrowCursor);
  // Crosses and circles are drawn: black and white, or red.
  QPixmap mapa(33, 33);
  mapa.fill(Qt::transparent);
  QPainter p(&mapa);
  const QColor color = rojo ? QColor(255, 0, 0) : QColor(255, 255, 255);
  if (indice <= 3) {
    const bool abierta = indice >= 2;
    for (int capa = 0; capa < 2; ++capa) {
      p.setPen(QPen(capa == 0 && !rojo ? QColor(0, 0, 0) : color, capa == 0 ? 3 : 1));
      const int h = abierta ? 4 : 0;
      p.drawLine(4, 16, 16 - h, 16);
      p.drawLine(16 + h, 16, 28, 16);
      p.drawLine(16, 4, 16, 16 - h);
      p.drawLine(16, 16 + h, 16, 28);
    }
  } else {
    const int radio = 3 * ((indice - 8) / 2 + 1);
    p.setPen(QPen(rojo ? color : QColor(0, 0, 0), 1));
    p.drawEllipse(QPoint(16, 16), radio, radio);
    if (!rojo) {
      p.setPen(QColor(255, 255, 255));
      p.drawEllipse(QPoint(16, 16), radio + 1, radio + 1);
    }
  }
  p.end();
  return QCursor(mapa, 16, 16);
}

// ---------------------------------------------------------------------------------------------
// Image pane

PanelImagen::PanelImagen(VentanaImagen& ventana) : ventana_(ventana) {
  setCursor(CursorImagen(Configuracion::Global().Entero("TIPOCURSOR")));
  setFocusPolicy(Qt::ClickFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

Vista PanelImagen::VistaActual() const {
  return VistaDe(ventana_.imagen(), ventana_.FilaUnoAbajo());
}

QImage PanelImagen::Bitmap() const {
  const MapaRGB m = RenderizaImagen(ventana_.imagen(), VistaActual());
  return QImage(m.rgb.data(), static_cast<int>(m.ancho), static_cast<int>(m.alto),
                static_cast<int>(m.ancho) * 3, QImage::Format_RGB888)
      .copy();
}

void PanelImagen::AjustaTamano() {
  const Imagen& im = ventana_.imagen();
  const Vista v = VistaActual();
  setFixedSize(std::max(1, static_cast<int>(TamanoZoom(im.Ancho(), v.factor))),
               std::max(1, static_cast<int>(TamanoZoom(im.Alto(), v.factor))));
}

QPoint PanelImagen::PixelEn(QPoint pos) const {
  const Vista v = VistaActual();
  return QPoint(static_cast<int>(v.PixelX(pos.x())), static_cast<int>(v.PixelY(pos.y())));
}

void PanelImagen::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  Imagen& im = ventana_.imagen();
  const QRect r = e->rect();
  if (im.Vacia() || r.isEmpty()) {
    p.fillRect(r, Qt::black);
    return;
  }
  const Vista v = VistaActual();
  // Only the exposed part is mapped, so a large zoom costs no more than the window's size.
  const MapaRGB mapa = RenderizaImagen(im, v, r.x(), r.y(), static_cast<uint32_t>(r.width()),
                                       static_cast<uint32_t>(r.height()));
  const QImage trozo(mapa.rgb.data(), static_cast<int>(mapa.ancho), static_cast<int>(mapa.alto),
                     static_cast<int>(mapa.ancho) * 3, QImage::Format_RGB888);
  p.drawImage(r.topLeft(), trozo);
  im.repintar = 0;
  // Reference points: red crosses; transformation points: green.
  for (const PuntoReferencia& ref : im.puntos) {
    if (!ref.definido) continue;
    p.setPen(QColor(255, 0, 0));
    const QPointF c(v.PantallaX(ref.x), v.PantallaY(ref.y));
    p.drawLine(c - QPointF(5, 0), c + QPointF(5, 0));
    p.drawLine(c - QPointF(0, 5), c + QPointF(0, 5));
  }
  // Numbered: point k of one image pairs with point k of the reference.
  for (size_t k = 0; k < im.puntosTrans.size(); ++k) {
    const PuntoTransformacion& t = im.puntosTrans[k];
    if (!t.definido) continue;
    p.setPen(QColor(0, 255, 0));
    const QPointF c(v.PantallaX(t.x), v.PantallaY(t.y));
    p.drawEllipse(c, kRadioMarcaTrans, kRadioMarcaTrans);
    p.drawText(c + QPointF(kRadioMarcaTrans + 2, -kRadioMarcaTrans - 2), QString::number(k + 1));
  }
  LienzoQt lienzo(p, v);
  PintarImagen(im, lienzo);
}

void PanelImagen::mouseMoveEvent(QMouseEvent* e) {
  auto* marco = qobject_cast<QMainWindow*>(window());
  QLabel* etiqueta = marco ? marco->findChild<QLabel*>(QStringLiteral("Posicion")) : nullptr;
  if (etiqueta) etiqueta->setText(ventana_.TextoPosicion(PixelEn(e->position().toPoint())));
  QWidget::mouseMoveEvent(e);
}

void PanelImagen::leaveEvent(QEvent* e) {
  auto* marco = qobject_cast<QMainWindow*>(window());
  if (QLabel* l = marco ? marco->findChild<QLabel*>(QStringLiteral("Posicion")) : nullptr) {
    l->clear();
  }
  QWidget::leaveEvent(e);
}

void PanelImagen::wheelEvent(QWheelEvent* e) {
  const int muescas = e->angleDelta().y() / kMuesca;
  if (muescas == 0) {
    e->ignore();
    return;
  }
  const QPoint enVista = mapTo(ventana_.desplazamiento()->viewport(), e->position().toPoint());
  ventana_.CambiaZoom(ventana_.PasoZoom(muescas > 0 ? 1 : -1), &enVista);
  e->accept();
}

void PanelImagen::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    MenuHerramienta(e->pos());
  } else if (e->button() == Qt::LeftButton) {
    ventana_.puntoPerfil = PixelEn(e->pos());
    ventana_.Repinta(ObservadorImagen::kLinea | ObservadorImagen::kHistograma);
  }
}

void PanelImagen::MenuHerramienta(QPoint pos) {
  const int herramienta = Configuracion::Global().Entero("HERRAMIENTA");
  Imagen& im = ventana_.imagen();
  Menu datos;
  if (herramienta == kHerramientaAnalisis) {
    if (auto m = MenuContextualImagen(im)) datos = *m;
  } else {
    datos = orva::MenuHerramienta(herramienta, im);
  }
  if (datos.elementos.empty()) return;  // tools 0 and 1 have no menu
  QMenu menu(this);
  menu.setObjectName("MenuHerramienta");
  LlenaMenuQt(menu, datos.elementos);
  QAction* elegida = menu.exec(mapToGlobal(pos));
  if (!elegida) return;
  const int id = elegida->data().toInt();
  const QPoint px = PixelEn(pos);
  try {
    if (herramienta == kHerramientaAnalisis) {
      ComandoContextualImagen(im, 0, id, PuntoImagen{px.x(), px.y()});
    } else {
      ComandoHerramienta(herramienta, id, px.x(), px.y(), im);
    }
  } catch (const JError& e) {
    QMessageBox::warning(this, Q(im.nombreVentana), Q(e.Mensaje()));
  }
  ventana_.Repinta(ObservadorImagen::kVentana | ObservadorImagen::kDatos);
}

// ---------------------------------------------------------------------------------------------
// Histogram and profile pane

PanelHistograma::PanelHistograma(VentanaImagen& ventana) : ventana_(ventana) {
  const Configuracion& cfg = Configuracion::Global();
  setMinimumSize(std::max(64, cfg.Entero("TAMHISX")), std::max(48, cfg.Entero("TAMHISY")));
}

void PanelHistograma::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  const Imagen& im = ventana_.imagen();
  if (im.Vacia()) return;
  const int modo = im.modoPanel;
  std::vector<double> valores;
  if (modo == kLinHor || modo == kLinVer) {
    const bool fila = modo == kLinHor;
    const long fijo = fila ? ventana_.puntoPerfil.y() : ventana_.puntoPerfil.x();
    const long n = fila ? im.Ancho() : im.Alto();
    for (long i = 0; i < n; ++i) valores.push_back(fila ? im.Pixel(i, fijo) : im.Pixel(fijo, i));
  } else {
    for (int v = im.PrimerHistograma(); v <= im.UltimoHistograma(); ++v) {
      valores.push_back(im.Histograma(v));
    }
    // A logarithmic scale keeps the tail visible next to the sky peak.
    if (Configuracion::Global().Entero("TIPOESCALA") == 1) {
      for (double& v : valores) v = v > 0 ? std::log10(v + 1.0) : 0.0;
    }
  }
  if (valores.empty()) return;
  const auto [mn, mx] = std::minmax_element(valores.begin(), valores.end());
  const double bajo = (modo == kLinHor || modo == kLinVer) ? *mn : 0.0;
  const double alto = *mx > bajo ? *mx : bajo + 1.0;
  const int w = width(), h = height() - 14;
  p.setPen(QColor(0, 0, 160));
  for (int x = 0; x < w; ++x) {
    const size_t i0 = static_cast<size_t>(static_cast<double>(x) * valores.size() / w);
    const size_t i1 =
        std::max(i0 + 1, static_cast<size_t>(static_cast<double>(x + 1) * valores.size() / w));
    double v = valores[i0];
    for (size_t i = i0; i < i1 && i < valores.size(); ++i) v = std::max(v, valores[i]);
    const int y = static_cast<int>((v - bajo) / (alto - bajo) * h);
    p.drawLine(x, h, x, h - y);
  }
  p.setPen(Qt::black);
  QString pie;
  if (modo == kLinHor) {
    pie = QStringLiteral("Linea %1").arg(ventana_.puntoPerfil.y());
  } else if (modo == kLinVer) {
    pie = QStringLiteral("Columna %1").arg(ventana_.puntoPerfil.x());
  } else {
    pie = QStringLiteral("%1 .. %2").arg(im.PrimerHistograma()).arg(im.UltimoHistograma());
  }
  p.drawText(2, height() - 2, pie);
}

// ---------------------------------------------------------------------------------------------
// Image window

VentanaImagen::VentanaImagen(std::unique_ptr<Imagen> imagen, QWidget* padre)
    : QWidget(padre), imagen_(std::move(imagen)) {
  setAttribute(Qt::WA_DeleteOnClose);
  puntoPerfil =
      QPoint(static_cast<int>(imagen_->Ancho() / 2), static_cast<int>(imagen_->Alto() / 2));
  auto* caja = new QVBoxLayout(this);
  caja->setContentsMargins(0, 0, 0, 0);
  divisor_ = new QSplitter(Qt::Vertical);
  caja->addWidget(divisor_);
  desplaza_ = new QScrollArea;
  panel_ = new PanelImagen(*this);
  panel_->setObjectName("PanelImagen");
  desplaza_->setWidget(panel_);
  desplaza_->setAlignment(Qt::AlignCenter);
  divisor_->addWidget(desplaza_);
  histo_ = new PanelHistograma(*this);
  histo_->setObjectName("HISTOGRAMA");
  histo_->setWindowTitle(QStringLiteral("HISTOGRAMA"));
  divisor_->addWidget(histo_);
  datos_ = new QPlainTextEdit;
  datos_->setObjectName("DATOS IMAGEN");
  datos_->setWindowTitle(QStringLiteral("DATOS IMAGEN"));
  datos_->setReadOnly(true);
  datos_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont fuente(QStringLiteral("Monospace"));
  fuente.setStyleHint(QFont::TypeWriter);
  fuente.setPointSize(std::clamp(Configuracion::Global().Entero("TAMFUEN"), 6, 30) * 3 / 4);
  datos_->setFont(fuente);
  divisor_->addWidget(datos_);
  divisor_->setStretchFactor(0, 3);
  divisor_->setStretchFactor(1, 1);
  divisor_->setStretchFactor(2, 1);
  imagen_->AsignaObservador(this);
  ActualizaVista();
  factorMostrado_ = panel_->VistaActual().factor;
  // Outside an area (a window of its own) the image size is all there is to go by.
  resize(panel_->size().expandedTo(QSize(kMinimoVentana, kMinimoVentana)) + QSize(4, 4));
}

bool VentanaImagen::FilaUnoAbajo() const {
  return MuestraFilaUnoAbajo(*imagen_);
}

double VentanaImagen::PasoZoom(int paso) const {
  const double f = panel_->VistaActual().factor;
  // The steps as factors, from 1:9 up to 9:1.
  std::vector<double> pasos;
  for (int n = kPasosZoom; n >= 2; --n) pasos.push_back(1.0 / n);
  for (int n = 1; n <= kPasosZoom; ++n) pasos.push_back(n);
  constexpr double kHolgura = 1e-6;
  if (paso > 0) {
    for (double z : pasos) {
      if (z > f * (1 + kHolgura)) return z;
    }
    return pasos.back();
  }
  for (auto it = pasos.rbegin(); it != pasos.rend(); ++it) {
    if (*it < f * (1 - kHolgura)) return *it;
  }
  return pasos.front();
}

void VentanaImagen::CambiaZoom(double factor, const QPoint* ancla) {
  if (!(factor > 0)) return;
  // The command of the factor when it has one, so the menu marks it.
  int comando = 0;
  for (int n = 1; n <= kPasosZoom; ++n) {
    if (std::abs(factor - n) < 1e-9) comando = n == 1 ? 5014 : 5037 + n;
    if (n > 1 && std::abs(factor - 1.0 / n) < 1e-9) comando = 5028 + n;
  }
  const QPoint punto = ancla ? *ancla : desplaza_->viewport()->rect().center();
  const Vista antes = panel_->VistaActual();
  const QPoint enPanel = panel_->mapFrom(desplaza_->viewport(), punto);
  anclaImagen_ = QPointF(antes.ImagenX(enPanel.x()), antes.ImagenY(enPanel.y()));
  anclaVista_ = punto;
  hayAncla_ = true;
  imagen_->FijaZoom(static_cast<int16_t>(comando), static_cast<float>(factor));
  Repinta(kVentana);
}

void VentanaImagen::AjustaAVentana() {
  const QSize area = desplaza_->maximumViewportSize();
  CambiaZoom(FactorAjuste(imagen_->Ancho(), imagen_->Alto(),
                          static_cast<uint32_t>(std::max(1, area.width())),
                          static_cast<uint32_t>(std::max(1, area.height()))));
}

void VentanaImagen::MantieneAncla() {
  const Vista v = panel_->VistaActual();
  if (!hayAncla_) {
    // A zoom from the menu or a macro keeps the image point at the viewport centre.
    if (factorMostrado_ <= 0 || v.factor == factorMostrado_) {
      factorMostrado_ = v.factor;
      return;
    }
    Vista antes = v;
    antes.factor = factorMostrado_;
    anclaVista_ = desplaza_->viewport()->rect().center();
    const QPoint enPanel = panel_->mapFrom(desplaza_->viewport(), anclaVista_);
    anclaImagen_ = QPointF(antes.ImagenX(enPanel.x()), antes.ImagenY(enPanel.y()));
  }
  hayAncla_ = false;
  factorMostrado_ = v.factor;
  // Now, and again once the scroll area has laid out its bars (which may shrink the viewport).
  const QPointF imagen = anclaImagen_;
  const QPoint vista = anclaVista_;
  auto coloca = [this, imagen, vista] {
    const Vista v = panel_->VistaActual();
    QScrollBar* h = desplaza_->horizontalScrollBar();
    QScrollBar* w = desplaza_->verticalScrollBar();
    h->setRange(0, std::max(0, panel_->width() - desplaza_->viewport()->width()));
    w->setRange(0, std::max(0, panel_->height() - desplaza_->viewport()->height()));
    h->setValue(static_cast<int>(std::lround(v.PantallaX(imagen.x()))) - vista.x());
    w->setValue(static_cast<int>(std::lround(v.PantallaY(imagen.y()))) - vista.y());
  };
  coloca();
  QTimer::singleShot(0, this, coloca);
}

QString VentanaImagen::TextoPosicion(QPoint px) const {
  const Imagen& im = *imagen_;
  if (px.x() < 0 || px.y() < 0 || px.x() >= static_cast<int>(im.Ancho()) ||
      px.y() >= static_cast<int>(im.Alto())) {
    return {};
  }
  const int valor = im.Pixel(static_cast<long>(px.x()), static_cast<long>(px.y()));
  QString t =
      Q(Mensaje(12400, std::to_string(px.x()), std::to_string(px.y()), std::to_string(valor)));
  if (im.tipoArchivo == kFits) {
    // FITS counts from 1, and its first row is the first in memory.
    t += QStringLiteral("   ") +
         Q(Mensaje(12401, std::to_string(px.x() + 1), std::to_string(px.y() + 1)));
  }
  if (!im.mapeo.Identidad()) {
    char b[64];
    std::snprintf(b, sizeof b, "%.6g", im.mapeo.Fisico(valor));
    t += QStringLiteral("   ") + Q(Mensaje(12402, b));
  }
  return t;
}

void VentanaImagen::ColocaEnArea(QMdiArea& area, QMdiSubWindow& sub) {
  const QMdiSubWindow* activa = nullptr;
  int otras = 0;
  for (QMdiSubWindow* s : area.subWindowList()) {
    if (s == &sub || !s->isVisible()) continue;
    ++otras;
    if (s == area.activeSubWindow() || !activa) activa = s;
  }
  if (activa && activa->isMaximized()) {
    sub.showMaximized();
    return;
  }
  const QSize disponible = area.viewport()->size();
  // Frame and title bar of the subwindow, scroll area frame, and the companion pane if shown.
  const QSize marco = sub.size() - size();
  const int borde = 2 * desplaza_->frameWidth();
  int compania = 0;
  if (histo_->isVisibleTo(this) || datos_->isVisibleTo(this)) {
    compania = std::max(kMinimoVentana, Configuracion::Global().Entero("TAMHISY")) +
               divisor_->handleWidth();
  }
  QSize tam = panel_->size() + QSize(borde, borde + compania) + marco;
  tam = tam.expandedTo(QSize(kMinimoVentana, kMinimoVentana));
  // Too big for the area: as big as the area, and the scroll bars need their room.
  if (tam.width() > disponible.width() || tam.height() > disponible.height()) {
    const int barra = desplaza_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    tam = QSize(std::min(disponible.width(), tam.width() + barra),
                std::min(disponible.height(), tam.height() + barra));
  }
  sub.resize(tam);
  // Cascade from the top left corner; back to the corner when the next step would not fit.
  int paso = otras;
  const int pasosX = std::max(1, (disponible.width() - tam.width()) / kPasoCascada + 1);
  const int pasosY = std::max(1, (disponible.height() - tam.height()) / kPasoCascada + 1);
  paso %= std::min(pasosX, pasosY);
  sub.move(paso * kPasoCascada, paso * kPasoCascada);
}

void VentanaImagen::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (colocada_) return;
  colocada_ = true;
  auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
  if (sub && sub->mdiArea()) ColocaEnArea(*sub->mdiArea(), *sub);
}

VentanaImagen::~VentanaImagen() {
  imagen_->AsignaObservador(nullptr);
}

void VentanaImagen::Repinta(int paneles) {
  if (paneles & kVentana) {
    panel_->AjustaTamano();
    MantieneAncla();
    panel_->update();
  }
  if (paneles & (kHistograma | kLinea)) histo_->update();
  if (paneles & kDatos) ActualizaVista();
  setWindowTitle(Q(imagen_->nombreVentana) + (imagen_->ModificadaMarca() ? "*" : ""));
  emit Cambiada();
}

std::vector<std::string> VentanaImagen::LineasDatos() const {
  std::vector<std::string> lineas;
  const Imagen& im = *imagen_;
  switch (im.modoPanel) {
    case ModoPanel::kDatos: {
      char b[160];
      std::snprintf(b, sizeof b, "%ux%u  %d bits", im.Ancho(), im.Alto(), im.bitsPixel);
      lineas.push_back(b);
      std::snprintf(b, sizeof b, "Min %d  Max %d  Media %.2f  Desv %.2f  Moda %d (%d)", im.Minimo(),
                    im.Maximo(), im.Media(), im.Desviacion(), im.ValorModa(), im.NumModa());
      lineas.push_back(b);
      InformacionImagen(im, lineas);
      break;
    }
    case kOper:
      lineas = im.Operaciones();
      break;
    case kCabe: {
      lineas.push_back("ARCHIVO=" + im.Ruta());
      lineas.push_back("TIPO=" + im.claveTipoArchivo);
      lineas.push_back("NAXIS1=" + std::to_string(im.Ancho()));
      lineas.push_back("NAXIS2=" + std::to_string(im.Alto()));
      lineas.push_back("BITPIX=" + std::to_string(im.bitsPixel));
      lineas.push_back("OFFSETX=" + std::to_string(im.offsetX));
      lineas.push_back("OFFSETY=" + std::to_string(im.offsetY));
      for (const std::string& clave : ClavesDatosImagen()) {
        lineas.push_back(clave + "=" + TextoDatoImagen(im.datos, clave));
      }
      break;
    }
    default:
      break;
  }
  return lineas;
}

void VentanaImagen::ActualizaVista() {
  const int modo = imagen_->modoPanel;
  const bool histo = modo == kHisto || modo == kLinHor || modo == kLinVer;
  const bool texto = modo == ModoPanel::kDatos || modo == kOper || modo == kCabe;
  histo_->setVisible(histo);
  datos_->setVisible(texto);
  if (texto) {
    QStringList l;
    for (const std::string& s : LineasDatos()) l << Q(s);
    datos_->setPlainText(l.join('\n'));
  }
  if (histo) histo_->update();
  // The companion pane takes its preferred height; the image keeps the rest.
  const int alto = std::max(height(), 240);
  const int panel = std::min(std::max(160, Configuracion::Global().Entero("TAMHISY")), alto / 2);
  divisor_->setSizes({alto - (histo || texto ? panel : 0), histo ? panel : 0, texto ? panel : 0});
  panel_->AjustaTamano();
  panel_->update();
  setWindowTitle(Q(imagen_->nombreVentana) + (imagen_->ModificadaMarca() ? "*" : ""));
}

bool VentanaImagen::PuedeCerrar() {
  if (!imagen_->ModificadaMarca() || Configuracion::Global().Valor("ASKEXIT") == "0") return true;
  QMessageBox pregunta(QMessageBox::Question, Q(Cadena(12041)),
                       Q(Mensaje(12042, imagen_->nombreVentana)),
                       QMessageBox::Yes | QMessageBox::No, this);
  pregunta.setObjectName("PreguntaSalir");
  return pregunta.exec() == QMessageBox::Yes;
}

void VentanaImagen::closeEvent(QCloseEvent* e) {
  if (consentido_ || PuedeCerrar()) {
    e->accept();
  } else {
    e->ignore();
  }
}

void VentanaImagen::EjecutaLinea(const std::string& linea) {
  EjecutaMacro(*imagen_, {linea});
  Repinta(kVentana | kHistograma | kDatos | kLinea);
}

bool VentanaImagen::Comando(int id) {
  if (EsZoom(id)) {
    EjecutaLinea(LineaZoom(id));
  } else if (const int modo = ModoDeComando(id)) {
    EjecutaLinea(LineaMostrar(modo));
  } else if (id == kCmdInvertir) {
    EjecutaLinea("INVERTIR");
  } else if (id == kCmdAjustarVentana) {
    AjustaAVentana();
  } else if (id == kCmdCurvaGrises) {
    std::vector<VentanaImagen*> otras;
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
      if (auto* area = qobject_cast<QMdiArea*>(w)) {
        for (QMdiSubWindow* s : area->subWindowList()) {
          auto* v = qobject_cast<VentanaImagen*>(s->widget());
          if (v && v != this) otras.push_back(v);
        }
        break;
      }
    }
    std::vector<Imagen*> imagenes;
    for (VentanaImagen* v : otras) imagenes.push_back(&v->imagen());
    if (DialogoNiveles(this, *imagen_, imagenes)) {
      Repinta(kVentana | kHistograma);
      for (VentanaImagen* v : otras) v->Repinta(kVentana | kHistograma);
    }
  } else if (id >= kCmdPrimerModulo && id <= kCmdUltimoModulo) {
    ComandoImagen(*imagen_, 0, id, 0);
    Repinta(kVentana | kDatos);
  } else {
    return false;
  }
  return true;
}

}  // namespace orva
