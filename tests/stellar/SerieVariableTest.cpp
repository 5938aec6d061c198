// The variable-star series on a synthetic night: identification, differential photometry,
// extinction, the time of minimum and its error, the faults a real night brings, and the field
// file.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "stellar/CampoVariable.h"
#include "stellar/Minimo.h"
#include "stellar/SerieVariable.h"
#include "tests/stellar/SerieSintetica.h"

namespace orva {
namespace {

using prueba::SerieSintetica;

double Rms(const std::vector<double>& v, bool centrado) {
  double m = 0.0;
  if (centrado) {
    for (double x : v) m += x;
    m /= static_cast<double>(v.size());
  }
  double s = 0.0;
  for (double x : v) s += (x - m) * (x - m);
  return std::sqrt(s / static_cast<double>(v.size()));
}

int CodigoError(const std::function<void()>& f) {
  try {
    f();
  } catch (const JError& e) {
    return e.Id();
  }
  return 0;
}

// One synthetic night, its field made on the first frame, measured once for the whole suite.
class SerieVariableTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    serie_ = std::make_unique<SerieSintetica>();
    serie_->Prepara();
    imagenes_ = std::make_unique<std::vector<Imagen>>(static_cast<size_t>(serie_->frames));
    for (int k = 0; k < serie_->frames; ++k)
      serie_->Fotograma(k, (*imagenes_)[static_cast<size_t>(k)]);
    ProgresoSilencioso progreso;
    campo_ = std::make_unique<CampoVariable>(CreaCampo((*imagenes_)[0], "SYN VAR", serie_->campo,
                                                       OpcionesEstrellasRegistro{}, progreso));
    const ParametrosSerie p0 = serie_->Parametros();
    campo_->radioEstrella = p0.fotometria.radioEstrella;
    campo_->radioCieloInt = p0.fotometria.radioCieloInt;
    campo_->radioCieloExt = p0.fotometria.radioCieloExt;
    ParametrosSerie p = p0;
    p.ajustaExtincion = true;
    std::vector<const Imagen*> punteros;
    for (const Imagen& im : *imagenes_) punteros.push_back(&im);
    resultado_ = std::make_unique<ResultadoSerie>(MideSerie(*campo_, FotogramasMemoria(punteros), p,
                                                            OpcionesEstrellasRegistro{},
                                                            ParametrosRegistro{}, progreso));
  }
  static void TearDownTestSuite() {
    resultado_.reset();
    campo_.reset();
    imagenes_.reset();
    serie_.reset();
  }
  static std::unique_ptr<SerieSintetica> serie_;
  static std::unique_ptr<std::vector<Imagen>> imagenes_;
  static std::unique_ptr<CampoVariable> campo_;
  static std::unique_ptr<ResultadoSerie> resultado_;
};
std::unique_ptr<SerieSintetica> SerieVariableTest::serie_;
std::unique_ptr<std::vector<Imagen>> SerieVariableTest::imagenes_;
std::unique_ptr<CampoVariable> SerieVariableTest::campo_;
std::unique_ptr<ResultadoSerie> SerieVariableTest::resultado_;

