// Language selection and the English menu texts of the desktop.
#include "shell/Idioma.h"

#include <cstdlib>
#include <map>

#include "base/Cadenas.h"
#include "shell/Configuracion.h"

namespace orva {
namespace {

constexpr const char* kSeccion = "General";
constexpr const char* kClave = "LENGUAJE";

// English labels of the command table by command id.
const std::map<int, std::string>& EtiquetasIngles() {
  static const std::map<int, std::string> t = {
      {5000, "&New"},
      {5001, "&Open..."},
      {5002, "&Save"},
      {5003, "Save &Several"},
      {5004, "Save Several &In..."},
      {5005, "Save &As..."},
      {5006, "&Duplicate"},
      {5007, "&Close"},
      {5150, "Close Se&veral"},
      {5008, "Run &Macro on Files..."},
      {5010, "Read Settings"},
      {5011, "Save Settings"},
      {5124, "&General"},
      {5125, "File &Types"},
      {5126, "&Histogram Window"},
      {5127, "&Data Window"},
      {5185, "&GENERAL Type"},
      {5140, "Spanish"},
      {5141, "Catalan"},
      {5142, "French"},
      {5143, "English"},
      {5009, "E&xit"},
      {5012, "Change &Grey Curve"},
      {5013, "&Invert Greys"},
      {5014, "&Normal Size (1:1)"},
      {5047, "Fit to &Window"},
      {5180, "&Undo"},
      {5181, "&Redo"},
      {5015, "Show &Nothing"},
      {5017, "Show &Histogram"},
      {5019, "Show Image &Data"},
      {5021, "Show Image &Operations"},
      {5027, "Show File &Header"},
      {5023, "Show &Row Values"},
      {5025, "Show &Column Values"},
      {5016, "Show &Nothing"},
      {5018, "Show &Histogram"},
      {5020, "Show Image &Data"},
      {5022, "Show Image &Operations"},
      {5028, "Show File &Header"},
      {5024, "Show &Row Values"},
      {5026, "Show &Column Values"},
      {5151, "&Minimize Several"},
      {5152, "&Restore Several"},
      {5049, "&Horizontal Mirror"},
      {5050, "&Vertical Mirror"},
      {5051, "&Shift"},
      {5052, "Shift by &Reference"},
      {5217, "Shift Several by Re&ference..."},
      {5048, "&Rotate"},
      {5053, "Res&ize"},
      {5054, "Resi&ze by Reference"},
      {5055, "&Crop"},
      {5056, "Crop &by Reference"},
      {5057, "General Transf. 2 Points"},
      {5058, "General Transf. 3 Points"},
      {5059, "General Transf. 4 Points"},
      {5060, "&One Image"},
      {5061, "&Several Images"},
      {5062, "Grey &Scaling"},
      {5112, "&Two-Image Operations"},
      {5113, "Mean"},
      {5114, "Median"},
      {5115, "Sum"},
      {5116, "Sum by Reference"},
      {5117, "Sum by Reference in Groups..."},
      {5118, "Mean by Reference"},
      {5119, "Mean by Reference in Groups"},
      {5122, "&One Image"},
      {5123, "&Several Images"},
      {5120, "Run &Macro..."},
      {5121, "&Save Macro..."},
      {5131, "&None"},
      {5133, "&Rotate"},
      {5134, "&Shift"},
      {5135, "&Crop"},
      {5136, "&Resize"},
      {5137, "&General Transf."},
      {5138, "&Levels"},
      {5139, "&Analysis"},
      {5128, "Manage &Objects"},
      {5129, "Manage Obser&vatories"},
      {5147, "&Cascade"},
      {5146, "Tile &Vertically"},
      {5145, "Tile &Horizontally"},
      {5148, "Arrange &Icons"},
      {5130, "List Images"},
      {5153, "&About"},
      {5154, "&Help"},
  };
  return t;
}

// English popup titles, tool menu items, filter items and dialog texts by their Spanish text.
const std::map<std::string, std::string, std::less<>>& TextosIngles() {
  static const std::map<std::string, std::string, std::less<>> t = {
      // Popups of the menu bar.
      {"&Archivo", "&File"},
      {"Visua&lizar", "&View"},
      {"&Posicionar", "&Geometry"},
      {"&Tratar", "&Process"},
      {"&Análisis", "A&nalysis"},
      {"&Herramientas", "&Tools"},
      {"&Ventana", "&Window"},
      {"A&yuda", "&Help"},
      {"&Preferencias", "&Settings"},
      {"&Idioma", "&Language"},
      {"&Reducir", "Zoom &Out"},
      {"&Ampliar", "Zoom &In"},
      {"&Mostrar en varias", "Show in &Several"},
      {"&Pretratamiento", "&Calibration"},
      {"&Filtros", "&Filters"},
      {"Varias &imagenes", "Several &Images"},
      {"&Datos", "&Data"},
      // Filters.
      {"Filtros &suavizantes", "&Smoothing Filters"},
      {"Filtros de &realce", "&Sharpening Filters"},
      {"Filtros &realce contornos", "&Edge Enhancement Filters"},
      {"Filtros de &contornos", "Edge &Detection Filters"},
      {"&Filtro General", "&General Filter"},
      {"Suavizado 1", "Smoothing 1"},
      {"Suavizado 2", "Smoothing 2"},
      {"Suavizado 3", "Smoothing 3"},
      {"Media en cruz", "Cross Mean"},
      {"Media...", "Mean..."},
      {"Gaus...", "Gaussian..."},
      {"Mediana (Ruido)", "Median (Noise)"},
      {"Grado &1", "Strength &1"},
      {"Grado &2", "Strength &2"},
      {"Grado &3", "Strength &3"},
      {"Grado &4", "Strength &4"},
      {"&Contraste inverso", "&Inverse Contrast"},
      {"&Escalado estadistico", "&Statistical Scaling"},
      {"Laplaciana 1", "Laplacian 1"},
      {"Laplaciana 2", "Laplacian 2"},
      {"Laplaciana 3", "Laplacian 3"},
      {"La&placiana General", "General La&placian"},
      // Tool menus.
      {"Origen Lin. Hor.", "Horiz. Line Start"},
      {"Final  Lin. Hor.", "Horiz. Line End"},
      {"Origen Lin. Vert.", "Vert. Line Start"},
      {"Final  Lin. Vert.", "Vert. Line End"},
      {"Definir Centro Rotación", "Set Rotation Centre"},
      {"Definir X Rotación", "Set Rotation X"},
      {"Definir Y Rotación", "Set Rotation Y"},
      {"Limpiar Puntos", "Clear Points"},
      {"Definir X Mínima", "Set Minimum X"},
      {"Definir Y Mínima", "Set Minimum Y"},
      {"Definir Punto Mínimo", "Set Minimum Point"},
      {"Definir X Máxima", "Set Maximum X"},
      {"Definir Y Máxima", "Set Maximum Y"},
      {"Definir Punto Máximo", "Set Maximum Point"},
      {"Definir Punto Referencia", "Set Reference Point"},
      {"Definir Centro", "Set Centre"},
      {"Definir Origen", "Set Origin"},
      {"Definir Final", "Set End"},
      {"Definir Arriba", "Set Top"},
      {"Definir Abajo", "Set Bottom"},
      {"Definir Izquierda", "Set Left"},
      {"Definir Derecha", "Set Right"},
      {"Preferencias", "Settings"},
      {"Definir Punto 1", "Set Point 1"},
      {"Definir Punto 2", "Set Point 2"},
      {"Definir Punto 3", "Set Point 3"},
      {"Definir Punto 4", "Set Point 4"},
      {"Definir Negro", "Set Black"},
      {"Definir Blanco", "Set White"},
      {"Media Zona", "Zone Mean"},
      {"Guardar linea", "Save Line"},
      // Words of the frame.
      {"No disponible", "Not available"},
      {"Aceptar", "OK"},
      {"Cancelar", "Cancel"},
      {"Añadir", "Add"},
      {"Editar", "Edit"},
      {"Borrar", "Delete"},
      {"Aplicar a la imagen activa", "Apply to the active image"},
      {"Aplicar a varias imágenes", "Apply to several images"},
      // The variable-star series.
      {"Ajustar con las estrellas de comparación", "Fit from the comparison stars"},
      {"Apertura en FWHM (0 fija):", "Aperture in FWHM (0 fixed):"},
      {"Apertura en FWHM", "Aperture in FWHM"},
      {"Apertura y anillo de cielo (0: los ajustes):", "Aperture and sky ring (0: the settings):"},
      {"Archivo del campo:", "Field file:"},
      {"Archivos (en lugar de las imágenes):", "Files (instead of the images):"},
      {"Añadir archivos...", "Add files..."},
      {"Barras de error", "Error bars"},
      {"CAMPO", "FIELD"},
      {"CURVA DE LUZ", "LIGHT CURVE"},
      {"Campo:", "Field:"},
      {"Cargar", "Load"},
      {"Cielo:", "Sky:"},
      {"Efeméride del mínimo (época, período):", "Ephemeris of minimum (epoch, period):"},
      {"Estrella", "Star"},
      {"Extinción (mag/masa de aire):", "Extinction (mag/air mass):"},
      {"Extinción", "Extinction"},
      {"Ganancia (e-/unidad):", "Gain (e-/unit):"},
      {"Ganancia", "Gain"},
      {"Guardar AAVSO...", "Save AAVSO..."},
      {"Guardar CSV...", "Save CSV..."},
      {"Imágenes abiertas:", "Open images:"},
      {"K - conjunto", "K - ensemble"},
      {"Magnitud", "Magnitude"},
      {"Media recortada", "Clipped mean"},
      {"Mediana recortada", "Clipped median"},
      {"Moda del histograma", "Histogram mode"},
      {"Mínimo", "Minimum"},
      {"Nombre de la variable:", "Variable's name:"},
      {"PREFERENCIAS VARIABLES", "VARIABLE STAR SETTINGS"},
      {"Papel", "Role"},
      {"Ruido de lectura (e-):", "Read noise (e-):"},
      {"Ruido de lectura", "Read noise"},
      {"V - conjunto", "V - ensemble"},
      {"Comparación", "Comparison"},
      {"Control", "Check"},
      // Dialog titles.
      {"ABRIR", "OPEN"},
      {"OBJETOS", "OBJECTS"},
      {"OBSERVATORIOS", "OBSERVATORIES"},
      {"GUARDAR COMO", "SAVE AS"},
      {"GUARDAR MACRO", "SAVE MACRO"},
      {"ARCHIVOS", "FILES"},
      {"INFORMACION", "INFORMATION"},
      {"ACERCA DE...", "ABOUT..."},
      {"GUARDAR VARIAS EN...", "SAVE SEVERAL IN..."},
      {"DATOS GENERALES DE CONFIGURACION", "GENERAL SETTINGS"},
      {"CONFIGURAR TIPOS DE ARCHIVOS", "FILE TYPE SETTINGS"},
      {"DATOS HISTOGRAMA", "HISTOGRAM"},
      {"VENTANA DATOS IMAGEN", "IMAGE DATA WINDOW"},
      {"DATOS IMAGEN NUEVA", "NEW IMAGE"},
      {"CAMBIAR CURVA GRISES", "CHANGE GREY CURVE"},
      {"SELECCIÓN DE IMAGENES", "SELECT IMAGES"},
      {"EJECUTAR MACRO EN DISCO", "RUN MACRO ON FILES"},
      {"ESCALADO NIVELES GRIS", "GREY LEVEL SCALING"},
      {"CORTAR IMAGEN", "CROP IMAGE"},
      {"DESPLAZAR IMAGEN", "SHIFT IMAGE"},
      {"REDIMENSIONAR IMAGEN", "RESIZE IMAGE"},
      {"FILTRO GENERAL", "GENERAL FILTER"},
      {"CALCULO DOBLES", "DOUBLE STAR CALCULATION"},
      {"PREFERENCIAS DETERMINACION CENTROIDE", "CENTROID SETTINGS"},
      // Dialog fields.
      {"Duplicar imagen antes de tratarla", "Duplicate the image before processing it"},
      {"Preguntar al cerrar imágenes modificadas", "Ask before closing modified images"},
      {"Ventana principal maximizada", "Main window maximized"},
      {"Guardar configuración al salir", "Save settings on exit"},
      {"Cursor (0-17)", "Cursor (0-17)"},
      {"Nivel negro", "Black level"},
      {"Nivel blanco", "White level"},
      {"Valor mínimo", "Minimum value"},
      {"Valor máximo", "Maximum value"},
      {"Valor fuera de imagen", "Value outside the image"},
      {"Directorio archivos", "Image folder"},
      {"Directorio guardar", "Save folder"},
      {"Directorio macros", "Macro folder"},
      {"Directorio de salida", "Output folder"},
      {"Macro inicial", "Start-up macro"},
      {"Ejecutar macro inicial", "Run the start-up macro"},
      {"Tipo objeto inicial", "Initial object type"},
      {"Sacar log", "Write log"},
      {"Tipo al leer", "Type when reading"},
      {"Tipo al guardar", "Type when saving"},
      {"Detectar el tipo automáticamente", "Detect the type automatically"},
      {"Imagen real", "Real image"},
      {"Leer archivo de datos", "Read the data file"},
      {"Guardar archivo de datos", "Save the data file"},
      {"Guardar con el mismo tipo", "Save with the same type"},
      {"Cambiar extensión", "Change extension"},
      {"Extensión de los tratados", "Extension of processed files"},
      {"Ancho", "Width"},
      {"Alto", "Height"},
      {"Ancho:", "Width:"},
      {"Alto:", "Height:"},
      {"Extensiones:", "Extensions:"},
      {"Desplazamiento (bytes):", "Offset (bytes):"},
      {"Bits por pixel:", "Bits per pixel:"},
      {"Orden de los bytes", "Byte order"},
      {"Menos significativo primero", "Least significant first"},
      {"Más significativo primero", "Most significant first"},
      {"Valores con signo", "Signed values"},
      {"Prefijo de fila (bytes):", "Row prefix (bytes):"},
      {"Sufijo de fila (bytes):", "Row suffix (bytes):"},
      {"Divisiones horizontales", "Horizontal divisions"},
      {"Divisiones verticales", "Vertical divisions"},
      {"Números horizontales", "Horizontal labels"},
      {"Números verticales", "Vertical labels"},
      {"Máximo vertical", "Vertical maximum"},
      {"Escala", "Scale"},
      {"Lineal", "Linear"},
      {"Logarítmica", "Logarithmic"},
      {"Tamaño fuente", "Font size"},
      {"Minimizada", "Minimized"},
      {"Nombre", "Name"},
      {"Negro", "Black"},
      {"Blanco", "White"},
      {"Imagenes", "Images"},
      {"Macro", "Macro"},
      {"Origen X:", "Origin X:"},
      {"Origen Y:", "Origin Y:"},
      {"Desplazamiento X:", "Shift X:"},
      {"Desplazamiento Y:", "Shift Y:"},
      {"Factor X:", "Factor X:"},
      {"Factor Y:", "Factor Y:"},
      {"Factor Y igual a factor X", "Factor Y equal to factor X"},
      {"Conservar la imagen original", "Keep the original image"},
      {"Borrar estrellas existentes", "Delete existing stars"},
      {"FILTRO", "FILTER"},
  };
  return t;
}

}  // namespace

int IdiomaDeLocale(std::string_view nombre) {
  // The language part ends at '_', '.', '@' or the end: "en", "en_GB", "en.UTF-8".
  const std::string_view lengua = nombre.substr(0, nombre.find_first_of("_.@"));
  if (lengua == "en") return kIngles;
  if (lengua == "ca") return kCatalan;
  if (lengua == "fr") return kFrances;
  return kCastellano;
}

int IdiomaDelEntorno() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* valor = std::getenv(variable);
    if (valor != nullptr && valor[0] != '\0') return IdiomaDeLocale(valor);
  }
  return kCastellano;
}

int IdiomaConfigurado(const Configuracion& config) {
  if (!config.Fijada(kSeccion, kClave)) return IdiomaDelEntorno();
  const int n = config.Entero(kClave);
  return n >= 0 && n < kNumIdiomas ? n : kCastellano;
}

int AplicaIdioma(Configuracion& config) {
  const int idioma = IdiomaConfigurado(config);
  FijaIdioma(idioma);
  config.Asigna(kSeccion, kClave, std::to_string(idioma));
  return idioma;
}

std::string EtiquetaComando(int id, const std::string& etiqueta) {
  if (IdiomaActual() != kIngles) return etiqueta;
  const auto& t = EtiquetasIngles();
  auto it = t.find(id);
  return it != t.end() ? it->second : etiqueta;
}

std::string TextoMenu(const std::string& texto) {
  if (IdiomaActual() != kIngles) return texto;
  const auto& t = TextosIngles();
  auto it = t.find(texto);
  return it != t.end() ? it->second : texto;
}

bool HayEtiquetaIngles(int id) {
  return EtiquetasIngles().count(id) != 0;
}

bool HayTextoMenuIngles(const std::string& texto) {
  return TextosIngles().count(texto) != 0;
}

}  // namespace orva
