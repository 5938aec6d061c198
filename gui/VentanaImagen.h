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
#include "core/Visualizacion.h"

class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPlainTextEdit;
class QScrollArea;
class QSplitter;

namespace orva {

class VentanaImagen;

// The pixels through the library's display mapping (zoom, FITS first row at the bottom), with
// the reference points and the module's overlay. The mouse wheel zooms about the pointer; the
// pointer's pixel is read out on the frame's status bar.
class PanelImagen : public QWidget {
  Q_OBJECT
 public:
  explicit PanelImagen(VentanaImagen& ventana);
  // How the image sits on the pane now.
  Vista VistaActual() const;
  // The whole pane's picture as the library maps it (what paintEvent draws, less overlays).
  QImage Bitmap() const;
  // Image pixel under a pane position.
  QPoint PixelEn(QPoint pos) const;
  void AjustaTamano();
  // Opens the tool menu at a pane position (right click or the "M" key).
  void MenuHerramienta(QPoint pos);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  VentanaImagen& ventana_;
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
  // An image command (zoom, fit, levels, display modes, inverting, analysis ids); false when
  // not its own.
  bool Comando(int id);

  // Whether the image is shown with its first row at the bottom (FITS, by the type's setting).
  bool FilaUnoAbajo() const;
  // Sets the zoom factor keeping the image point under the viewport position ancla (the
  // viewport centre when ancla is null) where it is.
  void CambiaZoom(double factor, const QPoint* ancla = nullptr);
  // The next zoom step in (paso > 0) or out from the current factor: 1:9 .. 1:1 .. 9:1.
  double PasoZoom(int paso) const;
  // Zooms so the whole image fits the viewport.
  void AjustaAVentana();
  // The status-bar text for an image pixel: x, y and value, the FITS 1-based position for FITS
  // images, the physical value when the pixels map to one.
  QString TextoPosicion(QPoint pixel) const;
  QScrollArea* desplazamiento() const { return desplaza_; }
  // Sizes the window for the image at its zoom (up to the area, then scroll bars) and places it
  // in cascade; maximized when the active window was.
  void ColocaEnArea(QMdiArea& area, QMdiSubWindow& sub);

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
  void showEvent(QShowEvent* e) override;

 private:
  // Keeps the anchored image point in place after the zoom changed.
  void MantieneAncla();

  std::unique_ptr<Imagen> imagen_;
  bool consentido_ = false;
  bool colocada_ = false;
  double factorMostrado_ = 0;  // the factor the pane was last sized for
  QPointF anclaImagen_;        // image position to keep under anclaVista_
  QPoint anclaVista_;
  bool hayAncla_ = false;
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
