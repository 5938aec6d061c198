// The image data dialogs: the observation fields of one image or of several images.
#include "gui/DatosImagenQt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "shell/Configuracion.h"

namespace orva {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

struct Campo {
  std::string clave;
  QLineEdit* linea = nullptr;  // every key but TIPOOBJ
  QComboBox* combo = nullptr;  // TIPOOBJ
  std::string inicial;

  std::string Texto() const { return (linea ? linea->text() : combo->currentText()).toStdString(); }
  bool Cambiado() const { return Texto() != inicial; }
};

// A check box with its increment text, shown when its P flag is on.
struct Incremento {
  QCheckBox* caja = nullptr;
  QLineEdit* linea = nullptr;
  bool Activo() const { return caja && caja->isChecked(); }
  std::string Texto() const { return linea ? linea->text().toStdString() : std::string(); }
};

class DialogoDatos : public QDialog {
 public:
  DialogoDatos(QWidget* padre, const std::vector<Imagen*>& imagenes)
      : QDialog(padre), imagenes_(imagenes) {
    const bool varias = imagenes_.size() > 1;
    setWindowTitle(varias ? QStringLiteral("EDITAR DATOS PARA VARIAS IMAGENES")
                          : QStringLiteral("DATOS IMAGEN"));
    const Configuracion& cfg = Configuracion::Global();
    const DatosImagen& d = imagenes_.front()->datos;
    auto* forma = new QFormLayout;
    // An image without an object type has no analysis: the type is always offered then.
    const bool sinTipo = std::any_of(imagenes_.begin(), imagenes_.end(), [](const Imagen* im) {
      return im->TipoObjeto() <= kDesconocido;  // none (-1) or unknown
    });
    for (const std::string& clave : ClavesDatosImagen()) {
      const bool propuesto = sinTipo && clave == "TIPOOBJ";
      if (cfg.Valor("DatosImagen", "P" + clave) != "1" && !propuesto) continue;
      Campo c;
      c.clave = clave;
      c.inicial = TextoDatoImagen(d, clave);
      if (clave == "TIPOOBJ") {
        c.combo = new QComboBox(this);
        for (int t = 0; t < kNumTiposObjeto; ++t) c.combo->addItem(Q(PalabraTipoObjeto(t)));
        const int i = c.combo->findText(Q(c.inicial));
        // An image without a type shows the first keyword; it counts as unchanged.
        c.combo->setCurrentIndex(i < 0 ? 0 : i);
        c.inicial = c.combo->currentText().toStdString();
        c.combo->setObjectName(Q(clave));
        forma->addRow(Q(clave), c.combo);
        if (propuesto) {
          c.combo->setToolTip(Q(Cadena(12234)));
          c.combo->setFocus();
        }
      } else {
        c.linea = new QLineEdit(Q(c.inicial), this);
        c.linea->setObjectName(Q(clave));
        forma->addRow(Q(clave), c.linea);
      }
      campos_.push_back(c);
    }
    dias_ = CreaIncremento(forma, "INCFECHA", "Incrementar fecha (días)");
    hora_ = CreaIncremento(forma, "INCHORA", "Incrementar hora (h:m:s)");
    auto* botones = new QDialogButtonBox(this);
    botones->addButton(QStringLiteral("Aceptar"), QDialogButtonBox::AcceptRole)
        ->setObjectName(QStringLiteral("Aceptar"));
    botones->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    connect(botones, &QDialogButtonBox::accepted, this, [this] { Aplica(); });
    connect(botones, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* v = new QVBoxLayout(this);
    v->addLayout(forma);
    v->addWidget(botones);
  }

 private:
  Incremento CreaIncremento(QFormLayout* forma, const std::string& clave, const char* etiqueta) {
    Incremento inc;
    const Configuracion& cfg = Configuracion::Global();
    if (cfg.Valor("DatosImagen", "P" + clave) != "1") return inc;
    inc.caja = new QCheckBox(QString::fromUtf8(etiqueta), this);
    inc.caja->setObjectName(Q("C" + clave));
    inc.linea = new QLineEdit(Q(cfg.Valor("DatosImagen", clave)), this);
    inc.linea->setObjectName(Q(clave));
    forma->addRow(inc.caja, inc.linea);
    return inc;
  }

  void Aplica() {
    std::vector<DatosImagen> nuevos;
    std::vector<int> tipos;
    try {
      // Everything is computed on copies first: an error leaves every image as it was.
      for (const Imagen* im : imagenes_) {
        DatosImagen d = im->datos;
        for (const Campo& c : campos_) {
          // A field left as shown is left alone: a default shown is not a value given.
          if (!c.Cambiado()) continue;
          AsignaDatoImagen(d, c.clave, c.Texto());
        }
        if (dias_.Activo() || hora_.Activo())
          d.fechaHora.Incrementa(dias_.Activo(), dias_.Texto(), hora_.Activo(), hora_.Texto());
        tipos.push_back(d.tipoObjeto);
        nuevos.push_back(std::move(d));
      }
    } catch (const JError& e) {
      QMessageBox::warning(this, windowTitle(), Q(e.Mensaje()));
      return;
    }
    bool tipoCambiado = false;
    for (const Campo& c : campos_) {
      if (c.combo && c.Cambiado()) tipoCambiado = true;
    }
    for (size_t i = 0; i < imagenes_.size(); ++i) {
      Imagen& im = *imagenes_[i];
      const int tipoAnterior = im.datos.tipoObjeto;
      im.datos = std::move(nuevos[i]);
      im.datos.tipoObjeto = tipoAnterior;
      // The type goes through CambiaTipoObjeto, which also replaces the analysis data.
      if (tipoCambiado && tipos[i] != tipoAnterior) im.CambiaTipoObjeto(tipos[i]);
      // Only the mark: the pixels did not change, so no statistics are recomputed.
      im.ImagenPixeles::Modificada(1);
      im.RepintaPaneles(1);
    }
    Configuracion& cfg = Configuracion::Global();
    if (dias_.linea) cfg.Asigna("DatosImagen", "INCFECHA", dias_.Texto());
    if (hora_.linea) cfg.Asigna("DatosImagen", "INCHORA", hora_.Texto());
    accept();
  }

  std::vector<Imagen*> imagenes_;
  std::vector<Campo> campos_;
  Incremento dias_;
  Incremento hora_;
};

}  // namespace

int DialogoDatosImagen(QWidget* padre, const std::vector<Imagen*>& imagenes) {
  if (imagenes.empty()) return 0;
  DialogoDatos dialogo(padre, imagenes);
  return dialogo.exec() == QDialog::Accepted ? 1 : 0;
}

}  // namespace orva
