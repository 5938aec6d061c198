// The point-pair transform commands of the desktop: the reference's choice, then one macro line.
#include "gui/TransGeneralQt.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/JError.h"
#include "core/IdsComandos.h"
#include "core/Imagen.h"
#include "gui/DialogoQt.h"
#include "gui/Marco.h"
#include "gui/Operaciones.h"
#include "gui/VentanaImagen.h"
#include "stacking/Transformacion.h"

namespace orva {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

bool TienePuntos(const Imagen& im, int puntos) {
  for (int i = 0; i < puntos; ++i) {
    if (!im.puntosTrans[static_cast<size_t>(i)].definido) return false;
  }
  return true;
}

constexpr int kAnchoDialogo = 360;

// The list of candidate references; the chosen one, or nullptr when cancelled.
VentanaImagen* EligeReferencia(Marco& marco, const std::vector<VentanaImagen*>& candidatas) {
  QDialog d(&marco);
  d.setWindowTitle(QStringLiteral("REFERENCIA TRANS. GENERAL"));
  d.setMinimumWidth(kAnchoDialogo);  // room for the title and the image names
  auto* capa = new QVBoxLayout(&d);
  capa->addWidget(new QLabel(QStringLiteral("Imagen de referencia:")));
  auto* lista = new QListWidget;
  lista->setObjectName("Referencias");
  for (VentanaImagen* w : candidatas) lista->addItem(Q(w->imagen().nombreVentana));
  lista->setCurrentRow(0);
  capa->addWidget(lista);
  auto* caja = BotonesAceptarCancelar();
  capa->addWidget(caja);
  QObject::connect(caja, &QDialogButtonBox::accepted, &d, &QDialog::accept);
  QObject::connect(caja, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  QObject::connect(lista, &QListWidget::itemDoubleClicked, &d, &QDialog::accept);
  if (d.exec() != QDialog::Accepted || lista->currentRow() < 0) return nullptr;
  return candidatas[static_cast<size_t>(lista->currentRow())];
}

}  // namespace

bool ComandoTransGeneral(Marco& marco, VentanaImagen& v, int id) {
  const int puntos = id == kCmdTransGeneral2   ? 2
                     : id == kCmdTransGeneral3 ? 3
                     : id == kCmdTransGeneral4 ? 4
                                               : 0;
  if (puntos == 0) return false;
  const Imagen& im = v.imagen();
  if (!TienePuntos(im, puntos)) throw JError(12246, im.nombreVentana, std::to_string(puntos));
  std::vector<VentanaImagen*> candidatas;
  for (VentanaImagen* w : marco.Ventanas()) {
    if (w != &v && TienePuntos(w->imagen(), puntos)) candidatas.push_back(w);
  }
  if (candidatas.empty()) throw JError(12247, std::to_string(puntos));
  VentanaImagen* ref = EligeReferencia(marco, candidatas);
  if (!ref) return true;
  const Imagen& r = ref->imagen();
  const Transformacion2D t = TransformacionTransGeneral(im, r, puntos);
  VentanaImagen* hecha = EjecutaLineaOperacion(
      marco, v, LineaTransGeneral(t, r.Ancho(), r.Alto()), "TRANS. GENERAL", 12051);
  // The transformed image, not the reference, is the one the user looks at next.
  if (auto* s = qobject_cast<QMdiSubWindow*>(hecha ? hecha->parentWidget() : nullptr)) {
    if (QMdiArea* area = s->mdiArea()) area->setActiveSubWindow(s);
  }
  return true;
}

}  // namespace orva
