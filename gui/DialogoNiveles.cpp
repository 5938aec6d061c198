// The levels dialog.
#include "gui/DialogoNiveles.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <optional>

#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "core/Niveles.h"

namespace orva {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The presets' percentiles and the part of the pixels the histogram's range always shows.
constexpr double kPercentilBajo = 1.0, kPercentilAlto = 99.5;
constexpr double kRangoBajo = 0.5, kRangoAlto = 99.5;
// How close (screen pixels) a press must be to a marker to take it.
constexpr int kCaptura = 8;
constexpr int kMinPixel = -32768, kMaxPixel = 32767;

void Repinta(Imagen& im) {
  im.repintar = 1;
  if (ObservadorImagen* o = im.Observador()) o->Repinta(ObservadorImagen::kVentana);
}

}  // namespace

HistogramaNiveles::HistogramaNiveles(const Imagen& imagen, QWidget* padre)
    : QWidget(padre), imagen_(imagen) {
  setObjectName("HistogramaNiveles");
  setMinimumSize(240, 100);
  negro_ = imagen.Negro();
  blanco_ = imagen.Blanco();
  AjustaRango();
}

void HistogramaNiveles::AjustaRango() {
  int lo = std::min({imagen_.Percentil(kRangoBajo), negro_, blanco_});
  int hi = std::max({imagen_.Percentil(kRangoAlto), negro_, blanco_});
  const int margen = std::max(1, (hi - lo) / 20);
  desde_ = std::max<int>(lo - margen, std::min<int>(imagen_.Minimo(), lo));
  hasta_ = std::min<int>(hi + margen, std::max<int>(imagen_.Maximo(), hi));
  if (hasta_ <= desde_) hasta_ = desde_ + 1;
}

void HistogramaNiveles::FijaNiveles(int negro, int blanco) {
  negro_ = negro;
  blanco_ = blanco;
  AjustaRango();
  update();
}

double HistogramaNiveles::Columna(double valor) const {
  return (valor - desde_) / (hasta_ - desde_) * std::max(1, width() - 1);
}

int HistogramaNiveles::Valor(double columna) const {
  const double v = desde_ + columna / std::max(1, width() - 1) * (hasta_ - desde_);
  return static_cast<int>(std::lround(std::clamp(v, double{kMinPixel}, double{kMaxPixel})));
}

void HistogramaNiveles::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  const int w = width(), h = height();
  // Counts per column on a logarithmic scale, so the faint tail shows beside the sky peak.
  std::vector<double> columnas(static_cast<size_t>(w), 0.0);
  for (int v = std::max<int>(desde_, imagen_.PrimerHistograma());
       v <= std::min<int>(hasta_, imagen_.UltimoHistograma()); ++v) {
    const int c = std::clamp(static_cast<int>(Columna(v)), 0, w - 1);
    columnas[static_cast<size_t>(c)] += imagen_.Histograma(v);
  }
  double maximo = 0;
  for (double& c : columnas) {
    c = std::log10(c + 1.0);
    maximo = std::max(maximo, c);
  }
  p.setPen(QColor(60, 60, 60));
  for (int x = 0; x < w && maximo > 0; ++x) {
    const int alto = static_cast<int>(columnas[static_cast<size_t>(x)] / maximo * (h - 4));
    if (alto > 0) p.drawLine(x, h - 1, x, h - 1 - alto);
  }
  // The gray ramp between the markers, then the markers: black and white handles.
  const int xn = static_cast<int>(std::lround(Columna(negro_)));
  const int xb = static_cast<int>(std::lround(Columna(blanco_)));
  p.setPen(QPen(QColor(0, 0, 0), 2));
  p.drawLine(xn, 0, xn, h);
  p.setPen(QPen(QColor(200, 0, 0), 2));
  p.drawLine(xb, 0, xb, h);
  p.setBrush(Qt::black);
  p.setPen(Qt::black);
  p.drawRect(xn - 4, 0, 8, 8);
  p.setBrush(Qt::white);
  p.drawRect(xb - 4, 0, 8, 8);
  p.setPen(Qt::darkGray);
  p.drawText(QRect(2, 2, w - 4, 14), Qt::AlignLeft, QString::number(desde_));
  p.drawText(QRect(2, 2, w - 4, 14), Qt::AlignRight, QString::number(hasta_));
}

void HistogramaNiveles::mousePressEvent(QMouseEvent* e) {
  const double x = e->position().x();
  const double dn = std::abs(x - Columna(negro_)), db = std::abs(x - Columna(blanco_));
  if (std::min(dn, db) > kCaptura) {
    arrastre_ = 0;
    return;
  }
  arrastre_ = dn <= db ? 1 : 2;
}

