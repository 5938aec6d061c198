// Finds menu-bar actions by the labels a user reads (accelerator marks ignored) and triggers them.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>
#include <QtTest>

inline QString SinAcelerador(QString texto) {
  return texto.remove(QLatin1Char('&'));
}

inline QAction* BuscaEnAcciones(const QList<QAction*>& acciones, const QStringList& camino) {
  if (camino.isEmpty()) return nullptr;
  for (QAction* a : acciones) {
    if (a->isSeparator() || SinAcelerador(a->text()) != SinAcelerador(camino.front())) continue;
    if (camino.size() == 1) return a;
    if (QMenu* m = a->menu()) {
      if (QAction* r = BuscaEnAcciones(m->actions(), camino.mid(1))) return r;
    }
  }
  return nullptr;
}

// The action at the end of a label path from the menu bar ({"&Tratar", "&Datos", "&Una"}).
inline QAction* AccionMenu(QMainWindow& ventana, const QStringList& camino) {
  return BuscaEnAcciones(ventana.menuBar()->actions(), camino);
}

// Triggers the action of a label path as a click would; false when it is missing or grayed.
inline bool DisparaMenu(QMainWindow& ventana, const QStringList& camino) {
  QAction* a = AccionMenu(ventana, camino);
  if (!a || !a->isEnabled()) {
    qWarning("menu item %s %s", qPrintable(camino.join(" > ")), a ? "grayed" : "missing");
    return false;
  }
  a->trigger();
  return true;
}
