// Authenticode signing of a setup file with osslsigncode, which appends the certificate
// table behind everything (padded to 8 bytes) and records it in the PE header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mksetup {

// The signing program: $MKSETUP_OSSLSIGNCODE when set, else osslsigncode found in PATH.
// Empty when there is none.
std::string FindSigningProgram();

struct SignOptions {
  std::string program;
  std::string certificate;   // -certs: PEM or DER
  std::string key;           // -key
  std::string passwordFile;  // -readpass, when the key has a password
  std::string description;   // -n: the name users are shown
  int64_t time = 0;          // -time: the signing time, which is part of the signature
};

// Runs `osslsigncode sign` from `in` to `out` (SHA-256), its messages on stderr. False
// with the reason in `error`.
bool SignFile(const SignOptions& options, const std::string& in, const std::string& out, std::string* error);

}  // namespace mksetup
