// The image window and its panes.
#include "gui/VentanaImagen.h"

#include <QCloseEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "core/Cadenas.h"
#include "core/JError.h"
#include "core/Lienzo.h"
#include "core/ModuloAnalisis.h"
#include "core/TiposObjeto.h"
#include "macro/Macro.h"
#include "shell/Comandos.h"
#include "shell/Configuracion.h"

namespace orva {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The overlay surface of the analysis modules, in image pixel coordinates.
class LienzoQt : public Lienzo {
 public:
  LienzoQt(QPainter& p, double zoom) : p_(p), zoom_(zoom) {}
  void Linea(double x0, double y0, double x1, double y1, Color c) override {
    p_.setPen(QColor(c.r, c.g, c.b));
    p_.drawLine(QPointF(Z(x0), Z(y0)), QPointF(Z(x1), Z(y1)));
  }
  void Circulo(double cx, double cy, double radio, Color c) override {
    p_.setPen(QColor(c.r, c.g, c.b));
    p_.setBrush(Qt::NoBrush);
    p_.drawEllipse(QPointF(Z(cx), Z(cy)), radio * zoom_, radio * zoom_);
  }
  void Texto(double x, double y, const std::string& texto, Color c) override {
    p_.setPen(QColor(c.r, c.g, c.b));
    p_.drawText(QPointF(Z(x), Z(y)), Q(texto));
  }

 private:
  double Z(double v) const { return (v + 0.5) * zoom_; }
  QPainter& p_;
  double zoom_;
};

}  // namespace

void LlenaMenuQt(QMenu& destino, const std::vector<ElementoMenu>& elementos,
                 const std::function<void(int)>& alElegir) {
  for (const ElementoMenu& e : elementos) {
    if (e.separador) {
      destino.addSeparator();
    } else if (!e.submenu.empty()) {
      QMenu* sub = destino.addMenu(Q(e.etiqueta));
      LlenaMenuQt(*sub, e.submenu, alElegir);
      sub->setEnabled(e.activo);
    } else {
      QAction* a = destino.addAction(Q(e.etiqueta));
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
}

const QImage& PanelImagen::Bitmap() {
  Imagen& im = ventana_.imagen();
  if (!im.repintar && !bitmap_.isNull()) return bitmap_;
  const int w = static_cast<int>(im.Ancho()), h = static_cast<int>(im.Alto());
  if (w <= 0 || h <= 0) {
    bitmap_ = QImage();
  } else if (im.esPaleta) {
    bitmap_ = QImage(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
      auto* fila = reinterpret_cast<QRgb*>(bitmap_.scanLine(y));
      for (int x = 0; x < w; ++x) {
        const int v = std::clamp<int>(im.Pixel(static_cast<long>(x), static_cast<long>(y)), 0, 255);
        const size_t i = static_cast<size_t>(v) * 3;
        fila[x] = qRgb(im.paleta[i], im.paleta[i + 1], im.paleta[i + 2]);
      }
    }
  } else {
    bitmap_ = QImage(w, h, QImage::Format_Grayscale8);
    const std::vector<int16_t>& px = im.Pixeles();
    for (int y = 0; y < h; ++y) {
      uchar* fila = bitmap_.scanLine(y);
      const int16_t* fuente = px.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
      for (int x = 0; x < w; ++x) fila[x] = im.Gris(fuente[x]);
    }
  }
  im.repintar = 0;
  return bitmap_;
}

void PanelImagen::AjustaTamano() {
  const Imagen& im = ventana_.imagen();
  const double z = im.factorZoom > 0 ? im.factorZoom : 1.0;
  const QSize s(std::max(1, static_cast<int>(im.Ancho() * z)),
                std::max(1, static_cast<int>(im.Alto() * z)));
  setFixedSize(s);
}

QPoint PanelImagen::PixelEn(QPoint pos) const {
  const double z = ventana_.imagen().factorZoom > 0 ? ventana_.imagen().factorZoom : 1.0;
  return QPoint(static_cast<int>(pos.x() / z), static_cast<int>(pos.y() / z));
}

void PanelImagen::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QImage& b = Bitmap();
  if (b.isNull()) return;
  const Imagen& im = ventana_.imagen();
  const double z = im.factorZoom > 0 ? im.factorZoom : 1.0;
  // Zoom by sampling: every screen pixel takes the nearest image pixel.
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.drawImage(QRect(0, 0, width(), height()), b);
  // Reference points: red crosses; transformation points: green.
  for (const PuntoReferencia& r : im.puntos) {
    if (!r.definido) continue;
    p.setPen(QColor(255, 0, 0));
    const QPointF c((r.x + 0.5) * z, (r.y + 0.5) * z);
    p.drawLine(c - QPointF(5, 0), c + QPointF(5, 0));
    p.drawLine(c - QPointF(0, 5), c + QPointF(0, 5));
  }
  for (const PuntoTransformacion& t : im.puntosTrans) {
    if (!t.definido) continue;
    p.setPen(QColor(0, 255, 0));
    const QPointF c((t.x + 0.5) * z, (t.y + 0.5) * z);
    p.drawEllipse(c, 4, 4);
  }
  LienzoQt lienzo(p, z);
  PintarImagen(im, lienzo);
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
  const QSize tam = panel_->size() + QSize(24, 24);
  resize(std::clamp(tam.width(), 200, 900), std::clamp(tam.height(), 120, 700));
}

VentanaImagen::~VentanaImagen() {
  imagen_->AsignaObservador(nullptr);
}

void VentanaImagen::Repinta(int paneles) {
  if (paneles & kVentana) {
    panel_->AjustaTamano();
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
  } else if (id >= kCmdPrimerModulo && id <= kCmdUltimoModulo) {
    ComandoImagen(*imagen_, 0, id, 0);
    Repinta(kVentana | kDatos);
  } else {
    return false;
  }
  return true;
}

}  // namespace orva