TEST_F(SerieVariableTest, IdentificaTodasLasEstrellasYRecuperaLaCurva) {
  const ResultadoSerie& r = *resultado_;
  ASSERT_EQ(r.fotogramas.size(), 60u);
  ASSERT_TRUE(r.magnitudesEstandar);
  std::vector<double> resV, errV, resK, errK, resVc;
  double masaMin = 1e9, masaMax = 0;
  for (const FotogramaSerie& f : r.fotogramas) {
    ASSERT_TRUE(f.identificado) << f.nombre;
    for (size_t i = 0; i < f.estrellas.size(); ++i) {
      EXPECT_EQ(f.estrellas[i].marcas, 0) << f.nombre << " star " << campo_->estrellas[i].nombre;
    }
    EXPECT_TRUE(f.avisos.empty()) << f.avisos.front();
    EXPECT_EQ(f.enConjunto, 3);
    masaMin = std::min(masaMin, f.tiempo.masaAire);
    masaMax = std::max(masaMax, f.tiempo.masaAire);
    const double vReal = serie_->MagVariable(f.tiempo.jd);
    // The ensemble of catalogue magnitudes gives the variable's standard magnitude.
    resV.push_back(f.vEns - vReal);
    errV.push_back(f.errorVEns);
    resK.push_back(f.kEns - 11.8);
    errK.push_back(f.errorKEns);
    resVc.push_back(f.vc - (vReal - 11.0));
  }
  EXPECT_NEAR(masaMin, 1.1, 0.01);
  EXPECT_NEAR(masaMax, 2.2, 0.01);
  // The scatter is what the photometry reports, and there is no offset beyond the noise.
  EXPECT_LE(Rms(resV, true), 1.2 * Rms(errV, false));
  EXPECT_LE(Rms(resK, true), 1.2 * Rms(errK, false));
  EXPECT_GE(Rms(resV, true), 0.6 * Rms(errV, false));  // the errors are not inflated either
  EXPECT_LT(std::fabs(Rms(resV, false) - Rms(resV, true)), 0.5 * Rms(errV, false));
  EXPECT_LT(std::fabs(Rms(resVc, false)), 3.0 * Rms(errV, false));
  // Extinction fitted on the comparison stars.
  EXPECT_TRUE(r.extincionAjustada);
  EXPECT_NEAR(r.extincion, serie_->extincion, 0.02);
  EXPECT_GT(r.errorExtincion, 0.0);
  EXPECT_LT(r.errorExtincion, 0.02);
  // Corrected magnitudes of a comparison star no longer follow the air mass.
  std::vector<double> c1;
  for (const FotogramaSerie& f : r.fotogramas) c1.push_back(f.estrellas[1].magnitudCorregida);
  EXPECT_LT(Rms(c1, true), 0.02);
}

TEST_F(SerieVariableTest, MinimoDentroDeTresVecesSuError) {
  std::vector<PuntoCurva> curva;
  for (const FotogramaSerie& f : resultado_->fotogramas)
    curva.push_back({f.tiempo.jd, f.vEns, f.errorVEns});
  const ResultadoMinimo m = MinimoKweeVanWoerden(curva);
  EXPECT_GT(m.error, 0.0);
  EXPECT_LT(m.error, 0.003);
  EXPECT_LE(std::fabs(m.t0 - serie_->tMinimo), 3.0 * m.error)
      << "t0 " << m.t0 << " true " << serie_->tMinimo << " error " << m.error;
  // The table and the report carry every frame (all have a time and a variable).
  const std::string csv = TextoCsvSerie(*campo_, *resultado_);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 61);
  const std::string aavso = TextoAavso(*campo_, *resultado_, {"TST01", "", "na"});
  EXPECT_EQ(aavso.rfind("#TYPE=EXTENDED\n#OBSCODE=TST01\n", 0), 0u);
  EXPECT_NE(aavso.find("#DATE=HJD\n"), std::string::npos);
  EXPECT_EQ(std::count(aavso.begin(), aavso.end(), '\n'), 7 + 60);
  EXPECT_NE(aavso.find("\nSYN VAR,24611"), std::string::npos);
  EXPECT_NE(aavso.find(",V,NO,STD,ENSEMBLE,na,K,"), std::string::npos);
}

// The other sky estimate and apertures scaled to the frame's FWHM, with a given extinction.
TEST_F(SerieVariableTest, OtrosCielosYAperturas) {
  const struct {
    const char* nombre;
    MetodoCielo cielo;
    double escalaFwhm;
  } casos[] = {{"histogram mode", MetodoCielo::kModa, 0.0},
               {"clipped median", MetodoCielo::kMedianaRecortada, 0.0},
               {"aperture 1.6 FWHM", MetodoCielo::kMediaRecortada, 1.6}};
  std::vector<const Imagen*> punteros;
  for (const Imagen& im : *imagenes_) punteros.push_back(&im);
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    ParametrosSerie p = serie_->Parametros();
    p.cielo = c.cielo;
    p.escalaFwhm = c.escalaFwhm;
    p.extincion = serie_->extincion;
    ProgresoSilencioso progreso;
    const ResultadoSerie r = MideSerie(*campo_, FotogramasMemoria(punteros), p, {}, {}, progreso);
    std::vector<double> res, err, c1;
    for (const FotogramaSerie& f : r.fotogramas) {
      for (const MedidaEstrella& m : f.estrellas) ASSERT_EQ(m.marcas, 0) << f.nombre;
      res.push_back(f.vEns - serie_->MagVariable(f.tiempo.jd));
      err.push_back(f.errorVEns);
      c1.push_back(f.estrellas[1].magnitudCorregida);
      // The generator's stars have a FWHM of 2.3548 x 1.6 px.
      EXPECT_NEAR(f.fwhm, 3.77, 0.3);
    }
    EXPECT_LE(Rms(res, true), 1.2 * Rms(err, false));
    EXPECT_LT(std::fabs(Rms(res, false) - Rms(res, true)), 0.5 * Rms(err, false));
    EXPECT_FALSE(r.extincionAjustada);
    EXPECT_LT(Rms(c1, true), 0.02);
  }
}

