// The command ids of the desktop by name: menu bar, tool menus. Stored configurations and zoom
// states keep these numbers, so they never change.
#pragma once

namespace orva {

// Archivo
constexpr int kCmdNuevo = 5000;
constexpr int kCmdAbrir = 5001;
constexpr int kCmdGuardar = 5002;
constexpr int kCmdGuardarVarias = 5003;
constexpr int kCmdGuardarVariasEn = 5004;
constexpr int kCmdGuardarComo = 5005;
constexpr int kCmdDuplicar = 5006;
constexpr int kCmdCerrar = 5007;
constexpr int kCmdMacroDisco = 5008;
constexpr int kCmdSalir = 5009;
constexpr int kCmdLeerConfiguracion = 5010;
constexpr int kCmdGuardarConfiguracion = 5011;
constexpr int kCmdPrefGenerales = 5124;
constexpr int kCmdPrefTiposArchivo = 5125;
constexpr int kCmdPrefHistograma = 5126;
constexpr int kCmdPrefDatos = 5127;
constexpr int kCmdPrefTipoGeneral = 5185;
constexpr int kCmdIdiomaEspanol = 5140;  // first of the four languages
constexpr int kCmdIdiomaCatalan = 5141;
constexpr int kCmdIdiomaFrances = 5142;
constexpr int kCmdIdiomaIngles = 5143;
constexpr int kCmdCerrarVarias = 5150;

// Visualizar
constexpr int kCmdCurvaGrises = 5012;
constexpr int kCmdInvertir = 5013;
constexpr int kCmdZoom11 = 5014;
constexpr int kCmdAjustarVentana = 5047;  // zoom so the whole image fits its window
constexpr int kCmdReducir2 = 5030;  // 1:2 .. 1:9 are kCmdReducir2 + n - 2
constexpr int kCmdReducir9 = 5037;
constexpr int kCmdAmpliar2 = 5039;  // 2:1 .. 9:1 are kCmdAmpliar2 + n - 2
constexpr int kCmdAmpliar9 = 5046;
constexpr int kCmdMostrarNada = 5015;
constexpr int kCmdVariasNada = 5016;
constexpr int kCmdMostrarHisto = 5017;
constexpr int kCmdVariasHisto = 5018;
constexpr int kCmdMostrarDatos = 5019;
constexpr int kCmdVariasDatos = 5020;
constexpr int kCmdMostrarOper = 5021;
constexpr int kCmdVariasOper = 5022;
constexpr int kCmdMostrarLinea = 5023;
constexpr int kCmdVariasLinea = 5024;
constexpr int kCmdMostrarColumna = 5025;
constexpr int kCmdVariasColumna = 5026;
constexpr int kCmdMostrarCabecera = 5027;
constexpr int kCmdVariasCabecera = 5028;
constexpr int kCmdIconizarVarias = 5151;
constexpr int kCmdRestaurarVarias = 5152;

// Posicionar
constexpr int kCmdRotar = 5048;
constexpr int kCmdEspejoHor = 5049;
constexpr int kCmdEspejoVer = 5050;
constexpr int kCmdDesplazar = 5051;
constexpr int kCmdDesplazarRef = 5052;
constexpr int kCmdRedimensionar = 5053;
constexpr int kCmdRedimensionarRef = 5054;
constexpr int kCmdCortar = 5055;
constexpr int kCmdCortarRef = 5056;
constexpr int kCmdTransGeneral2 = 5057;
constexpr int kCmdTransGeneral3 = 5058;
constexpr int kCmdTransGeneral4 = 5059;
constexpr int kCmdDesplazarRefVarias = 5217;

// Tratar
constexpr int kCmdDeshacer = 5180;  // undo and redo of the pixel operations
constexpr int kCmdRehacer = 5181;
constexpr int kCmdPretratarUna = 5060;
constexpr int kCmdPretratarVarias = 5061;
constexpr int kCmdEscalarGrises = 5062;
constexpr int kCmdPrimerFiltro = 5063;
constexpr int kCmdFiltroGeneral = 5111;
constexpr int kCmdDosImagenes = 5112;
constexpr int kCmdMedia = 5113;
constexpr int kCmdMediana = 5114;
constexpr int kCmdSumar = 5115;
constexpr int kCmdSumarRef = 5116;
constexpr int kCmdSumarRefAgrupando = 5117;
constexpr int kCmdMediaRef = 5118;
constexpr int kCmdMediaRefAgrupando = 5119;
constexpr int kCmdEjecutarMacro = 5120;
constexpr int kCmdGuardarMacro = 5121;
constexpr int kCmdDatosUna = 5122;
constexpr int kCmdDatosVarias = 5123;

// Herramientas: one command per tool, kCmdHerramientaNinguna + tool number.
constexpr int kCmdHerramientaNinguna = 5131;
constexpr int kCmdHerramientaRotar = 5133;
constexpr int kCmdHerramientaDesplazar = 5134;
constexpr int kCmdHerramientaCortar = 5135;
constexpr int kCmdHerramientaRedimensionar = 5136;
constexpr int kCmdHerramientaTransGeneral = 5137;
constexpr int kCmdHerramientaTratamiento = 5138;
constexpr int kCmdHerramientaAnalisis = 5139;
constexpr int kCmdTratarObjetos = 5128;
constexpr int kCmdTratarObservatorios = 5129;

// Ventana
constexpr int kCmdVerImagenes = 5130;
constexpr int kCmdMosaicoHor = 5145;
constexpr int kCmdMosaicoVer = 5146;
constexpr int kCmdCascada = 5147;
constexpr int kCmdDistribuirIconos = 5148;

// Ayuda
constexpr int kCmdAcerca = 5153;
constexpr int kCmdAyuda = 5154;

// The right-click menus of the tools.
constexpr int kCmdDefArriba = 5155;     // also "Y Mínima"
constexpr int kCmdDefAbajo = 5156;      // also "Y Máxima"
constexpr int kCmdDefIzquierda = 5157;  // also "X Mínima"
constexpr int kCmdDefDerecha = 5158;    // also "X Máxima"
constexpr int kCmdDefPunto1 = 5159;     // also "Punto Referencia"; points 1..4 follow
constexpr int kCmdDefPunto2 = 5160;
constexpr int kCmdDefPunto3 = 5161;
constexpr int kCmdDefPunto4 = 5162;
constexpr int kCmdPrefCortar = 5163;
constexpr int kCmdDefNegro = 5164;
constexpr int kCmdDefBlanco = 5165;
constexpr int kCmdDefOrigen = 5166;
constexpr int kCmdOrigenHor = 5167;  // also "Punto Mínimo"
constexpr int kCmdDefFinal = 5168;
constexpr int kCmdFinalHor = 5169;  // also "Punto Máximo"
constexpr int kCmdOrigenVer = 5170;
constexpr int kCmdFinalVer = 5171;
constexpr int kCmdDefCentro = 5172;
constexpr int kCmdDefXRotacion = 5173;
constexpr int kCmdDefYRotacion = 5174;
constexpr int kCmdMediaZona = 5175;
constexpr int kCmdGuardarLinea = 5176;
constexpr int kCmdLimpiarPuntos = 5177;

// Ids of the analysis modules.
constexpr int kCmdPrimerModulo = 6000;
constexpr int kCmdUltimoModulo = 7999;

}  // namespace orva
