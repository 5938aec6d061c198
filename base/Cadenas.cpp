// The string table: message, label and title texts by id (Spanish, UTF-8).
#include "base/Cadenas.h"

#include <algorithm>
#include <atomic>
#include <iterator>

#include "base/TablasCadenas.h"

namespace orva {
namespace {

// Sorted by id.
constexpr EntradaCadena kCadenas[] = {
    {3001, "ROTAR"},
    {3002, "DESPLAZAR"},
    {3003, "REDIMENSIONAR"},
    {3004, "CORTAR"},
    {3005, "TRATAR"},
    {3006, "TRANSFORM"},
    {3008, "POPUP ANAVARIABLES"},
    {3013, "POPUP ANADOBLES"},
    {3016, "TIPO ARCHIVO"},
    {3017, "TIPO ARCHIVO QOR"},
    {3063, "TRATANDO ARCHIVOS"},
    {3073, "PREFERENCIAS DETERMINACION CENTROIDE"},
    {3085, "BUSCAR OBJETOS"},
    {3107, "Busca estrellas PCVISTA"},
    {3108, "TRATANDO ARCHIVOS"},
    {5120, "Ejecutar &Macro..."},
    {5155, "Definir Y Mínima"},
    {5156, "Definir Y Máxima"},
    {5157, "Definir X Mínima"},
    {5158, "Definir X Máxima"},
    {5159, "Definir Punto Referencia"},
    {5160, "Definir Punto 2"},
    {5162, "Definir Punto 1"},
    {5163, "Preferencias"},
    {5164, "Definir Negro"},
    {5165, "Definir Blanco"},
    {5166, "Definir Origen"},
    {5167, "Origen Lin. Hor."},
    {5168, "Definir Final"},
    {5169, "Final  Lin. Hor."},
    {5170, "Origen Lin. Vert."},
    {5171, "Final  Lin. Vert."},
    {5172, "Definir Centro Rotación"},
    {5173, "Definir X Rotación"},
    {5174, "Definir Y Rotación"},
    {5175, "Media Zona"},
    {5176, "Guardar linea"},
    {5177, "Limpiar Puntos"},
    {6022, "Metodo TASS"},
    {6023, "Metodo PCVISTA"},
    {6024, "Borrar Estrellas"},
    {6050, "Medir y Añadir Estrella"},
    {6051, "Borrar Estrella"},
    {6400, "&Preferencias"},
    {6401, "&Calcular"},
    {6450, "Definir Principal"},
    {6451, "Definir Secundaria"},
    {6452, "Definir Inicio Trazo 1"},
    {6453, "Definir Final Trazo 1"},
    {6454, "Definir Estr. Inicial 1"},
    {6455, "Definir Estr. Final 1"},
    {6456, "Definir Inicio Trazo 2"},
    {6457, "Definir Final Trazo 2"},
    {6458, "Definir Estr. Inicial 2"},
    {6459, "Definir Estr. Final 2"},
    {10100, "No hay memoria para alocar %1 bytes."},
    {10116, "Formato Día ilegal: %1.\nEl formato legal es dd/mm/aa"},
    {10117, "Año ilegal: %1.\nDebe ser mayor que %2."},
    {10118, "Mes ilegal: %1.\nDebe estar entre 1 y 12."},
    {10119, "Día ilegal: %1.\nDebe estar entre 1 y 31 o fecha es ilegal."},
    {10120, "Formato Hora ilegal: %1.\nEl formato legal es hh:mi:sg[.mls]"},
    {10121, "Hora ilegal: %1. Debe estar entre 0 y 23."},
    {10122, "Minuto ilegal: %1. Debe estar entre 0 y 59."},
    {10123, "Segundo ilegal: %1. Debe estar entre 0 y 59."},
    {10124, "Milisegundo ilegal: %1. Debe estar entre 0 y 999."},
    {10125, "Error %2 abriendo archivo %1."},
    {10126, "Error %3 leyendo %2 bytes del archivo %1."},
    {10127, "Error %3 escribiendo %2 bytes al archivo %1."},
    {10128, "Error %3 al ir a la posicion %2 del archivo %1."},
    {10132, "El archivo aun no ha sido abierto."},
    {10133, "El archivo ya está abierto."},
    {10136, "Formato Asc. Recta ilegal: %1.\nFormato legal es 00h00m00s.000"},
    {10137, "Hora de AR ilegal: %1.\nDebe ser de 0 a 23."},
    {10138, "Minuto de AR ilegal: %1.\nDebe ser de 0 a 59."},
    {10139, "Segundo de AR ilegal: %1\nDebe ser de 0 a 59."},
    {10140, "Milisegundo de AR ilegal: %1. Debe estar entre 0 y 1."},
    {10141, "Formato Declinación ilegal: %1.\nFormato legal es 00g00m00s.000"},
    {10142, "Grado de declinación ilegal: %1.Debe ser de -90 a 90."},
    {10143, "Minuto de declinación ilegal: %1.\nDebe ser de 0 a 59."},
    {10144, "Segundo de declinación ilegal: %1.\nDebe ser de 0 a 59."},
    {10145, "Milisegundo de declinación ilegal: %1. Debe estar entre 0 y 1."},
    {10146, "Formato Longitud ilegal: %1.\nFormato legal es 00g00m00s.000"},
    {10147, "Grado de Longitud ilegal: %1.Debe ser de -180 a 180."},
    {10148, "Minuto de Longitud ilegal: %1.\nDebe ser de 0 a 59."},
    {10149, "Segundo de Longitud ilegal: %1.\nDebe ser de 0 a 59."},
    {10150, "Milisegundo de longitud ilegal: %1. Debe estar entre 0 y 1."},
    {10151, "Formato Latitud ilegal: %1.\nFormato legal es 00g00m00s.000"},
    {10152, "Grado de Latitud ilegal: %1.Debe ser de -90 a 90."},
    {10153, "Minuto de Latitud ilegal: %1.\nDebe ser de 0 a 59."},
    {10154, "Segundo de Latitud ilegal: %1.\nDebe ser de 0 a 59."},
    {10155, "Milisegundo de Latitud ilegal: %1. Debe estar entre 0 y 1."},
    {10156, "El recurso %1 no se encuentra."},
    {10157, "Demasiados items en este Dialog Box."},
    {10158, "Error en el botón tipo Radio %1. No hay ninguno pulsado."},
    {10159, "Funcion Legalidad: puntero a los parametros es nulo"},
    {10160, "El Valor %1 es ilegal. El rango permitido es entre %2 y %3"},
    {11011, "Operación cancelada."},
    {11012, "Posición (%1, %2) fuera de la imagen."},
    {11017, "Tipo de archivo %1 no tiene implementada la lectura."},
    {11018, "Tipo de archivo %1 no tiene implementada la escritura."},
    {11019, "El archivo %1 no es del tipo %2."},
    {11020, "El tipo %1 solo admite imagenes con las medidas (%2, %3)."},
    {11021, "El tipo %1 solo admite imagenes con valores entre %2 y %3."},
    {11022, "Numero ilegal de Bits en LeeValores: %1"},
    {11023, "Numero ilegal de Bits en GuardaValores: %1"},
    {11057, "Desconocido"},
    {11058, "Luna"},
    {11059, "Marte"},
    {11060, "Jupiter"},
    {11061, "Saturno"},
    {11062, "Urano"},
    {11063, "Neptuno"},
    {11064, "Plan. Marte"},
    {11065, "Plan. Jupiter"},
    {11066, "Plan. Saturno"},
    {11067, "Plan. Urano"},
    {11068, "Plan. Neptuno"},
    {11069, "Voyager"},
    {11070, "Estelar"},
    {11071, "Variable"},
    {11072, "Doble"},
    {11073, "Dark"},
    {11074, "Bias"},
    {11075, "Flat"},
    {11076, "Desconocido"},
    {11077, "ST4"},
    {11078, "LYNXX"},
    {11079, "FITS"},
    {11080, "QOR"},
    {11081, "TIFF"},
    {11082, "GIF"},
    {11083, "Pantalla (320 * 200 * 8)"},
    {11084, "Buil (208 * 144 * 16)"},
    {11085, "SBig (ST6, ST7, ST8)"},
    {11086, "PDS"},
    {11087, "PIC 7852"},
    {11088, "PIC 7863"},
    {11089, "CCDRed (Kaitchuk)"},
    {11090, "XPRESS"},
    {11091, "XPRESS Comprimido"},
    {11092, "T1M (Pic du Midi)"},
    {11093, "TC245 (252*242)"},
    {11094, "TC245 (378*242)"},
    {11095, "PIX (192 * 165 * 16)"},
    {11096, "Vicar 2"},
    {11097, "General"},
    {11098, "El archivo es de tipo de datos Orva."},
    {11101, "TIPO ARCHIVO ST4"},
    {11102, "TIPO ARCHIVO LYNXX"},
    {11105, "TIPO ARCHIVO TIFF"},
    {11106, "TIPO ARCHIVO GIF"},
    {11107, "TIPO ARCHIVO PANTALLA"},
    {11108, "TIPO ARCHIVO Buil"},
    {11109, "TIPO ARCHIVO SBIG"},
    {11110, "TIPO ARCHIVO PDS"},
    {11111, "TIPO ARCHIVO PIC 7852"},
    {11112, "TIPO ARCHIVO PIC 7863"},
    {11113, "TIPO ARCHIVO CCDRED"},
    {11114, "TIPO ARCHIVO XPRESS"},
    {11115, "TIPO ARCHIVO XPRESS Comprimido"},
    {11116, "TIPO ARCHIVO T1M (Pic du Midi)"},
    {11117, "TIPO ARCHIVO TC245 (252*242)"},
    {11118, "TIPO ARCHIVO TC245 (378*242)"},
    {11119, "TIPO ARCHIVO PIX"},
    {11120, "TIPO ARCHIVO VICAR 2"},
    {11121, "TIPO ARCHIVO GENERAL"},
    {11122, "Para poder guardar un objeto el campo del nombre debe estar lleno."},
    {11123, "El objeto %1 ya existe en esta imagen"},
    {11124, "El Objeto %1 no existe en esta imagen."},
    {11127, "Proy. Pol. Jupiter"},
    {11128, "Proy. Pol. Saturno"},
    {11130, "Sol"},
    {11133, "Espectro"},
    {11140, "Compresión QOR desconocida: %1. Las admitidas son DIFF8, DEFLAT y DIFDEFLAT."},
    {11141, "El archivo %1 está dañado: sus pixeles no están completos."},
    {11142, "Error %1 de zlib comprimiendo los pixeles."},
    {11143, "Medidas de imagen ilegales en el archivo %1: %2 x %3."},
    {11144, "El archivo %1 está cortado: su cabecera anuncia %2 líneas."},
    {11160, "Error %2 de la biblioteca FITS en el archivo %1: %3"},
    {11161, "Error de la biblioteca TIFF en el archivo %1: %2"},
    {11162, "Error %2 de la biblioteca GIF en el archivo %1: %3"},
    {11163, "El archivo %1 tiene una imagen que no se puede leer: %2."},
    {11164, "Compresión %1 desconocida para el tipo de archivo %2."},
    {11165, "El archivo %1 no tiene ningún valor definido: todos sus pixeles son nulos."},
    {12000, "ORVA"},
    {12001, "Mem= %5dKb/%5dKb"},
    {12004, "Error creando ventana para la imagen."},
    {12005, "Error ejecutando macro inicial."},
    {12015, "Error en GetOpenFileName: %1"},
    {12016, "Error en GetSaveFileName: %1"},
    {12023, "Macros ORVA (*.ORV)|*.ORV||Todos (*.*)|*.*||"},
    {12029, "Versión %s"},
    {12030, "CERRAR IMAGENES"},
    {12031, "¿Quieres cerrar las imagenes seleccionadas?"},
    {12037, "Configuracion ORVA (*.INI)|*.INI||Todos (*.*)|*.*||"},
    {12038, "LEER CONFIGURACION"},
    {12039, "GUARDAR CONFIGURACION"},
    {12040, "No existe puntero de imagen en la ventana."},
    {12041, "SALIR"},
    {12042, "La imagen %1 ha sido modificada. ¿Quieres salir sin guardarla?"},
    {12043, "En esta imagen no hay punto de referencia."},
    {12044, "No hay niguna imagen de referencia."},
    {12045, "Valor origen X incorrecto."},
    {12046, "Valor origen Y incorrecto."},
    {12047, "El Origen mas el tamaño no pueden ser mayor que el tamaño de la imagen."},
    {12048, "El factor debe ser mayor que cero"},
    {12050, "EJECUTAR MACRO"},
    {12051, "Error ejecutando operacion '%1'."},
    {12052, "Error en la línea %1 de la macro '%2': %3."},
    {12053, "Solo puedes seleccionar los tipos ESTELAR, VARIABLE o DOBLE"},
    {12054, "orden desconocida '%1'"},
    {12055, "número de argumentos incorrecto (%1, se esperan %2)"},
    {12056, "el argumento %1 ('%2') está fuera de rango (%3)"},
    {12057, "el argumento %1 ('%2') no es un número"},
    {12058, "la ranura %1 está vacía"},
    {12059, "la orden %1 no está disponible en este programa"},
    {12060, "el argumento %1 ('%2') no es una palabra admitida"},
    {12061, "la operación no admite sus argumentos"},
    {12062, "%1 a %2"},
    {12063, "al menos %1"},
    {12064, "distinto de %1"},
    {12065, "distinto del origen"},
    {12066, "No hay ninguna imagen de tipo DOBLE"},
    {12067, "No hay ninguna imagen con las estrellas marcadas"},
    {12068, "No hay ninguna imagen con trazos o estrellas de AR."},
    {12069, "Error haciendo escalado grises"},
    {12070, "Valor de %1 ilegal. Solo admite valores entre %2 y %3"},
    {12071, "ESCALADO DE GRISES"},
    {12072, "Error pasando filtro: %1"},
    {12073, "El valor de Sigma debe estar entre 0 y 6."},
    {12074, "La imagen activa no es de tipo variable."},
    {12076, "Error calculando magnitúd instrumental."},
    {12077, "Atención!!!. La estrella esta saturada."},
    {12091, "Error al abrir el archivo %1 para escritura."},
    {12101, "GUARDAR LOG"},
    {12113, "Cruz Blanco y Negro"},
    {12114, "Cruz Roja"},
    {12115, "Cruz abierta"},
    {12116, "Cruz abierta Roja"},
    {12117, "Flecha arriba B y N"},
    {12118, "Flecha arriba Roja"},
    {12119, "Puntero "},
    {12120, "Puntero Rojo"},
    {12121, "Circulo 3 pix."},
    {12122, "Circulo 3 pix. Rojo"},
    {12129, "Circulo 15 pix."},
    {12130, "Circulo 15 pix. Rojo"},
    {12131, "Error <%1> modificando menú de análisis."},
    {12132, "El menú de análisis no es menú"},
    {12134, "Estrella demasiado cerca del borde de la imagen."},
    {12135, "No se encuentra ninguna estrella después de %1 iteraciones."},
    {12136, "No se encuentra estrella. FWHM ilegal: %1."},
    {12137, "No hay estrella en esta posición."},
    {12138, "No se encuentran puntos en el trazo."},
    {12139, "El punto del trazo esta demasiado cerca del borde."},
    {12140, "No se encuentra punto trazo. FWHM ilegal."},
    {12142, "No hay puntos para calcular la regresión lineal."},
    {12144, "NO HAY"},
    {12145, "Incremento fecha formato ilegal: Solo especificar un nímero de dias a sumar o restar"},
    {12146, "Incremento hora formato ilegal: Formato legal es [+/-]hora:minuto:segundo"},
    {12147, "Incremento hora: minuto ilegal: valores entre 0 y 59."},
    {12148, "Incremento hora: segundo ilegal: valores entre 0 y 59."},
    {12149, "Fecha fuera de rango: día juliano %1.\nEl año debe estar entre 1 y 9999."},
    {12172, "Dia Juliano: "},
    {12173, "Dia Jul. Helio.: "},
    {12196, "Cent. A: "},
    {12197, "Cent. B: "},
    {12198, "AP:"},
    {12199, "Dist (pix):"},
    {12200, "Ini. Trazo: "},
    {12201, "Fin Trazo: "},
    {12202, "AP trazo:"},
    {12210, "Las imágenes no tienen el mismo tamaño: %1 y %2."},
    {12211, "La imagen de flat tiene media cero."},
    {12220,
     "El resultado de %1 se escribiría sobre el archivo de entrada %2. No se ha procesado ningún "
     "archivo."},
    {12221,
     "Los archivos %1 y %2 darían el mismo archivo de salida %3. No se ha procesado ningún "
     "archivo."},
    {12222, "No existe la carpeta de salida %1."},
    {12223, "No existe la carpeta %1 para escribir el archivo %2."},
    {12224, "%1 no es un archivo normal: no se escribe sobre él."},
    {12225, "No se reconoce el tipo del archivo %1."},
    {12226, "La apertura de la estrella sale de la imagen: medida incompleta."},
    {12227, "No hay pixeles de cielo alrededor de la estrella."},
    {12228, "La estrella no tiene flujo sobre el cielo."},
    {12229, "Posición de medida ilegal: %1, %2."},
    {12230, "Error %1 escribiendo la salida."},
    {12231,
     "El lote escribiría sobre %1 archivos de entrada (el primero, %2). ¿Quieres reemplazarlos?"},
    {12232, "Análisis: elija la herramienta Análisis en el menú Herramientas."},
    {12233, "Análisis: el tipo de objeto %1 no tiene operaciones; fíjelo en Tratar > Datos > Una."},
    {12234, "Tipo de objeto desconocido: fíjelo en Tratar > Datos > Una para el análisis."},
    {12235, "El proceso que trataba el archivo terminó por la señal %1 (%2) sin dar resultado."},
    {12236, "El proceso que trataba el archivo terminó con el estado %1 sin dar resultado."},
    {12237, "No se puede crear o seguir el proceso que trataría el archivo %1: %2."},
    {12240, "Transformación por puntos: los puntos %1 y %2 coinciden o están alineados con otro."},
    {12241, "Transformación por puntos: hacen falta de 2 a 4 parejas de puntos (hay %1 y %2)."},
    {12242, "Registro: la imagen de referencia tiene %1 estrellas; hacen falta al menos %2."},
    {12243, "Registro: la imagen tiene %1 estrellas; hacen falta al menos %2."},
    {12244,
     "Registro: ningún triángulo de estrellas de la imagen tiene la forma de uno de la referencia."},
    {12245, "Registro: solo %1 estrellas coinciden con la referencia; hacen falta al menos %2."},
    {12246,
     "Trans. General: la imagen %1 no tiene definidos los puntos 1 a %2 (Herramientas > Trans. "
     "General, y con el botón derecho sobre la imagen, Definir Punto)."},
    {12247,
     "Trans. General: ninguna otra imagen abierta tiene definidos los puntos 1 a %1 (defínalos "
     "en la imagen de referencia con la herramienta Trans. General)."},
    {12248,
     "Registro: estas imágenes no se han podido registrar sobre la primera y quedan fuera del "
     "apilado:\n%1"},
    {12249,
     "Registro: ninguna otra imagen se ha podido registrar sobre la primera; no se ha apilado "
     "nada.\n%1"},
    {12260, "Guardar"},
    {12261, "Descartar"},
    {12262, "Cancelar"},
    {12263, "La imagen %1 ha sido modificada. ¿Quieres guardar los cambios?"},
    {12264, "Estas imágenes han sido modificadas:\n%1\n¿Quieres guardar los cambios?"},
    {12265,
     "Guardar reemplaza el archivo original %1 (%2) por la imagen en memoria: lo que ORVA no "
     "conserva de él se pierde. ¿Quieres reemplazarlo?"},
    {12266, "ORVA no escribe archivos del tipo %1: elige un nombre y un tipo para guardar %2."},
    {12267, "Todos los tipos de imagen"},
    {12268,
     "La macro tiene líneas que sólo cambian la vista (ZOOM, INVERTIR, MOSTRAR). ¿Quieres "
     "dejarlas fuera?"},
    {12269, "Archivos &recientes"},
    {12270, "No hay ninguna operación que deshacer."},
    {12271, "No hay ninguna operación que rehacer."},
    {12280, "Combinación: no hay ninguna imagen que combinar."},
    {12281, "Combinación: la imagen %1 mide %2 y la primera de la serie %3."},
    {12282, "Flat maestro: la media %1 no es positiva; no se puede normalizar."},
    {12283, "Pretratamiento: el maestro %1 mide %2 y la imagen %3."},
    {12284,
     "Normalización: el fondo de %1 es %2; la normalización multiplicativa necesita "
     "un fondo positivo."},
    {12285, "Apilado por referencia: la imagen %1 no tiene punto de referencia (PDESPREF)."},
    {12286, "Combinación: hay %1 transformaciones para %2 imágenes."},
    {12287, "Pretratamiento: la región BIASSEC de %1 no es válida: %2."},
    {12288, "Combinación: error con el archivo de trabajo %1: %2."},
    {12289, "La lista de archivos %1 no nombra ningún archivo."},
    {12330, "El archivo %1 no es una imagen SBIG de tipo 3: su primera línea es \"%2\"."},
    {12331, "La cabecera SBIG del archivo %1 no tiene la línea %2."},
    {12332,
     "El archivo %1 está dañado: la fila comprimida %2 no cabe en su longitud o en el archivo."},
    {12360, "El archivo %1 tiene %2 bytes y los ajustes del tipo GENERAL necesitan %3."},
    {12361, "Ajuste %1 del tipo GENERAL ilegal: \"%2\"."},
    {12362, "El tipo GENERAL con 12 bits necesita un ancho par, no %1."},
    {12380, "%1, línea %2: %3"},
    {12381, "La línea tiene %1 campos separados por ';' y deben ser %2."},
    {12382, "Nombre ilegal: '%1'. No puede estar vacío ni llevar ';'."},
    {12383, "El nombre %1 ya está en la lista."},
    {12384, "El objeto %1 no está en la lista %2."},
    {12385, "El observatorio %1 no está en la lista %2."},
    {12386, "Valor ilegal de %1: '%2'."},
    {12387, "La imagen no tiene fecha y hora de observación (FECHAOBS, HORAOBS)."},
    {12388, "La imagen no tiene coordenadas del objeto (AROBJ, DECOBJ)."},
    {12389, "La imagen no tiene la posición del observatorio (LONOBS, LATOBS)."},
    {12390, "El objeto está bajo el horizonte (altura %1 grados): no hay masa de aire."},
    {12391, "Tiempo de exposición ilegal: %1."},
    {12400, "x %1  y %2  valor %3"},
    {12401, "FITS (%1, %2)"},
    {12402, "físico %1"},
    {12410, "NIVELES"},
    {12411, "Negro"},
    {12412, "Blanco"},
    {12413, "Mínimo - máximo"},
    {12414, "Percentiles 1 % - 99,5 %"},
    {12415, "ZScale"},
    {12416, "Aplicar a todas las imágenes"},
    {12420, "Quedan %1"},
    {12520, "La línea del espectro mide %1 píxeles: debe medir al menos uno."},
    {12521, "Anchura de banda del espectro ilegal: %1 (de 1 a 999)."},
    {12522, "La banda del espectro sale de la imagen en (%1, %2)."},
    {12523, "Grado de la calibración ilegal: %1 (de 1 a 3)."},
    {12524, "La calibración tiene %1 puntos distintos: el grado %2 necesita al menos uno más que el grado."},
    {12525, "Valor no finito en el espectro: %1."},
    {12526, "Defina el inicio y el final del espectro."},
    {12528, "Valor ilegal: %1."},
    {12529, "Calibración de grado %1 con %2 líneas: residuo cuadrático medio %3"},
    {12530, "&Medir espectro"},
    {12531, "&Extraer espectro a imagen nueva"},
    {12532, "&Gráfico del espectro"},
    {12533, "Guardar &tabla CSV..."},
    {12534, "&Calibrar longitudes de onda..."},
    {12535, "Definir inicio del espectro"},
    {12536, "Definir final del espectro"},
    {12537, "Borrar espectro"},
    {12538, "Banda %1 ancho %2 cielo %3"},
    {12539, "Línea %1  profundidad %2  FWHM %3"},
    {14000, "Preferencias &Dobles"},
    {14001, "&Preferencias variables"},
    {14002, "Preferencias &Voyager."},
    {14003, "A&nálisis"},
    {14004, "Tratar Campos"},
    {14005, "Preferencias Análisis Sol"},
    {14006, "Preferencias Análisis Espectros"},
    {14007, "Buscar &Estrellas"},
};

std::atomic<int> idiomaActual{kCastellano};

std::span<const EntradaCadena> Tabla(int idioma) {
  switch (idioma) {
    case kCatalan:
      return TablaCadenasCatalan();
    case kFrances:
      return TablaCadenasFrances();
    case kIngles:
      return TablaCadenasIngles();
    default:
      return TablaCadenasCastellano();
  }
}

const char* Busca(std::span<const EntradaCadena> tabla, int id) {
  auto it = std::lower_bound(tabla.begin(), tabla.end(), id,
                             [](const EntradaCadena& e, int v) { return e.id < v; });
  return it != tabla.end() && it->id == id ? it->texto : nullptr;
}

}  // namespace

std::span<const EntradaCadena> TablaCadenasCastellano() {
  return {std::begin(kCadenas), std::end(kCadenas)};
}

void FijaIdioma(int idioma) {
  idiomaActual = idioma >= 0 && idioma < kNumIdiomas ? idioma : kCastellano;
}

int IdiomaActual() {
  return idiomaActual;
}

bool ExisteCadena(int id) {
  return Busca(TablaCadenasCastellano(), id) != nullptr;
}

std::string CadenaEnIdioma(int idioma, int id) {
  if (const char* t = Busca(Tabla(idioma), id)) return t;
  if (const char* t = Busca(TablaCadenasCastellano(), id)) return t;
  return "[" + std::to_string(id) + "]";
}

std::string Cadena(int id) {
  return CadenaEnIdioma(idiomaActual, id);
}

std::vector<int> IdsCadenas(int idioma) {
  std::vector<int> ids;
  for (const EntradaCadena& e : Tabla(idioma)) ids.push_back(e.id);
  return ids;
}

std::vector<int> CadenasSinTraducir(int idioma) {
  const std::span<const EntradaCadena> propia = Tabla(idioma);
  std::vector<int> faltan;
  for (const EntradaCadena& e : TablaCadenasCastellano()) {
    if (!Busca(propia, e.id)) faltan.push_back(e.id);
  }
  return faltan;
}

std::string FormateaMensaje(std::string_view texto, std::string_view a1, std::string_view a2,
                            std::string_view a3) {
  std::string r;
  r.reserve(texto.size() + a1.size() + a2.size() + a3.size());
  for (size_t i = 0; i < texto.size(); ++i) {
    if (texto[i] == '%' && i + 1 < texto.size() && texto[i + 1] >= '1' && texto[i + 1] <= '3') {
      const char n = texto[++i];
      r += n == '1' ? a1 : n == '2' ? a2 : a3;
    } else {
      r += texto[i];
    }
  }
  return r;
}

std::string Mensaje(int id, std::string_view a1, std::string_view a2, std::string_view a3) {
  return FormateaMensaje(Cadena(id), a1, a2, a3);
}

}  // namespace orva