// Each faulty frame is reported and never measured at a wrong star; the good stars of the
// frame are still measured.
TEST_F(SerieVariableTest, FotogramasDefectuosos) {
  SerieSintetica s = *serie_;
  using Astros = std::vector<SerieSintetica::Astro>;
  std::vector<Imagen> ims(8);
  s.Fotograma(10, ims[0]);
  s.dx[11] = -190.0;  // the variable falls off the frame, C1 stays
  s.dy[11] = 0.0;
  s.Fotograma(11, ims[1]);
  s.Fotograma(12, ims[2], [](Astros& a) { a[1].mag = 6.0; });  // C1 saturated
  s.Fotograma(13, ims[3], [](Astros& a) {  // the variable gone, a neighbour 3.5 px away
    a.push_back({a[0].x + 3.5, a[0].y, 11.3});
    a[0].mag = 40.0;
  });
  SerieSintetica otra = *serie_;  // another field
  otra.semilla = 99;
  otra.Prepara();
  otra.Fotograma(14, ims[4]);
  s.Fotograma(15, ims[5]);
  ims[5].datos.conValor.erase("FECHAOBS");  // no date
  ims[5].datos.fechaHora = FechaHora{};
  s.Fotograma(16, ims[6]);
  ims[6].datos.conValor.erase("LATOBS");  // no site
  ims[6].datos.observatorio.latitud = Latitud{};
  s.Fotograma(17, ims[7], [](Astros& a) { a[0].mag = 40.0; });  // the variable gone
  std::vector<const Imagen*> punteros;
  for (const Imagen& im : ims) punteros.push_back(&im);
  ProgresoSilencioso progreso;
  const ParametrosSerie p = serie_->Parametros();
  const ResultadoSerie r = MideSerie(*campo_, FotogramasMemoria(punteros), p,
                                     OpcionesEstrellasRegistro{}, ParametrosRegistro{}, progreso);
  ASSERT_EQ(r.fotogramas.size(), 8u);
  auto marcas = [&](size_t k, size_t i) { return r.fotogramas[k].estrellas[i].marcas; };
  auto vEsperada = [&](size_t k) { return serie_->MagVariable(r.fotogramas[k].tiempo.jd); };
  // A good frame.
  EXPECT_NEAR(r.fotogramas[0].vEns, vEsperada(0), 0.03);
  // The variable off the frame: flagged, not measured; the others measured.
  EXPECT_EQ(marcas(1, 0), kFueraImagen);
  EXPECT_TRUE(std::isnan(r.fotogramas[1].vEns));
  EXPECT_TRUE(std::isnan(r.fotogramas[1].estrellas[0].magnitud));
  EXPECT_EQ(marcas(1, 1), 0);
  // C1 saturated: out of the ensemble of that frame, which still gives the right magnitude.
  EXPECT_EQ(marcas(2, 1), kSaturada);
  EXPECT_EQ(r.fotogramas[2].enConjunto, 2);
  EXPECT_NEAR(r.fotogramas[2].vEns, vEsperada(2), 0.03);
  EXPECT_TRUE(std::isnan(r.fotogramas[2].vc));  // V - C1 needs C1
  EXPECT_NE(r.fotogramas[2].avisos.front().find("C1"), std::string::npos);
  // A neighbour where the variable should be is not taken for it.
  EXPECT_TRUE(marcas(3, 0) & kNoIdentificada);
  EXPECT_TRUE(std::isnan(r.fotogramas[3].vEns));
  // Another field: nothing measured.
  EXPECT_FALSE(r.fotogramas[4].identificado);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(marcas(4, i), kNoIdentificada);
  EXPECT_FALSE(r.fotogramas[4].avisos.empty());
  // No date: measured, without time or air mass, and said so.
  EXPECT_TRUE(std::isnan(r.fotogramas[5].tiempo.jd));
  EXPECT_TRUE(std::isnan(r.fotogramas[5].tiempo.masaAire));
  EXPECT_TRUE(std::isfinite(r.fotogramas[5].vc));
  EXPECT_EQ(r.fotogramas[5].avisos.size(), 1u);
  // No site: time and HJD, no air mass.
  EXPECT_TRUE(std::isfinite(r.fotogramas[6].tiempo.hjd));
  EXPECT_TRUE(std::isnan(r.fotogramas[6].tiempo.masaAire));
  EXPECT_EQ(r.fotogramas[6].avisos.size(), 1u);
  // The variable gone from its place: not identified rather than measured on the sky.
  EXPECT_TRUE(marcas(7, 0) & kNoIdentificada);
  EXPECT_TRUE(std::isnan(r.fotogramas[7].vEns));
  // The report holds the frames with a time and a variable: 0, 2 and 6 (6 with air mass "na").
  const std::string aavso = TextoAavso(*campo_, r, {});
  EXPECT_EQ(std::count(aavso.begin(), aavso.end(), '\n'), 7 + 3);
  EXPECT_NE(aavso.find(",na,na,na,na\n"), std::string::npos);
  // With no air mass in some frames the extinction is still fitted from the others.
  ParametrosSerie pa = p;
  pa.ajustaExtincion = true;
  ResultadoSerie copia = r;
  EXPECT_NO_THROW(CalculaDiferenciales(*campo_, pa, copia));
  EXPECT_TRUE(std::isnan(copia.fotogramas[6].estrellas[1].magnitudCorregida));
}

