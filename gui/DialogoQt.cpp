// Widgets for the dialog tables: one control per item, the engine told of every change.
#include "gui/DialogoQt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <optional>

#include "base/Cadenas.h"
#include "base/Numeros.h"
#include "shell/Idioma.h"

namespace orva {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

std::string Etiqueta(const DisenoDialogo& d, int id) {
  for (const ControlDiseno& c : d.controles) {
    if (c.id == id) return TextoMenu(c.etiqueta);
  }
  return {};
}

}  // namespace

VistaDialogoQt::VistaDialogoQt(const std::vector<ItemDialogo>& tabla, const DisenoDialogo& diseno,
                               QWidget* padre)
    : QDialog(padre) {
  setWindowTitle(Q(TextoMenu(diseno.titulo)));
  auto* principal = new QVBoxLayout(this);
  auto* columnas = new QHBoxLayout;
  principal->addLayout(columnas);
  QFormLayout* forma = nullptr;
  int filas = 0;
  auto nuevaFila = [&]() -> QFormLayout* {
    if (!forma || (diseno.filasPorColumna > 0 && filas >= diseno.filasPorColumna)) {
      forma = new QFormLayout;
      columnas->addLayout(forma);
      filas = 0;
    }
    ++filas;
    return forma;
  };

  for (const ItemDialogo& it : tabla) {
    if (it.tipo == kItemFin) break;
    const int id = it.id;
    const QString texto = Q(Etiqueta(diseno, id));
    switch (it.tipo) {
      case kItemTextoValor:
      case kItemTextoCadena: {
        auto* l = new QLabel;
        controles_[id] = l;
        nuevaFila()->addRow(texto, l);
        break;
      }
      case kItemEdicion:
      case kItemEdicionViva: {
        auto* e = new QLineEdit;
        controles_[id] = e;
        nuevaFila()->addRow(texto, e);
        connect(e, &QLineEdit::textEdited, this, [this, id] { Notifica(id, kCambioTexto); });
        if (it.tipo == kItemEdicion) {
          connect(e, &QLineEdit::editingFinished, this, [this, id] { Notifica(id, kPierdeFoco); });
        }
        break;
      }
      case kItemCasilla: {
        auto* c = new QCheckBox(texto);
        controles_[id] = c;
        nuevaFila()->addRow(c);
        connect(c, &QCheckBox::clicked, this, [this, id] { Notifica(id, kClic); });
        break;
      }
      case kItemRadio: {
        auto* g = new QGroupBox(Q(Etiqueta(diseno, -id)));
        auto* caja = new QVBoxLayout(g);
        for (int b = it.id; b <= it.id2; ++b) {
          auto* r = new QRadioButton(Q(Etiqueta(diseno, b)));
          r->setAutoExclusive(false);  // the engine checks one button at a time
          controles_[b] = r;
          caja->addWidget(r);
          connect(r, &QRadioButton::clicked, this, [this, b] { Notifica(b, kClic); });
        }
        nuevaFila()->addRow(g);
        break;
      }
      case kItemLista:
      case kItemListaMultiple: {
        auto* l = new QListWidget;
        if (it.tipo == kItemListaMultiple) l->setSelectionMode(QAbstractItemView::MultiSelection);
        controles_[id] = l;
        nuevaFila()->addRow(texto, l);
        connect(l, &QListWidget::itemSelectionChanged, this,
                [this, id] { Notifica(id, kCambioSeleccion); });
        break;
      }
      case kItemDesplegable:
      case kItemComboEdicion: {
        auto* c = new QComboBox;
        c->setEditable(it.tipo == kItemComboEdicion);
        controles_[id] = c;
        nuevaFila()->addRow(texto, c);
        connect(c, &QComboBox::activated, this, [this, id] { Notifica(id, kCambioSeleccion); });
        if (c->lineEdit()) {
          connect(c->lineEdit(), &QLineEdit::textEdited, this,
                  [this, id] { Notifica(id, kCambioTexto); });
        }
        break;
      }
      case kItemBoton: {
        auto* b = new QPushButton(texto);
        b->setAutoDefault(false);
        controles_[id] = b;
        nuevaFila()->addRow(b);
        connect(b, &QPushButton::clicked, this, [this, id] { Notifica(id, kClic); });
        break;
      }
      case kItemPropio: {
        auto* l = new QLabel(texto);
        controles_[id] = l;
        nuevaFila()->addRow(l);
        break;
      }
      default:
        break;
    }
  }
  QDialogButtonBox* botones = BotonesAceptarCancelar();
  connect(botones, &QDialogButtonBox::accepted, this, &VistaDialogoQt::accept);
  connect(botones, &QDialogButtonBox::rejected, this, &VistaDialogoQt::reject);
  principal->addWidget(botones);
  for (auto& [id, w] : controles_) w->setObjectName(QStringLiteral("c%1").arg(id));
}

QWidget* VistaDialogoQt::Control(int id) const {
  auto it = controles_.find(id);
  return it == controles_.end() ? nullptr : it->second;
}

void VistaDialogoQt::Notifica(int id, EventoDialogo evento) {
  if (motor_) motor_->Notifica(id, evento);
}

void VistaDialogoQt::PonTexto(int id, const std::string& texto) {
  QWidget* w = Control(id);
  if (!w) return;
  const QSignalBlocker bloqueo(w);
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    if (e->text() != Q(texto)) e->setText(Q(texto));
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(Q(texto));
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    if (c->isEditable()) {
      c->setEditText(Q(texto));
    } else {
      c->setCurrentIndex(c->findText(Q(texto)));
    }
  }
}

