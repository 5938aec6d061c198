// The widgets of the table-driven dialogs: a dialog built from an item table and a small layout
// description, driven by the dialog engine.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shell/Dialogo.h"

class QDialogButtonBox;
class QLineEdit;

namespace orva {

// The layout: the caption and, per control id, the text shown with it (the label beside an
// edit or list, the text of a check box, radio button or push button; a radio group's caption
// sits on its first id negated).
struct ControlDiseno {
  int id = 0;
  std::string etiqueta;
};
struct DisenoDialogo {
  std::string titulo;
  std::vector<ControlDiseno> controles;
  // Rows per column before the form wraps into a new column (0: one column).
  int filasPorColumna = 0;
};

class VistaDialogoQt : public QDialog, public VistaDialogo {
  Q_OBJECT
 public:
  VistaDialogoQt(const std::vector<ItemDialogo>& tabla, const DisenoDialogo& diseno,
                 QWidget* padre);

  void Conecta(MotorDialogo* motor) { motor_ = motor; }

  void PonTexto(int id, const std::string& texto) override;
  std::string Texto(int id) const override;
  void PonMarca(int id, bool marcada) override;
  bool Marca(int id) const override;
  void PonEntradas(int id, const std::vector<std::string>& entradas) override;
  void Selecciona(int id, const std::string& texto) override;
  std::vector<std::string> Seleccionadas(int id) const override;
  void Foco(int id) override;
  void Titulo(const std::string& titulo) override;
  void Mensaje(const std::string& texto) override;

  // The widget of a control id (tests drive it); null when none.
  QWidget* Control(int id) const;

 public slots:
  void accept() override;
  void reject() override;

 private:
  void Notifica(int id, EventoDialogo evento);

  MotorDialogo* motor_ = nullptr;
  std::map<int, QWidget*> controles_;
};

// Runs the dialog modally over padre; 1 when the user accepted it with every item legal, else 0
// with every bound value as it was. idTitulo 0 or -1 keeps the layout's caption.
int EjecutarDialogo(std::vector<ItemDialogo> tabla, const DisenoDialogo& diseno, int idTitulo,
                    QWidget* padre);

// A numeric field of a hand-made dialog, checked before it closes: a text that is no number or
// lies outside minimo..maximo shows 12070 with the field's label, gets the field selected and
// answers false.
bool CampoRealValido(QLineEdit* campo, const std::string& etiqueta, double minimo, double maximo);

// The Aceptar / Cancelar row of every dialog, in the desktop's language (buttons "b1" and "b2").
QDialogButtonBox* BotonesAceptarCancelar();

}  // namespace orva