TEST_F(SerieVariableTest, SerieVaciaYCampoFalso) {
  ProgresoSilencioso progreso;
  EXPECT_EQ(CodigoError([&] {
              MideSerie(*campo_, FotogramasMemoria({}), serie_->Parametros(), {}, {}, progreso);
            }),
            12430);
  // A field whose variable is not on the reference image.
  std::vector<EstrellaCampo> e = serie_->campo;
  e[0].x = 5000;
  EXPECT_EQ(CodigoError([&] { CreaCampo((*imagenes_)[0], "X", e, {}, progreso); }), 12399);
  e = serie_->campo;
  e[0].x += 40.0;  // empty sky
  e[0].y += 3.0;
  EXPECT_EQ(CodigoError([&] { CreaCampo((*imagenes_)[0], "X", e, {}, progreso); }), 12399);
}

TEST_F(SerieVariableTest, ArchivoDeCampo) {
  const std::string texto = TextoCampo(*campo_);
  const CampoVariable leido = LeeTextoCampo(texto, "f");
  EXPECT_EQ(TextoCampo(leido), texto);
  ASSERT_EQ(leido.estrellas.size(), 5u);
  EXPECT_EQ(leido.estrellas[0].x, campo_->estrellas[0].x);
  EXPECT_TRUE(std::isnan(leido.estrellas[0].magnitud));
  EXPECT_EQ(leido.estrellas[4].papel, PapelEstrella::kControl);
  // The reference stars came from the detector (the field's own and the background's).
  EXPECT_GE(leido.estrellasReferencia.size(), 20u);

  auto cambia = [&](const std::string& de, const std::string& a) {
    std::string t = texto;
    const size_t p = t.find(de);
    if (p != std::string::npos) t.replace(p, de.size(), a);
    return t;
  };
  const std::string primeraEstrella =
      texto.substr(texto.find("ESTRELLA=V"),
                   texto.find('\n', texto.find("ESTRELLA=V")) - texto.find("ESTRELLA=V"));
  const struct {
    std::string texto;
    int error;
  } casos[] = {
      {"", 12395},
      {"ORVA CAMPOS\n", 12395},
      {cambia("APERTURA=6 12 18", "APERTURA=6 12"), 12396},
      {cambia("APERTURA=6 12 18", "APERTURA=6 x 18"), 12396},
      {cambia("APERTURA=6 12 18", "APERTURA=6 5 18"), 12439},
      {cambia("ESTRELLA=V", "ESTRELLA=Q"), 12396},
      {cambia("ESTRELLA=V", "ESTRELLA=C"), 12397},
      {cambia("ESTRELLA=K", "ESTRELLA=V"), 12397},
      {cambia(",C2\n", ",C1\n"), 12438},
      {cambia(",K\n", ",\n"), 12438},
      {cambia("ESTRELLA=V", "sin igual"), 12396},
      {"ORVA CAMPO\n" + primeraEstrella + "\n", 12398},
      {"ORVA CAMPO\nESTRELLA=V,1,1,,V\nESTRELLA=C,5,5,,C\n", 12242},
  };
  for (const auto& c : casos) {
    EXPECT_EQ(CodigoError([&] { LeeTextoCampo(c.texto, "f"); }), c.error) << c.texto.substr(0, 200);
  }
  // A name that would break the file is refused before anything is written.
  CampoVariable roto = *campo_;
  roto.nombre = "SYN\nESTRELLA=V,1,1,,X";
  EXPECT_EQ(CodigoError([&] { GuardaCampo(::testing::TempDir() + "/campo_roto", roto); }), 12438);
  // Unknown keys are skipped; CRLF lines read.
  std::string crlf;
  for (char ch : cambia("NOMBRE=", "OTRA=1\nNOMBRE=")) {
    if (ch == '\n') crlf += '\r';
    crlf += ch;
  }
  EXPECT_EQ(TextoCampo(LeeTextoCampo(crlf, "f")), texto);
}