void HistogramaNiveles::mouseMoveEvent(QMouseEvent* e) {
  if (!arrastre_) return;
  const int v = Valor(std::clamp(e->position().x(), 0.0, static_cast<double>(width() - 1)));
  if (arrastre_ == 1) {
    negro_ = v;
  } else {
    blanco_ = v;
  }
  update();
  emit Movidos(negro_, blanco_);
}

bool DialogoNiveles(QWidget* padre, Imagen& imagen, const std::vector<Imagen*>& otras) {
  struct Antes {
    Imagen* im;
    int negro, blanco;
  };
  std::vector<Antes> antes{{&imagen, imagen.Negro(), imagen.Blanco()}};
  for (Imagen* o : otras) antes.push_back({o, o->Negro(), o->Blanco()});

  QDialog d(padre);
  d.setObjectName("DialogoNiveles");
  d.setWindowTitle(Q(Cadena(12410)));
  auto* caja = new QVBoxLayout(&d);
  auto* histo = new HistogramaNiveles(imagen);
  caja->addWidget(histo, 1);
  auto* campos = new QFormLayout;
  auto* negro = new QSpinBox;
  auto* blanco = new QSpinBox;
  negro->setObjectName("Negro");
  blanco->setObjectName("Blanco");
  for (QSpinBox* s : {negro, blanco}) {
    s->setRange(kMinPixel, kMaxPixel);
    s->setKeyboardTracking(false);
  }
  negro->setValue(imagen.Negro());
  blanco->setValue(imagen.Blanco());
  campos->addRow(Q(Cadena(12411)), negro);
  campos->addRow(Q(Cadena(12412)), blanco);
  caja->addLayout(campos);
  auto* presets = new QHBoxLayout;
  const std::pair<int, EleccionNiveles> botones[] = {
      {12413, {MetodoNiveles::kMinMax, 0, 100}},
      {12414, {MetodoNiveles::kPercentil, kPercentilBajo, kPercentilAlto}},
      {12415, {MetodoNiveles::kZScale, 0, 100}},
  };
  auto* todas = new QCheckBox(Q(Cadena(12416)));
  todas->setObjectName("AplicarTodas");
  todas->setEnabled(!otras.empty());
  // The last preset chosen, until a level is set by hand: "apply to all" then gives every image
  // its own levels by the same method rather than these numbers.
  std::optional<EleccionNiveles> metodo;
  bool sincronizando = false;

  auto aplica = [&](int n, int b) {
    imagen.FijaNiveles(n, b);
    Repinta(imagen);
    for (const Antes& a : antes) {
      if (a.im == &imagen) continue;
      if (todas->isChecked()) {
        const Niveles propios = metodo ? CalculaNiveles(*a.im, *metodo) : Niveles{n, b};
        a.im->FijaNiveles(propios.negro, propios.blanco);
      } else {
        a.im->FijaNiveles(a.negro, a.blanco);
      }
      Repinta(*a.im);
    }
  };
  auto muestra = [&](int n, int b) {
    sincronizando = true;
    negro->setValue(n);
    blanco->setValue(b);
    sincronizando = false;
    histo->FijaNiveles(n, b);
    aplica(n, b);
  };
  for (const auto& [id, eleccion] : botones) {
    auto* boton = new QPushButton(Q(Cadena(id)));
    boton->setAutoDefault(false);
    presets->addWidget(boton);
    const EleccionNiveles e = eleccion;
    QObject::connect(boton, &QPushButton::clicked, &d, [&, e] {
      metodo = e;
      const Niveles n = CalculaNiveles(imagen, e);
      muestra(n.negro, n.blanco);
    });
  }
  caja->addLayout(presets);
  caja->addWidget(todas);
  auto aMano = [&] {
    if (sincronizando) return;
    metodo.reset();
    histo->FijaNiveles(negro->value(), blanco->value());
    aplica(negro->value(), blanco->value());
  };
  QObject::connect(negro, &QSpinBox::valueChanged, &d, aMano);
  QObject::connect(blanco, &QSpinBox::valueChanged, &d, aMano);
  QObject::connect(todas, &QCheckBox::toggled, &d,
                   [&] { aplica(negro->value(), blanco->value()); });
  QObject::connect(histo, &HistogramaNiveles::Movidos, &d, [&](int n, int b) {
    metodo.reset();
    sincronizando = true;
    negro->setValue(n);
    blanco->setValue(b);
    sincronizando = false;
    aplica(n, b);
  });
  auto* aceptar = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(aceptar, &QDialogButtonBox::accepted, &d, &QDialog::accept);
  QObject::connect(aceptar, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  caja->addWidget(aceptar);
  if (d.exec() == QDialog::Accepted) return true;
  for (const Antes& a : antes) {
    a.im->FijaNiveles(a.negro, a.blanco);
    Repinta(*a.im);
  }
  return false;
}

}  // namespace orva
