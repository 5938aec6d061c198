// The one error type of the library: a string-table id with up to three text arguments.
#pragma once

#include <array>
#include <exception>
#include <string>

namespace orva {

class JError : public std::exception {
 public:
  explicit JError(int id, std::string arg1 = {}, std::string arg2 = {}, std::string arg3 = {});

  int Id() const noexcept { return id_; }
  // Argument i of 1..3 (%1..%3); empty when not given.
  const std::string& Argumento(int i) const;
  // The message text with %1..%3 filled in.
  const std::string& Mensaje() const noexcept { return mensaje_; }
  const char* what() const noexcept override { return mensaje_.c_str(); }

 private:
  int id_;
  std::array<std::string, 3> args_;
  std::string mensaje_;
};

}  // namespace orva