TEST(MasaAire, Hardie) {
  const struct {
    double altura, masa;
  } casos[] = {{90.0, 1.0}, {30.0, 1.9945}, {60.0, 1.1543}, {4.9, NAN}, {-5.0, NAN}};
  for (const auto& c : casos) {
    const double m = MasaAireHardie(c.altura);
    if (std::isnan(c.masa))
      EXPECT_TRUE(std::isnan(m)) << c.altura;
    else
      EXPECT_NEAR(m, c.masa, 2e-4) << c.altura;
  }
}

// A Gaussian eclipse sampled irregularly with Gaussian noise.
std::vector<PuntoCurva> Eclipse(std::mt19937& rng, double t0, double ruido, bool conErrores) {
  std::uniform_real_distribution<double> u(-0.3, 0.3);
  std::normal_distribution<double> n(0.0, ruido > 0.0 ? ruido : 1.0);
  std::vector<PuntoCurva> c;
  for (int i = 0; i < 60; ++i) {
    const double t = 0.0025 * (i + u(rng));
    const double x = (t - t0) / 0.018;
    c.push_back({2460000.0 + t, 11.3 + 0.8 * std::exp(-0.5 * x * x) + (ruido > 0.0 ? n(rng) : 0.0),
                 conErrores ? ruido : 0.0});
  }
  return c;
}

// The reported error matches the scatter of the method over many noisy curves, with the points'
// own errors and with the noise measured from the curve.
// The O-C ephemeris: the field's own first, else the object list's entry of the field's name
// or of its variable star (without case); an entry without period or epoch gives none.
TEST(MasaAire, EfemerideDelCampoODeLaLista) {
  std::vector<ObjetoLista> lista(3);
  lista[0].nombre = "TX UMa";
  lista[0].periodo = 3.063;
  lista[0].epocaMinimo = 2445000.5;
  lista[1].nombre = "V1";
  lista[1].periodo = 0.5;
  lista[1].epocaMinimo = 2460000.25;
  lista[2].nombre = "RZ Cas";
  lista[2].periodo = 1.195;  // no epoch
  const struct {
    const char* campo;
    const char* variable;
    double periodoCampo;
    bool hay;
    double epoca, periodo;
  } casos[] = {
      {"tx uma", "V", 0.0, true, 2445000.5, 3.063},
      {"otro", "v1", 0.0, true, 2460000.25, 0.5},
      {"TX UMa", "V", 2.0, true, 2450000.0, 2.0},
      {"RZ Cas", "V", 0.0, false, 0.0, 0.0},
      {"nada", "V", 0.0, false, 0.0, 0.0},
  };
  for (const auto& c : casos) {
    CampoVariable campo;
    campo.nombre = c.campo;
    campo.periodo = c.periodoCampo;
    campo.epocaMinimo = c.periodoCampo > 0 ? 2450000.0 : 0.0;
    campo.estrellas.push_back({"C1", PapelEstrella::kComparacion, 1, 1, NAN});
    campo.estrellas.push_back({c.variable, PapelEstrella::kVariable, 2, 2, NAN});
    EfemerideMinimo ef;
    ASSERT_EQ(EfemerideCampo(campo, lista, ef), c.hay) << c.campo;
    if (!c.hay) continue;
    EXPECT_EQ(ef.epoca, c.epoca) << c.campo;
    EXPECT_EQ(ef.periodo, c.periodo) << c.campo;
  }
}

