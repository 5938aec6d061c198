// JError: message formatting through the string table.
#include "base/JError.h"

#include "base/Cadenas.h"

namespace orva {

JError::JError(int id, std::string arg1, std::string arg2, std::string arg3)
    : id_(id), args_{std::move(arg1), std::move(arg2), std::move(arg3)} {
  mensaje_ = FormateaMensaje(Cadena(id_), args_[0], args_[1], args_[2]);
}

const std::string& JError::Argumento(int i) const {
  static const std::string vacio;
  return (i >= 1 && i <= 3) ? args_[i - 1] : vacio;
}

}  // namespace orva
