// The image window: the image pane drawn through the gray table with its zoom, the companion
// panes (histogram, row or column values, text) and the image commands.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Imagen.h"
#include "core/Menu.h"

class QMenu;
class QPlainTextEdit;
class QScrollArea;
class QSplitter;

namespace orva {

class VentanaImagen;

// The pixels, scaled by the zoom factor, with the reference points and the module's overlay.
class PanelImagen : public QWidget {
  Q_OBJECT
 public:
  explicit PanelImagen(VentanaImagen& ventana);
  // The displayed bitmap, rebuilt from the pixels when the image asks for it.
  const QImage& Bitmap();
  // Image pixel under a pane position.
  QPoint PixelEn(QPoint pos) const;
  void AjustaTamano();
  // Opens the tool menu at a pane position (right click or the "M" key).
  void MenuHerramienta(QPoint pos);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  VentanaImagen& ventana_;
  QImage bitmap_;
};

// Histogram, or the values of one row or column.
class PanelHistograma : public QWidget {
  Q_OBJECT
 public:
  explicit PanelHistograma(VentanaImagen& ventana);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  VentanaImagen& ventana_;
};

class VentanaImagen : public QWidget, public ObservadorImagen {
  Q_OBJECT
 public:
  explicit VentanaImagen(std::unique_ptr<Imagen> imagen, QWidget* padre = nullptr);
  ~VentanaImagen() override;

  Imagen& imagen() { return *imagen_; }
  const Imagen& imagen() const { return *imagen_; }
  // Kind flag: 0 for an ordinary image.
  int tipoVentana = 0;

  void Repinta(int paneles) override;
  // Shows the panes of the display mode and the caption with the modified mark.
  void ActualizaVista();
  // Whether the window may close: asks when the image is modified and ASKEXIT is not "0".
  bool PuedeCerrar();
  // The frame asked already: the next close does not ask again.
  void ConsienteCierre() { consentido_ = true; }

  // Runs a macro line on the image through the interpreter (the line is logged on success).
  void EjecutaLinea(const std::string& linea);
  // An image command (zoom, display modes, inverting, analysis ids); false when not its own.
  bool Comando(int id);

  PanelImagen* panelImagen() const { return panel_; }
  PanelHistograma* panelHistograma() const { return histo_; }
  QPlainTextEdit* panelDatos() const { return datos_; }
  // The text lines of the data pane in the current mode.
  std::vector<std::string> LineasDatos() const;
  // The row and column shown by the profile panes (last left click; the centre at first).
  QPoint puntoPerfil;

 signals:
  void Cambiada();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  std::unique_ptr<Imagen> imagen_;
  bool consentido_ = false;
  QSplitter* divisor_;
  QScrollArea* desplaza_;
  PanelImagen* panel_;
  PanelHistograma* histo_;
  QPlainTextEdit* datos_;
};

// Fills a Qt menu from menu data; each action carries its command id as data and, when alElegir
// is given, calls it with that id when triggered, at any depth of submenus.
void LlenaMenuQt(QMenu& destino, const std::vector<ElementoMenu>& elementos,
                 const std::function<void(int)>& alElegir = {});

// The cursor of the image panes for an index of TIPOCURSOR (0..17).
QCursor CursorImagen(int indice);

}  // namespace orva