// A frame whose exposure time does not read has no time (and so no air mass), never a
// made-up one.
TEST(MasaAire, ExposicionNegativaSinTiempo) {
  DatosImagen d;
  d.fechaHora.AsignaDiaJuliano(2461115.75);
  d.conValor.insert("FECHAOBS");
  d.conValor.insert("HORAOBS");
  d.conValor.insert("TIEMPOEXP");
  d.tiempoExp = 60.0;
  const TiempoObservacion bien = TiempoYMasaAire(d);
  EXPECT_TRUE(bien.conFecha);
  EXPECT_NEAR(bien.jd, 2461115.75 + 30.0 / 86400.0, 1e-9);
  d.tiempoExp = -60.0;
  const TiempoObservacion mal = TiempoYMasaAire(d);
  EXPECT_FALSE(mal.conFecha);
  EXPECT_TRUE(std::isnan(mal.jd));
}

TEST(Minimo, ElErrorCoincideConLaDispersionReal) {
  for (bool conErrores : {true, false}) {
    std::mt19937 rng(conErrores ? 5 : 6);
    std::uniform_real_distribution<double> u(-0.01, 0.01);
    double z2 = 0.0, clasico2 = 0.0, real2 = 0.0;
    const int n = 120;
    for (int k = 0; k < n; ++k) {
      const double t0 = 0.075 + u(rng);
      const ResultadoMinimo m = MinimoKweeVanWoerden(Eclipse(rng, t0, 0.01, conErrores));
      const double d = m.t0 - 2460000.0 - t0;
      z2 += (d / m.error) * (d / m.error);
      real2 += d * d;
      clasico2 += m.errorClasico * m.errorClasico;
    }
    const double z = std::sqrt(z2 / n);
    std::cout << (conErrores ? "given errors" : "measured noise") << ": scatter / reported error "
              << z << ", scatter / classic error " << std::sqrt(real2 / clasico2) << '\n';
    EXPECT_GT(z, 0.8);
    EXPECT_LT(z, 1.25);
  }
}

TEST(Minimo, CasosLimite) {
  std::mt19937 rng(1);
  // Noiseless: the vertex falls on the true minimum.
  const ResultadoMinimo exacto = MinimoKweeVanWoerden(Eclipse(rng, 0.0731, 0.0, false));
  EXPECT_NEAR(exacto.t0, 2460000.0731, 1e-4);
  EXPECT_EQ(CodigoError([] { MinimoKweeVanWoerden({}); }), 12436);
  std::vector<PuntoCurva> pocos;
  for (int i = 0; i < 6; ++i) pocos.push_back({double(i), double((i - 3) * (i - 3))});
  pocos.push_back({5.0, 1.0});  // a repeated time counts once
  EXPECT_EQ(CodigoError([&] { MinimoKweeVanWoerden(pocos); }), 12436);
  std::vector<PuntoCurva> sube;
  for (int i = 0; i < 30; ++i) sube.push_back({double(i), 0.1 * i});
  EXPECT_EQ(CodigoError([&] { MinimoKweeVanWoerden(sube); }), 12437);
  // Points without a time are left out rather than read.
  std::vector<PuntoCurva> conNan = Eclipse(rng, 0.0731, 0.0, false);
  conNan.push_back({NAN, 3.0});
  EXPECT_NEAR(MinimoKweeVanWoerden(conNan).t0, 2460000.0731, 1e-4);

  const struct {
    double t0, epoca, periodo;
    int64_t ciclo;
    double oc;
  } casos[] = {{2460010.51, 2460000.0, 1.0, 11, -0.49},
               {2460010.49, 2460000.0, 1.0, 10, 0.49},
               {2459990.2, 2460000.0, 2.5, -4, 0.2},
               {2460000.0, 2460000.0, 0.0, 0, 0.0}};
  for (const auto& c : casos) {
    const OMenosC o = CalculaOMenosC(c.t0, c.epoca, c.periodo);
    EXPECT_EQ(o.ciclo, c.ciclo);
    EXPECT_NEAR(o.oc, c.oc, 1e-9);
  }
}

}  // namespace
}  // namespace orva