std::string VistaDialogoQt::Texto(int id) const {
  QWidget* w = Control(id);
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdString();
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText().toStdString();
  return {};
}

void VistaDialogoQt::PonMarca(int id, bool marcada) {
  if (auto* b = qobject_cast<QAbstractButton*>(Control(id))) {
    const QSignalBlocker bloqueo(b);
    b->setChecked(marcada);
  }
}

bool VistaDialogoQt::Marca(int id) const {
  auto* b = qobject_cast<QAbstractButton*>(Control(id));
  return b && b->isChecked();
}

void VistaDialogoQt::PonEntradas(int id, const std::vector<std::string>& entradas) {
  QWidget* w = Control(id);
  if (!w) return;
  const QSignalBlocker bloqueo(w);
  QStringList lista;
  for (const std::string& e : entradas) lista << Q(e);
  if (auto* l = qobject_cast<QListWidget*>(w)) {
    l->clear();
    l->addItems(lista);
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    c->clear();
    c->addItems(lista);
    c->setCurrentIndex(-1);
  }
}

void VistaDialogoQt::Selecciona(int id, const std::string& texto) {
  QWidget* w = Control(id);
  if (!w) return;
  const QSignalBlocker bloqueo(w);
  if (auto* l = qobject_cast<QListWidget*>(w)) {
    const auto encontrados = l->findItems(Q(texto), Qt::MatchExactly);
    if (l->selectionMode() != QAbstractItemView::MultiSelection) l->clearSelection();
    for (QListWidgetItem* i : encontrados) i->setSelected(true);
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    c->setCurrentIndex(c->findText(Q(texto)));
  }
}

std::vector<std::string> VistaDialogoQt::Seleccionadas(int id) const {
  std::vector<std::string> r;
  QWidget* w = Control(id);
  if (auto* l = qobject_cast<QListWidget*>(w)) {
    for (int i = 0; i < l->count(); ++i) {
      if (l->item(i)->isSelected()) r.push_back(l->item(i)->text().toStdString());
    }
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    if (c->currentIndex() >= 0) r.push_back(c->currentText().toStdString());
  }
  return r;
}

void VistaDialogoQt::Foco(int id) {
  QWidget* w = Control(id);
  if (!w) return;
  w->setFocus();
  // The refused text is selected, so typing replaces it.
  if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
  if (auto* c = qobject_cast<QComboBox*>(w); c && c->lineEdit()) c->lineEdit()->selectAll();
}

void VistaDialogoQt::Titulo(const std::string& titulo) {
  setWindowTitle(Q(titulo));
}

void VistaDialogoQt::Mensaje(const std::string& texto) {
  QMessageBox::warning(this, windowTitle(), Q(texto));
}

void VistaDialogoQt::accept() {
  // The engine is let go first: closing the window takes the focus from the fields, and a
  // field's leave check must not report after the dialog has ended.
  // An illegal field keeps the dialog open, the message shown and the field selected.
  if (motor_ && motor_->PrimerIlegal() != 0) return;
  MotorDialogo* motor = motor_;
  motor_ = nullptr;
  if (motor && motor->Acepta()) {
    QDialog::accept();
  } else {
    QDialog::reject();
  }
}

void VistaDialogoQt::reject() {
  MotorDialogo* motor = motor_;
  motor_ = nullptr;
  if (motor) motor->Cancela();
  QDialog::reject();
}

int EjecutarDialogo(std::vector<ItemDialogo> tabla, const DisenoDialogo& diseno, int idTitulo,
                    QWidget* padre) {
  std::map<int, std::string> etiquetas;
  VistaDialogoQt vista(tabla, diseno, padre);
  // The range messages name each field by its own label.
  for (const ControlDiseno& c : diseno.controles) {
    if (c.id > 0) etiquetas[c.id] = c.etiqueta;
  }
  MotorDialogo motor(std::move(tabla), vista);
  for (const auto& [id, etiqueta] : etiquetas) motor.PonEtiqueta(id, etiqueta);
  if (!motor.Abre(idTitulo)) return 0;
  vista.Conecta(&motor);
  return vista.exec() == QDialog::Accepted ? 1 : 0;
}

bool CampoRealValido(QLineEdit* campo, const std::string& etiqueta, double minimo, double maximo) {
  const std::optional<double> v = LeeRealComprobado(campo->text().toStdString());
  if (v && *v >= minimo && *v <= maximo) return true;
  auto texto = [](double x) { return QString::number(x).toStdString(); };
  QMessageBox::warning(campo->window(), Q(Cadena(12000)),
                       Q(Mensaje(12070, etiqueta, texto(minimo), texto(maximo))));
  campo->setFocus();
  campo->selectAll();
  return false;
}

QDialogButtonBox* BotonesAceptarCancelar() {
  auto* botones = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  botones->button(QDialogButtonBox::Ok)->setText(Q(TextoMenu("Aceptar")));
  botones->button(QDialogButtonBox::Cancel)->setText(Q(TextoMenu("Cancelar")));
  botones->button(QDialogButtonBox::Ok)->setObjectName("b1");
  botones->button(QDialogButtonBox::Cancel)->setObjectName("b2");
  return botones;
}

}  // namespace orva
