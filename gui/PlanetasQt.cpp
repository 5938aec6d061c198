// The desktop side of the planetary module.
#include "gui/PlanetasQt.h"

#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <utility>

#include "base/Cadenas.h"
#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "core/Ajustes.h"
#include "core/Imagen.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "planetary/ModuloPlanetas.h"

namespace orva {
namespace {

constexpr int kAnchoGrafico = 720, kAltoGrafico = 440;
constexpr int kTituloCorte = 12550;
constexpr int kEtiquetaGuardar = 12551;
constexpr int kTituloDetalles = 12552;

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// A CSV file name from a save dialog (the desktop's own, so tests can fill it); empty when
// cancelled.
QString PideCsv(QWidget* padre, const QString& titulo) {
  QFileDialog d(padre, titulo);
  d.setOption(QFileDialog::DontUseNativeDialog);
  d.setAcceptMode(QFileDialog::AcceptSave);
  d.setNameFilter("CSV (*.csv)");
  d.setDefaultSuffix("csv");
  if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
  return d.selectedFiles().front();
}

}  // namespace

GraficoCorte::GraficoCorte(std::vector<MuestraCorte> muestras, bool corregido,
                           const QString& titulo, QWidget* padre)
    : QWidget(padre, Qt::Window), muestras_(std::move(muestras)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName("VentanaCortePlaneta");
  setWindowTitle(titulo);
  auto* valor = new QLineSeries;
  valor->setName("Valor");
  QLineSeries* minnaert = corregido ? new QLineSeries : nullptr;
  if (minnaert) minnaert->setName("Minnaert");
  for (const MuestraCorte& m : muestras_) {
    valor->append(m.distancia, m.valor);
    if (minnaert) minnaert->append(m.distancia, m.corregido);
  }
  auto* grafico = new QChart;
  grafico->addSeries(valor);
  if (minnaert) grafico->addSeries(minnaert);
  auto* ejeX = new QValueAxis;
  ejeX->setTitleText("Pixel");
  auto* ejeY = new QValueAxis;
  ejeY->setTitleText("Valor");
  grafico->addAxis(ejeX, Qt::AlignBottom);
  grafico->addAxis(ejeY, Qt::AlignLeft);
  for (QAbstractSeries* s : grafico->series()) {
    s->attachAxis(ejeX);
    s->attachAxis(ejeY);
  }
  vista_ = new QChartView(grafico, this);
  vista_->setObjectName("GraficoCorte");
  vista_->setRenderHint(QPainter::Antialiasing);
  auto* capa = new QVBoxLayout(this);
  capa->addWidget(vista_, 1);
  auto* guardar = new QPushButton(Q(Cadena(kEtiquetaGuardar)), this);
  guardar->setObjectName("GuardarCorte");
  connect(guardar, &QPushButton::clicked, this, [this] {
    try {
      const QString archivo = PideCsv(this, windowTitle());
      if (!archivo.isEmpty()) EscribeArchivoSeguro(archivo.toStdString(), CsvCorte(muestras_));
    } catch (const JError& e) {
      QMessageBox::warning(this, windowTitle(), Q(e.Mensaje()));
    }
  });
  capa->addWidget(guardar);
  resize(kAnchoGrafico, kAltoGrafico);
}

bool ComandoPlanetasQt(Marco& marco, VentanaImagen& v, int id) {
  if (id != kCorteMeridiano && id != kCorteEcuador && id != kCorteLinea &&
      id != kExportarDetalles) {
    return false;
  }
  const Imagen& im = v.imagen();
  const auto* d = dynamic_cast<const DatosPlaneta*>(&im.Analisis());
  if (!d) return false;
  if (id == kExportarDetalles) {
    const QString archivo = PideCsv(&marco, Q(Cadena(kTituloDetalles)));
    if (!archivo.isEmpty()) EscribeArchivoSeguro(archivo.toStdString(), CsvDetalles(*d));
    return true;
  }
  std::vector<MuestraCorte> muestras = CorteDisco(im, id);
  const bool corregido = !AjustesActuales().Valor("PREFPLANETA", "Minnaert").empty();
  auto* g = new GraficoCorte(std::move(muestras), corregido,
                             Q(Cadena(kTituloCorte) + " - " + im.nombreVentana), &marco);
  g->show();
  return true;
}

}  // namespace orva
