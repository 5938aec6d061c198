// The settings dialog of the GENERAL file type: its extensions and the layout of the raw pixels.
#pragma once

class QWidget;

namespace orva {

// "TIPO ARCHIVO GENERAL": 1 when accepted (settings written, the filter in the registry), 0 when
// cancelled (nothing changed).
int DialogoTipoGeneral(QWidget* padre);

}  // namespace orva
