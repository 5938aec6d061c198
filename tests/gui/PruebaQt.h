// What the desktop suites share: the frame window of one test and the answer to the next modal
// dialog.
#pragma once

#include <QApplication>
#include <QMenu>
#include <QtTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "core/Imagen.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"

// Runs accion on the next visible modal window other than `distinto`, polling from the event
// loop.
inline void AlAparecerModal(std::function<void(QWidget*)> accion, QWidget* distinto = nullptr) {
  auto* t = new QTimer;
  t->setInterval(20);
  QObject::connect(t, &QTimer::timeout, [t, accion, distinto] {
    QWidget* w = QApplication::activeModalWidget();
    if (w && w != distinto && w->isVisible()) {
      t->stop();
      t->deleteLater();
      accion(w);
    }
  });
  t->start();
}

// A frame window shown and made active (the caller waits for it to be exposed).
inline std::unique_ptr<orva::Marco> MarcoPrueba(int ancho = 900, int alto = 600) {
  auto marco = std::make_unique<orva::Marco>();
  marco->resize(ancho, alto);
  marco->show();
  QApplication::setActiveWindow(marco.get());
  return marco;
}

// Closes the frame without the question about unsaved images.
inline void CierraMarcoPrueba(std::unique_ptr<orva::Marco>& marco) {
  for (orva::VentanaImagen* v : marco->Ventanas()) v->imagen().Modificada(0);
  marco.reset();
}

// Right-clicks the image pane where it shows the image pixel and picks the item with that
// label from the menu that opens.
inline void ClicDerechoEnPixel(orva::VentanaImagen& v, QPoint pixel, const std::string& etiqueta) {
  orva::PanelImagen* p = v.panelImagen();
  QPoint pos(-1, -1);
  for (int y = 0; y < p->height() && pos.x() < 0; ++y) {
    for (int x = 0; x < p->width(); ++x) {
      if (p->PixelEn(QPoint(x, y)) == pixel) {
        pos = QPoint(x, y);
        break;
      }
    }
  }
  QVERIFY(pos.x() >= 0);
  const QString texto = QString::fromStdString(etiqueta);
  auto* t = new QTimer;
  t->setInterval(20);
  QObject::connect(t, &QTimer::timeout, [t, texto] {
    auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!m) return;
    t->stop();
    t->deleteLater();
    for (QAction* a : m->actions()) {
      if (a->text() == texto) m->setActiveAction(a);
    }
    QTest::keyClick(m, Qt::Key_Return);
  });
  t->start();
  QTest::mouseClick(p, Qt::RightButton, {}, pos);
}
