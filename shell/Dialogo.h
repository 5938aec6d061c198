// The table-driven dialog engine: a table of items, each bound to a text value, fills the
// controls, writes edits straight into the values, validates them, and restores them on cancel.
// The controls themselves sit behind VistaDialogo, which the desktop implements with widgets.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace orva {

enum TipoItemDialogo {
  kItemFin = 0,
  kItemTextoValor = 1,      // static text showing the value
  kItemTextoCadena = 2,     // static text from the string table (id2)
  kItemEdicion = 3,         // edit box validated when the user leaves it
  kItemCasilla = 4,         // check box, "1" / "0"
  kItemRadio = 5,           // radio buttons id..id2, the index from 0
  kItemLista = 6,           // single-selection list
  kItemDesplegable = 7,     // drop-down list without edit
  kItemBoton = 8,           // push button: the legality function is its action
  kItemComboEdicion = 9,    // combo box with edit
  kItemListaMultiple = 10,  // multiple-selection list into a second list
  kItemEdicionViva = 11,    // edit box validated on every change
  kItemPropio = 12,         // custom control
};

struct RangoEntero {
  int minimo;
  int maximo;
};
struct RangoReal {
  double minimo;
  double maximo;
};

class MotorDialogo;
struct ItemDialogo;

// A custom control: its own initialisation, paint and notification routines.
struct MiControl {
  std::function<void(ItemDialogo&, MotorDialogo&, int informar)> inicia;
  std::function<void(ItemDialogo&, MotorDialogo&)> pinta;
  std::function<void(ItemDialogo&, MotorDialogo&, int evento)> notifica;
};

using ExtraDialogo =
    std::variant<std::monostate, RangoEntero, RangoReal, std::vector<std::string>, MiControl>;

// Returns 1 when the item's value is legal; shows its own message only when informar is 1; may
// rewrite the value (the engine then puts it back into the control).
using LegalidadDialogo = std::function<int(MotorDialogo& dialogo, ItemDialogo& item,
                                           const ExtraDialogo& extra, int informar)>;

struct ItemDialogo {
  int tipo = kItemFin;
  int id = 0;
  int id2 = 0;                                    // last radio id, or string id of a type-2 label
  std::string* valor = nullptr;                   // the bound value
  LegalidadDialogo legalidad;                     // may be empty
  ExtraDialogo extra;                             // range, choices or custom control
  std::vector<std::string>* seleccion = nullptr;  // the selected entries of a type-10 list
};

// The controls of one open dialog.
class VistaDialogo {
 public:
  virtual ~VistaDialogo() = default;
  virtual void PonTexto(int id, const std::string& texto) = 0;
  virtual std::string Texto(int id) const = 0;
  virtual void PonMarca(int id, bool marcada) = 0;
  virtual bool Marca(int id) const = 0;
  virtual void PonEntradas(int id, const std::vector<std::string>& entradas) = 0;
  // Selects the entry equal to texto (none when absent).
  virtual void Selecciona(int id, const std::string& texto) = 0;
  virtual std::vector<std::string> Seleccionadas(int id) const = 0;
  virtual void Foco(int id) = 0;
  virtual void Titulo(const std::string& titulo) = 0;
  virtual void Mensaje(const std::string& texto) = 0;
};

// What a control tells the engine.
enum EventoDialogo {
  kCambioTexto = 1,
  kPierdeFoco,
  kClic,
  kCambioSeleccion,
};

class MotorDialogo {
 public:
  static constexpr size_t kMaxItems = 100;

  // The table ends at its first type-0 item or at its end.
  MotorDialogo(std::vector<ItemDialogo> tabla, VistaDialogo& vista);

  // Backs the values up and fills the controls; 0 (after message 10157) for too many items.
  int Abre(int idTitulo = 0);
  void Notifica(int control, EventoDialogo evento);
  // The accept button: 1 when every item is legal (values read once more), else the values are
  // restored and 0 is returned.
  int Acepta();
  // Before accepting: every field read and checked again, in order. The first illegal one is
  // reported, focused (its text selected by the view) and its control id returned; 0 when all
  // are legal. Nothing is restored: the dialog stays open for the correction.
  int PrimerIlegal();
  // The cancel button: every value back as it was when the dialog opened.
  void Cancela();
  void Pinta();

  bool Valido(size_t i) const { return validos_[i] != 0; }
  // The label of a field, named by the range messages (12070) when it has one.
  void PonEtiqueta(int id, std::string etiqueta) { etiquetas_[id] = std::move(etiqueta); }
  std::string Etiqueta(int id) const;
  VistaDialogo& Vista() { return vista_; }
  const std::vector<ItemDialogo>& Items() const { return items_; }

 private:
  ItemDialogo* ItemDe(int control, size_t* indice);
  int Comprueba(size_t i, int informar);
  void Llena(ItemDialogo& it);
  void Restaura();

  std::vector<ItemDialogo> items_;
  VistaDialogo& vista_;
  std::vector<std::string> copias_;
  std::vector<std::vector<std::string>> copiasSeleccion_;
  std::vector<int> validos_;
  std::map<int, std::string> etiquetas_;
  int avisado_ = -1;  // item whose refusal was just reported on leaving it
  int informar_ = 0;
  bool enLegalidad_ = false;
};

// Standard legality functions: integer range (10160 with integers), real range (10160 with
// "%.2lf"), and always legal; a text that is no number is illegal. A field with a label is
// named in the message (12070 instead of 10160). With no range record they answer 1 (after
// 10159 when reporting).
int LegalidadEntero(MotorDialogo& d, ItemDialogo& item, const ExtraDialogo& extra, int informar);
int LegalidadReal(MotorDialogo& d, ItemDialogo& item, const ExtraDialogo& extra, int informar);
int LegalidadSiempre(MotorDialogo& d, ItemDialogo& item, const ExtraDialogo& extra, int informar);

}  // namespace orva
