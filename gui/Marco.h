// The frame: MDI area, menu bar generated from the command table, status bar, command routing
// under one error handler, exit rules, drag and drop.
#pragma once

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/Deshacer.h"

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;

namespace orva {

class Imagen;
class ProgresoSimple;
class VentanaImagen;

class Marco : public QMainWindow {
  Q_OBJECT
 public:
  explicit Marco(QWidget* padre = nullptr);
  ~Marco() override;

  // Runs a command under the error handler: a JError is shown in a message box.
  void Ejecuta(int id);
  // Opens an image file in a new window; nullptr (after the message) when it fails.
  VentanaImagen* AbreArchivo(const std::string& archivo);
  // Shows an image in a new window (the window owns it).
  VentanaImagen* MuestraImagen(std::unique_ptr<Imagen> imagen);
  VentanaImagen* VentanaActiva() const;
  std::vector<VentanaImagen*> Ventanas() const;
  // Recomputes checks and grays of the menu bar and rebuilds the analysis popup.
  void RefrescaMenus();
  // The status-bar memory text: available physical and virtual memory.
  void ActualizaMemoria();

  // Duplicates the image into a new window (the active one) and returns it.
  VentanaImagen* Duplica(VentanaImagen& v);
  // Closes an image window without asking.
  void CierraVentana(VentanaImagen& v);
  // The undo and redo stacks of an image shown in a window (MEMDESHACER megabytes at most).
  Deshacer& PilaDeshacer(const Imagen& im);
  // Asks once about the modified ones among the windows (when ASKEXIT is not "0"): "Guardar"
  // saves each, "Descartar" drops the changes, "Cancelar" keeps them. True when they may close.
  bool PuedenCerrar(const std::vector<VentanaImagen*>& ventanas);
  // The recent-files popup of "Archivo".
  QMenu* MenuRecientes() const { return recientes_; }
  // The windows chosen in the image selection dialog (empty when cancelled).
  std::vector<VentanaImagen*> EligeVentanas() { return Elige(); }

  QAction* Accion(int id) const;
  QMenu* Popup(int indice) const { return popups_[static_cast<size_t>(indice)]; }
  QMenu* PopupAnalisis() const { return analisis_; }
  QMdiArea* Mdi() const { return mdi_; }
  QLabel* EtiquetaMemoria() const { return memoria_; }
  // The third part of the status bar: why Análisis is grayed, or what to do next.
  QLabel* EtiquetaAviso() const { return aviso_; }
  // The configuration file written on exit when GUARCONF is "1".
  std::string archivoConfig;

 signals:
  // After every command: atendido is false when it reached no handler ("No disponible").
  void ComandoEjecutado(int id, bool atendido);

 protected:
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  // Image windows closing by their own frame button ask here.
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void ConstruyeMenus();
  // Sets and saves the language and rebuilds the menu bar in it.
  void CambiaIdioma(int idioma);
  // The handlers of the frame's and the image's own commands, by id.
  void PreparaOrdenes();
  // A command that reached no handler: says so.
  void NoAtendido();
  // Tooltip and status bar of a grayed "Análisis" popup: why it is grayed.
  void ExplicaAnalisis(bool activo, int herramienta, VentanaImagen* v);
  void ComandoMarco(int id);
  void ComandoImagenActiva(VentanaImagen& v, int id);
  // Chosen windows of the selection dialog (empty when cancelled).
  std::vector<VentanaImagen*> Elige();
  void Abrir();
  // Saves the image (in its file, or where the user says); false when not saved.
  bool Guardar(VentanaImagen& v, bool comoNuevo);
  bool GuardarComo(VentanaImagen& v);
  void DeshacerRehacer(VentanaImagen& v, bool rehacer);
  // Undo and redo are grayed when the active image has nothing to undo or redo.
  void RefrescaDeshacer();
  void RecuerdaReciente(const std::string& archivo);
  void InsertaRecientes();
  void LlenaRecientes();
  void Duplicar(VentanaImagen& v);
  void EjecutarMacro(VentanaImagen& v);
  void GuardarMacro(VentanaImagen& v);
  void MacroEnDisco();
  void NuevaImagen();
  void Mosaico(bool vertical);
  QMdiSubWindow* Sub(VentanaImagen* v) const;

  QMdiArea* mdi_;
  std::map<int, QAction*> acciones_;
  std::map<int, std::function<void()>> ordenesMarco_;
  std::map<int, std::function<void(VentanaImagen&)>> ordenesImagen_;
  bool atendido_ = true;
  QString motivoAnalisis_;  // why the analysis popup is grayed; empty when it is not
  std::vector<QMenu*> popups_;  // the top-level popups in bar order
  QMenu* analisis_ = nullptr;
  QMenu* recientes_ = nullptr;
  std::map<const Imagen*, std::unique_ptr<Deshacer>> deshacer_;
  std::set<const QObject*> consentidas_;  // windows that close without a question
  QLabel* version_;
  QLabel* memoria_;
  QLabel* aviso_ = nullptr;
  QTimer* reloj_;
  std::unique_ptr<ProgresoSimple> progreso_;
  long ultimaFisica_ = -1, ultimaVirtual_ = -1;
};

// Available physical memory (MemAvailable) and available virtual memory (CommitLimit minus
// Committed_AS, not below zero), in kilobytes, from the text of /proc/meminfo; -1 when absent.
void MemoriaDisponible(const std::string& meminfo, long& fisica, long& virtualKb);

}  // namespace orva
