// What mksetup's commands share: exit statuses, messages, the help, and the options that
// several commands take.
#pragma once

#include "app/product_profiles.h"
#include "tools/archive_rules.h"

#include <string>
#include <vector>

namespace mksetup {

const int kExitRefused = 1;
const int kExitUsage = 2;

// The command line as given, UTF-8; [0] is the program, [1] the command.
using Arguments = std::vector<std::string>;

// "mksetup: MESSAGE" on standard error.
void Say(const std::string& message);

// The usage on standard error; returns kExitUsage.
int Usage();
// The usage and the help on standard output; returns 0.
int Help();

// The file's bytes, or false after saying why not.
bool ReadInput(const std::string& path, std::vector<uint8_t>& bytes);

// Prints findings, warnings first, each behind `prefix`; true when any is a defect.
bool Report(const std::vector<Finding>& findings, const std::string& prefix);

// --product NAME: false after naming the products there are.
bool TakeProduct(const std::string& name, const ProductProfile** product);
// --codepage N: false after naming the code pages there are.
bool TakeCodePage(const std::string& text, unsigned* codePage);

}  // namespace mksetup
