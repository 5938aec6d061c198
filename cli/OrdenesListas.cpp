// The subcommands objects and sites, and the --object / --site options of apply and convert.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/Ordenes.h"
#include "core/Imagen.h"
#include "shell/Configuracion.h"
#include "stellar/ListasObjetos.h"

namespace orva {
namespace {

// The settings folder, where the lists live.
std::string CarpetaListas() {
  return std::filesystem::path(ArchivoConfiguracion()).parent_path().string();
}

std::vector<std::string> Divide(const std::string& texto) {
  std::vector<std::string> campos;
  size_t inicio = 0;
  while (true) {
    const size_t fin = texto.find(';', inicio);
    campos.push_back(texto.substr(inicio, fin - inicio));
    if (fin == std::string::npos) break;
    inicio = fin + 1;
  }
  return campos;
}

void ImprimeCampos(const std::vector<std::string>& campos) {
  std::string linea;
  for (size_t i = 0; i < campos.size(); ++i) linea += (i ? ";" : "") + campos[i];
  std::printf("%s\n", linea.c_str());
}

// One list subcommand: prints the list after any --add and --remove, written back when changed.
template <typename T, typename Lee, typename Guarda, typename DeCampos, typename Campos,
          typename Busca>
int OrdenLista(const Argumentos& args, const std::string& archivo, Lee lee, Guarda guarda,
               DeCampos deCampos, Campos campos, Busca busca) {
  std::vector<T> lista = lee(archivo);
  bool cambiada = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a != "--add" && a != "--remove") throw ErrorUso("unknown option " + a);
    if (i + 1 >= args.size()) throw ErrorUso("option " + a + " needs a value");
    const std::string& valor = args[++i];
    if (a == "--add") {
      lista.push_back(deCampos(Divide(valor)));
    } else {
      const T& entrada = busca(lista, valor, archivo);
      lista.erase(lista.begin() + (&entrada - lista.data()));
    }
    cambiada = true;
  }
  if (cambiada) guarda(archivo, lista);
  for (const T& entrada : lista) ImprimeCampos(campos(entrada));
  return 0;
}

}  // namespace

int OrdenObjects(const Argumentos& args) {
  return OrdenLista<ObjetoLista>(args, RutaListaObjetos(CarpetaListas()), LeeListaObjetos,
                                 GuardaListaObjetos, ObjetoDeCampos, CamposObjeto, BuscaObjeto);
}

int OrdenSites(const Argumentos& args) {
  return OrdenLista<ObservatorioLista>(args, RutaListaObservatorios(CarpetaListas()),
                                       LeeListaObservatorios, GuardaListaObservatorios,
                                       ObservatorioDeCampos, CamposObservatorio, BuscaObservatorio);
}

void AplicaListas(const std::string& objeto, const std::string& sitio, DatosImagen& d) {
  if (!objeto.empty()) {
    const std::string archivo = RutaListaObjetos(CarpetaListas());
    AplicaObjeto(BuscaObjeto(LeeListaObjetos(archivo), objeto, archivo), d);
  }
  if (!sitio.empty()) {
    const std::string archivo = RutaListaObservatorios(CarpetaListas());
    AplicaObservatorio(BuscaObservatorio(LeeListaObservatorios(archivo), sitio, archivo), d);
  }
}

}  // namespace orva
