// The desktop side of the Sun's module.
#include "gui/SolQt.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "shell/Configuracion.h"
#include "solar/ModuloSol.h"

namespace orva {

namespace {

constexpr const char* kSeccion = "PREFANASOL";
constexpr int kTituloPreferencias = 14005;
constexpr int kTituloResultados = 12512;
constexpr int kTituloTabla = 12513;
constexpr int kEtiquetaGuardar = 12507;
constexpr int kAnchoResultados = 760, kAltoResultados = 520;

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The settings in the dialog: numeric ones as text fields, the two switches as check boxes.
constexpr std::array<const char*, 8> kNumericos = {
    "RadioBusCentro", "RadioFotom",     "RadioFotomIntVen", "TamVenus",
    "NumZonasSol",    "NumZonasCorona", "SolVenResolu",     "SolVenExtra"};
constexpr std::array<const char*, 2> kInterruptores = {"BusquedaAutom", "TamVenusFijo"};

void GuardaTabla(QWidget* padre, const DatosSol& d) {
  const QString archivo =
      QFileDialog::getSaveFileName(padre, Q(Cadena(kTituloTabla)), QString(), "CSV (*.csv);;*");
  if (archivo.isEmpty() || !d.resultado) return;
  GuardaTablaSol(archivo.toStdString(), *d.resultado, d.parametros);
}

// The results window: the data-pane lines and one table row per zone.
class VentanaResultadosSol : public QDialog {
 public:
  VentanaResultadosSol(const DatosSol& d, const std::string& nombre, QWidget* padre)
      : QDialog(padre), datos_(d) {
    setObjectName("ResultadosSol");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Q(Cadena(kTituloResultados) + " - " + nombre));
    auto* capa = new QVBoxLayout(this);
    auto* texto = new QPlainTextEdit(this);
    texto->setObjectName("LineasSol");
    texto->setReadOnly(true);
    for (const std::string& l : LineasSol(*d.resultado, d.parametros)) texto->appendPlainText(Q(l));
    capa->addWidget(texto);
    const ResultadoSol& r = *d.resultado;
    auto* tabla = new QTableWidget(static_cast<int>(r.zonas.size()), 9, this);
    tabla->setObjectName("TablaSol");
    tabla->setHorizontalHeaderLabels(
        {"region", "r_min", "r_max", "mu", "pixeles", "media", "relativa", "lineal", "cuadratica"});
    for (int i = 0; i < static_cast<int>(r.zonas.size()); ++i) {
      const ZonaSol& z = r.zonas[static_cast<size_t>(i)];
      const auto celda = [&](int c, const QString& t) {
        tabla->setItem(i, c, new QTableWidgetItem(t));
      };
      celda(0, z.corona ? "corona" : "disco");
      celda(1, QString::number(z.rMin, 'f', 3));
      celda(2, QString::number(z.rMax, 'f', 3));
      celda(5, QString::number(z.media, 'f', 1));
      celda(4, QString::number(z.pixeles));
      celda(6, QString::number(z.relativa, 'f', 4));
      if (!z.corona) {
        celda(3, QString::number(z.mu, 'f', 4));
        celda(7, QString::number(r.ley.Lineal(z.mu), 'f', 4));
        if (r.ley.cuadratica) celda(8, QString::number(r.ley.Cuadratica(z.mu), 'f', 4));
      }
    }
    tabla->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    capa->addWidget(tabla, 1);
    auto* guardar = new QPushButton(Q(Cadena(kEtiquetaGuardar)), this);
    connect(guardar, &QPushButton::clicked, this, [this] {
      try {
        GuardaTabla(this, datos_);
      } catch (const JError& e) {
        QMessageBox::warning(this, windowTitle(), Q(e.Mensaje()));
      }
    });
    capa->addWidget(guardar);
    resize(kAnchoResultados, kAltoResultados);
  }

 private:
  DatosSol datos_;  // a copy: the window outlives changes of the image
};

}  // namespace

bool DialogoPreferenciasSol(QWidget* padre) {
  Configuracion& cfg = Configuracion::Global();
  QDialog d(padre);
  d.setObjectName("PreferenciasSol");
  d.setWindowTitle(Q(Cadena(kTituloPreferencias)));
  auto* forma = new QFormLayout(&d);
  std::vector<QLineEdit*> campos;
  for (const char* clave : kNumericos) {
    auto* e = new QLineEdit(Q(cfg.Valor(kSeccion, clave)), &d);
    e->setObjectName(clave);
    forma->addRow(clave, e);
    campos.push_back(e);
  }
  std::vector<QCheckBox*> casillas;
  for (const char* clave : kInterruptores) {
    auto* c = new QCheckBox(clave, &d);
    c->setObjectName(clave);
    const std::string& v = cfg.Valor(kSeccion, clave);
    // Automatic search is on unless set to 0.
    c->setChecked(std::string_view(clave) == "BusquedaAutom" ? v != "0" : v == "1");
    forma->addRow(c);
    casillas.push_back(c);
  }
  auto* botones = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
  botones->button(QDialogButtonBox::Ok)->setText("Aceptar");
  botones->button(QDialogButtonBox::Cancel)->setText("Cancelar");
  QObject::connect(botones, &QDialogButtonBox::accepted, &d, &QDialog::accept);
  QObject::connect(botones, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  forma->addRow(botones);
  if (d.exec() != QDialog::Accepted) return false;
  for (size_t i = 0; i < kNumericos.size(); ++i)
    cfg.Asigna(kSeccion, kNumericos[i], campos[i]->text().trimmed().toStdString());
  for (size_t i = 0; i < kInterruptores.size(); ++i)
    cfg.Asigna(kSeccion, kInterruptores[i], casillas[i]->isChecked() ? "1" : "0");
  return true;
}

bool ComandoSolQt(Marco& marco, VentanaImagen& v, int id) {
  switch (id) {
    case kPreferenciasSol:
      DialogoPreferenciasSol(&marco);
      return true;
    case kResultadosSol:
    case kGuardarTablaSol: {
      const DatosSol* d = DatosSolDe(std::as_const(v.imagen()));
      if (!d || !d->resultado) throw JError(12504);
      if (id == kGuardarTablaSol) {
        GuardaTabla(&marco, *d);
      } else {
        auto* w = new VentanaResultadosSol(*d, v.imagen().nombreVentana, &marco);
        w->show();
      }
      return true;
    }
    default:
      return false;
  }
}

bool ComandoAplicacionSol(QWidget* padre, int id) {
  for (const auto& m : Modulos()) {
    const auto* sol = dynamic_cast<const ModuloSol*>(m.get());
    if (!sol) continue;
    for (int propio : sol->IdsPreferencias()) {
      if (propio == id) {
        DialogoPreferenciasSol(padre);
        return true;
      }
    }
  }
  return false;
}

}  // namespace orva
