// The dialogs of the object and observatory lists.
#include "gui/ListasQt.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/JError.h"
#include "core/Imagen.h"
#include "gui/DialogoQt.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "shell/Configuracion.h"
#include "shell/Idioma.h"
#include "stellar/ListasObjetos.h"

namespace orva {
namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

using Campos = std::vector<std::string>;

// What the dialog needs of one kind of list, with the entries as their text fields.
struct TipoLista {
  std::string titulo;               // in Spanish, through TextoMenu
  std::vector<std::string> claves;  // the form's labels, in file order
  // The fields of an entry as the file writes them; raises the entry's JError.
  std::function<Campos(const Campos&)> valida;
  std::function<void(const Campos&, DatosImagen&)> aplica;
  std::function<void(const std::vector<Campos>&)> guarda;
};

// The form of one entry; false when cancelled. The fields come back as the list writes them.
bool EditaEntrada(QWidget* padre, const TipoLista& tipo, const std::vector<Campos>& lista,
                  int indice, Campos& campos) {
  QDialog d(padre);
  d.setWindowTitle(Q(TextoMenu(tipo.titulo)));
  auto* forma = new QFormLayout;
  std::vector<QLineEdit*> lineas;
  for (size_t i = 0; i < tipo.claves.size(); ++i) {
    auto* l = new QLineEdit(i < campos.size() ? Q(campos[i]) : QString(), &d);
    l->setObjectName(Q(tipo.claves[i]));
    forma->addRow(Q(tipo.claves[i]), l);
    lineas.push_back(l);
  }
  QDialogButtonBox* botones = BotonesAceptarCancelar();
  QObject::connect(botones, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  QObject::connect(botones, &QDialogButtonBox::accepted, &d, [&] {
    Campos leidos;
    for (QLineEdit* l : lineas) leidos.push_back(l->text().toStdString());
    try {
      Campos validos = tipo.valida(leidos);
      for (size_t i = 0; i < lista.size(); ++i) {
        if (static_cast<int>(i) != indice &&
            Q(lista[i][0]).compare(Q(validos[0]), Qt::CaseInsensitive) == 0) {
          throw JError(12383, validos[0]);  // 12383
        }
      }
      campos = std::move(validos);
      d.accept();
    } catch (const JError& e) {
      QMessageBox::warning(&d, d.windowTitle(), Q(e.Mensaje()));
    }
  });
  auto* v = new QVBoxLayout(&d);
  v->addLayout(forma);
  v->addWidget(botones);
  return d.exec() == QDialog::Accepted;
}

class DialogoLista : public QDialog {
 public:
  DialogoLista(Marco& marco, TipoLista tipo, std::vector<Campos> lista)
      : QDialog(&marco), marco_(marco), tipo_(std::move(tipo)), lista_(std::move(lista)) {
    setWindowTitle(Q(TextoMenu(tipo_.titulo)));
    nombres_ = new QListWidget(this);
    auto* acciones = new QVBoxLayout;
    auto boton = [&](const char* etiqueta, std::function<void()> f) {
      auto* b = new QPushButton(Q(TextoMenu(etiqueta)), this);
      connect(b, &QPushButton::clicked, this, std::move(f));
      acciones->addWidget(b);
    };
    boton("Añadir", [this] { Edita(-1); });
    boton("Editar", [this] {
      if (nombres_->currentRow() >= 0) Edita(nombres_->currentRow());
    });
    boton("Borrar", [this] {
      const int i = nombres_->currentRow();
      if (i < 0) return;
      lista_.erase(lista_.begin() + i);
      Rellena(i);
    });
    boton("Aplicar a la imagen activa", [this] {
      if (VentanaImagen* v = marco_.VentanaActiva()) Aplica({v});
    });
    boton("Aplicar a varias imágenes", [this] { Aplica(marco_.EligeVentanas()); });
    acciones->addStretch();
    auto* arriba = new QHBoxLayout;
    arriba->addWidget(nombres_);
    arriba->addLayout(acciones);
    QDialogButtonBox* botones = BotonesAceptarCancelar();
    connect(botones, &QDialogButtonBox::accepted, this, [this] {
      try {
        tipo_.guarda(lista_);
        accept();
      } catch (const JError& e) {
        QMessageBox::warning(this, windowTitle(), Q(e.Mensaje()));
      }
    });
    connect(botones, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* v = new QVBoxLayout(this);
    v->addLayout(arriba);
    v->addWidget(botones);
    Rellena(0);
  }

 private:
  void Rellena(int actual) {
    nombres_->clear();
    for (const Campos& c : lista_) nombres_->addItem(Q(c[0]));
    if (!lista_.empty()) {
      nombres_->setCurrentRow(std::clamp(actual, 0, static_cast<int>(lista_.size()) - 1));
    }
  }

  // Index -1 adds an entry.
  void Edita(int indice) {
    if (indice < -1 || indice >= static_cast<int>(lista_.size())) return;
    Campos campos = indice >= 0 ? lista_[static_cast<size_t>(indice)] : Campos{};
    if (!EditaEntrada(this, tipo_, lista_, indice, campos)) return;
    if (indice >= 0) {
      lista_[static_cast<size_t>(indice)] = std::move(campos);
      Rellena(indice);
    } else {
      lista_.push_back(std::move(campos));
      Rellena(static_cast<int>(lista_.size()) - 1);
    }
  }

  void Aplica(const std::vector<VentanaImagen*>& ventanas) {
    const int i = nombres_->currentRow();
    if (i < 0 || i >= static_cast<int>(lista_.size())) return;
    for (VentanaImagen* v : ventanas) {
      Imagen& im = v->imagen();
      tipo_.aplica(lista_[static_cast<size_t>(i)], im.datos);
      // Only the mark: the pixels did not change.
      im.ImagenPixeles::Modificada(1);
      im.RepintaPaneles(1);
    }
  }

  Marco& marco_;
  TipoLista tipo_;
  std::vector<Campos> lista_;
  QListWidget* nombres_ = nullptr;
};

std::string Carpeta() {
  return std::filesystem::path(ArchivoConfiguracion()).parent_path().string();
}

// Reads the list into text fields and runs the dialog; a list that does not read is shown.
template <typename T>
void Ejecuta(Marco& marco, TipoLista tipo, const std::function<std::vector<T>()>& lee,
             Campos (*campos)(const T&)) {
  std::vector<Campos> lista;
  try {
    for (const T& e : lee()) lista.push_back(campos(e));
  } catch (const JError& e) {
    QMessageBox::warning(&marco, Q(TextoMenu(tipo.titulo)), Q(e.Mensaje()));
    return;
  }
  DialogoLista d(marco, std::move(tipo), std::move(lista));
  d.exec();
}

}  // namespace

void DialogoListaObjetos(Marco& marco) {
  const std::string archivo = RutaListaObjetos(Carpeta());
  TipoLista tipo;
  tipo.titulo = "OBJETOS";
  tipo.claves = {"NOMOBJ", "AROBJ", "DECOBJ", "EPOCAOBJ", "TIPO", "PERIODO", "MINIMO"};
  tipo.valida = [](const Campos& c) { return CamposObjeto(ObjetoDeCampos(c)); };
  tipo.aplica = [](const Campos& c, DatosImagen& d) { AplicaObjeto(ObjetoDeCampos(c), d); };
  tipo.guarda = [archivo](const std::vector<Campos>& lista) {
    std::vector<ObjetoLista> objetos;
    for (const Campos& c : lista) objetos.push_back(ObjetoDeCampos(c));
    GuardaListaObjetos(archivo, objetos);
  };
  Ejecuta<ObjetoLista>(
      marco, std::move(tipo), [archivo] { return LeeListaObjetos(archivo); }, &CamposObjeto);
}

void DialogoListaObservatorios(Marco& marco) {
  const std::string archivo = RutaListaObservatorios(Carpeta());
  TipoLista tipo;
  tipo.titulo = "OBSERVATORIOS";
  tipo.claves = {"OBSERVATORIO", "LONOBS", "LATOBS", "ALTOBS"};
  tipo.valida = [](const Campos& c) { return CamposObservatorio(ObservatorioDeCampos(c)); };
  tipo.aplica = [](const Campos& c, DatosImagen& d) {
    AplicaObservatorio(ObservatorioDeCampos(c), d);
  };
  tipo.guarda = [archivo](const std::vector<Campos>& lista) {
    std::vector<ObservatorioLista> sitios;
    for (const Campos& c : lista) sitios.push_back(ObservatorioDeCampos(c));
    GuardaListaObservatorios(archivo, sitios);
  };
  Ejecuta<ObservatorioLista>(
      marco, std::move(tipo), [archivo] { return LeeListaObservatorios(archivo); },
      &CamposObservatorio);
}

}  // namespace orva
